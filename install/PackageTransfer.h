#pragma once
// Button3Click: the transfer procedure. It works through the rows of tmem in their order, and for
// each package downloads its file into the update folder, unpacks and records it, and carries out
// what a special package asks for; after the last row it stamps the end of the run in SETUP.

namespace halvio {

struct RunContext;

// Returns after the last row (stamped), after a failed download (the window closed, the failing
// row left at "Transfer."), after a package step that failed once the file had arrived (a
// PackageFailure: the file could not be saved, the archive is damaged, a program file could not be
// written or the DIAG migration did not complete; the window closed, the package not recorded), or
// when the self-update has taken over. Errors of the unguarded steps (the update folder, the script,
// the record, the workstations, the self-update, the stamp) leave it unchanged.
void Button3Click(RunContext& run);

} // namespace halvio

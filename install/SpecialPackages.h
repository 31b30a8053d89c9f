#pragma once
// The special handling of the transfer: a few package names stand for program files of the clinic
// application, for the DIAG migration, or for the updater itself. What a failure must leave
// unrecorded is done before the package is recorded; the rest after it.

#include <string>
#include <string_view>

namespace halvio {

struct RunContext;

enum class SpecialPackage { None, UpdateDiag, Halvio, HHalvio, Halvio26, MajKliso };

// The handling that a package name asks for: the trimmed name compared exactly, letter case
// included ("halvio" is no special package).
SpecialPackage specialPackageOf(std::string_view packageName);

// The file that the package writes into the update folder ("halvio.exe"), empty when it writes none.
std::string programFileNameOf(SpecialPackage package);

// The steps of tmem's current package that must be complete before it is recorded, with the package
// content (the first file of its archive) in memory and IB open: HALVIO, HHALVIO and HALVIO26/27 put
// their program file into the update folder whole or not at all, UPDATEDIAG runs the DIAG migration
// (which leaves tmem on a progress row of its own, appended at the end of the table). A failure is a
// PackageFailure: the package is then not to be recorded, so that the next run fetches it again.
// Returns the special package the row names.
SpecialPackage prepareSpecialPackage(RunContext& context, std::string_view content);

struct SpecialHandlingOutcome {
    // MAJ_KLISO: the updater is being replaced and its window is closing; the transfer returns at
    // once, leaving the later rows and the end-of-run stamp alone. False when the copy tool could
    // not be started: the transfer goes on with the running updater.
    bool endsTransfer = false;
};

// The steps after the package was recorded: HALVIO tells every workstation, MAJ_KLISO replaces the
// updater. Failures to read the workstations or of the replacement propagate; a workstation that
// cannot be told is passed over in silence.
SpecialHandlingOutcome handleSpecialPackage(RunContext& context, SpecialPackage package,
                                            std::string_view content);

} // namespace halvio

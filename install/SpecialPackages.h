#pragma once
// The step of the transfer after a package was recorded: a few package names stand for program
// files of the clinic application, for the DIAG migration, or for the updater itself.

#include <cstddef>
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

struct SpecialHandlingOutcome {
    // MAJ_KLISO: the updater is being replaced and its window is closing; the transfer returns at
    // once, leaving the later rows and the end-of-run stamp alone. False when the copy tool could
    // not be started: the transfer goes on with the running updater.
    bool endsTransfer = false;
    // The package's row in tmem when the step began. UPDATEDIAG leaves tmem on the migration's own
    // progress row, appended at the end of the table.
    std::size_t packageRow = 0;
};

// Carries out what tmem's current package asks for, with the package content (the first file of
// its archive) in memory and IB open. Failures to write a file, to read the workstations or of the
// migration propagate; a workstation that cannot be told is passed over in silence.
SpecialHandlingOutcome handleSpecialPackage(RunContext& context, std::string_view content);

} // namespace halvio

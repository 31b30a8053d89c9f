#pragma once
// The updater replaces itself through the copy tool: it writes the new program beside itself as
// Maj_kliso.new, writes copie.exe from the database, starts it with a fixed command line and closes
// its window. At start this happens when MAJ holds a newer updater than the running file; during
// installation when the package MAJ_KLISO has just been recorded.

#include <string>
#include <string_view>

namespace halvio {

struct RunContext;

// The show handler executes this on IBSQL1 (after EnsureTransaction) before calling
// checkSelfUpdateAtStart.
inline constexpr const char* kUpdaterSelect = "Select dates,fichier from maj where nom='MAJ_KLISO'";
inline constexpr const char* kCopyToolSelect = "Select dates,fichier from maj where nom='COPIE'";
// The copy tool finds maj_kliso.new whatever the letter case it was written in.
inline constexpr const char* kCopyToolCommandLine = "copie maj_kliso.new maj_kliso.exe";
inline constexpr const char* kNewUpdaterFileName = "Maj_kliso.new";
inline constexpr const char* kCopyToolFileName = "copie.exe";

// Whether the trimmed DATES text of the MAJ_KLISO row is greater, byte by byte, than the running
// program file's "yyyy.mm.dd hh:nn:ss" text.
bool isNewerThanProgram(std::string_view datesText, std::string_view programDateText);

// The start check on the result of kUpdaterSelect (IBSQL1's current row, if any): runs
// replaceUpdaterAtStart when the row is newer than context.programFile and returns whether the
// window is closing for the copy tool (the show handler then ends at once).
bool checkSelfUpdateAtStart(RunContext& context);

// When the copy tool cannot be written or started (no COPIE row, copie.exe not writable, not a
// program the system starts), both variants keep the running updater: Maj_kliso.new is removed,
// the MAJ_KLISO row is deleted (so that no later start tries again; the service offers the
// package again), a line is logged, the user is told in a message that closes by itself, IB is
// left open and false is returned: the run goes on.

// The start variant, with IBSQL1 on the MAJ_KLISO row: stops the countdown, tells the user (mode
// 70, any answer goes on), writes Maj_kliso.new dated with the row's DATES, writes copie.exe from
// the COPIE row, closes IB, starts the copy tool and closes the window. A DATES text that is no date
// and time throws after Maj_kliso.new was written, before the copy tool is written. Returns whether
// the window is closing.
bool replaceUpdaterAtStart(RunContext& context);

// The install variant, with the content of the package MAJ_KLISO: logs, writes Maj_kliso.new
// (dated now), writes copie.exe from the COPIE row, commits, closes IB, starts the copy tool and
// closes the window; the transfer must then return at once. Returns whether the window is closing.
bool replaceUpdaterDuringInstall(RunContext& context, std::string_view content);

} // namespace halvio

#pragma once
// Unpacking a saved package file, running it when it is a database script, recording it in MAJ,
// and the stamp of the end of a complete run in SETUP.

#include <string>
#include <string_view>

namespace halvio {

class Model;
struct RunContext;

namespace platform {
class ZipReader;
}

// The decrypted bytes of the archive's first entry, which must be a file. The archive is closed before this
// returns, whatever happened; the package file is deleted only once its content is out (a failed deletion is
// ignored), so a package that cannot be unpacked stays in the update folder.
std::string unpackPackage(platform::ZipReader& uz, const std::string& packagePath);

// Runs a script package line by line, each non-empty line executed and committed by itself in
// IBTransaction1. A line that meets a record locked by another connection waits for it (up to
// model.lockConflictWait); when it is still locked the script stops there with
// LockConflictTimeout, the row left at "Installation". A line that fails otherwise is logged (the
// line, then the server's message) and passed over without a roll-back. p1 counts the lines,
// empty ones included, and window messages are processed after each. The current tmem row goes
// through "Installation" to "Installé".
void runScriptPackage(Model& model, std::string_view content);

// Stores the package in MAJ under its record name: the row of that name is updated in place (all
// four columns), or a new row is inserted. Commits IBTransaction1. A MAJ row locked by another
// connection is waited for; still locked after model.lockConflictWait: LockConflictTimeout,
// nothing recorded.
void recordPackage(Model& model, std::string_view recordName, std::string_view description,
                   std::string_view dates, std::string_view content);

// The package steps' unpacking of the current tmem row, whose file is at packagePath: opens IB for
// the rest of the package steps and runs the package when fileName names a script. Returns the
// package content, which the special handling and the record (recordPackage) take next. An archive
// that cannot be unpacked is a PackageFailure, the package file left in place.
std::string unpackAndRun(RunContext& run, const std::string& packagePath, const std::string& fileName);

// Writes the present local time into SETUP.MAJ, with IB opened for it and closed after it.
void stampEndOfRun(Model& model);

} // namespace halvio

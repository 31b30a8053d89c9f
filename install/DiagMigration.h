#pragma once
// diag: the renumbering of the clinic's diagnostic-code table DIAG. It adds the column ID with the
// generator GEN_DIAG_ID and the trigger DIAG_BI that fill it, then copies every row as a new row
// (numbered by the trigger) and deletes the old ones.

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace halvio {

struct RunContext;

// The text columns of one DIAG row as they read (CHAR padding kept, NULL as empty text).
struct DiagRow {
    std::string DIAG;
    std::string CODE;
    std::string DATES;
    std::string DESC_RAMQ;
    std::string DESC_SPEC;
};

// The migration did not complete: every row of DIAG is there once, as it was before the call. The
// message (Windows-1252, for the activity log) says why, the server's own words included.
class DiagMigrationError : public std::runtime_error {
public:
    explicit DiagMigrationError(const std::string& message) : std::runtime_error(message) {}
};

// How long the migration waits for the workstations that are writing DIAG before it gives up for
// this run: long enough for a workstation to finish saving an entry, not so long that a workstation
// left in the middle of a change holds the whole update up. The window stays alive meanwhile.
inline constexpr std::chrono::seconds kDiagLockWait{30};

// The insert that copies a row: every text quoted, MD always 0, ID left to the trigger.
std::string diagCopyStatement(const DiagRow& row);

// Label11's text during the copy: the whole part of progress * 100 / maximum, then "%"; "0%" when
// the maximum is 0.
std::string migrationPercentText(std::int32_t progress, std::int32_t maximum);

// Runs the migration on the clinic database (opened when it is closed). Appends a progress row to
// tmem and leaves that row current; IBSQL1's transaction is not active on return, nor on a throw.
//
// Returns only when the migration completed: every row renumbered, the old ones deleted, committed.
// The column, generator and trigger are each added by a committed step that may fail when the
// object is already there; when one is still missing after its step, or when the renumbering
// cannot complete (DIAG written by another workstation for longer than lockWait, a failed copy, a
// lost connection), it throws DiagMigrationError with Panel5 still shown. The marking, the copy
// and the delete are one transaction, so that a failure, a killed program or a lost connection at
// any moment leaves each row of DIAG exactly once, as it was.
void diag(RunContext& context, std::chrono::seconds lockWait = kDiagLockWait);

} // namespace halvio

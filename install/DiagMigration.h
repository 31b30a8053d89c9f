#pragma once
// diag: the renumbering of the clinic's diagnostic-code table DIAG. It adds the column ID with the
// generator GEN_DIAG_ID and the trigger DIAG_BI that fill it, then copies every row as a new row
// (numbered by the trigger) and deletes the old ones.

#include <cstdint>
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

// The insert that copies a row: every text quoted, MD always 0, ID left to the trigger.
std::string diagCopyStatement(const DiagRow& row);

// Label11's text at a commit of the copy: the whole part of progress * 100 / maximum, then "%";
// "0%" when the maximum is 0.
std::string migrationPercentText(std::int32_t progress, std::int32_t maximum);

// Runs the migration on the clinic database (opened when it is closed). Appends a progress row to
// tmem and leaves that row current; IBSQL1's transaction is committed and not active on return.
// The steps that add the column, generator and trigger fail silently when they already exist;
// every later failure propagates with Panel5 still shown.
void diag(RunContext& context);

} // namespace halvio

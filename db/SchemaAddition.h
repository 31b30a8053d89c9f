#pragma once
// Adding a table or a column that the updater needs and that the clinic's database may lack, when
// several workstations may start on the same database at the same moment.

#include <chrono>
#include <string_view>

namespace halvio {

class RunView;
class SqlStatement;

// Runs ddl and commits, unless presenceCount (a "select count(*)" of the system tables, so that
// neither the rows of the table nor their locks matter) already counts the object. Another
// connection adding the same object at the same moment is no failure: its uncommitted addition
// is waited for (up to lockWait, then LockConflictTimeout), and a ddl that fails otherwise counts
// as done when the object is present afterwards. Any other failure propagates with the server's
// message, the transaction rolled back. Uses the statement's transaction, started when inactive
// and ended (committed) when this returns.
void addUnlessPresent(SqlStatement& statement, RunView& view, std::chrono::milliseconds lockWait,
                      std::string_view presenceCount, std::string_view ddl);

} // namespace halvio

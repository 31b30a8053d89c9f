#pragma once
// The values of a fetched row as the client library lays them out (one XSQLVAR a column), decoded
// into the forms FbStatement gives. Each decoder takes a column that is not NULL and throws
// DatabaseError for a kind it cannot read. Included by this folder's sources only.

#include "DateTime.h"
#include "FbStatement.h"

#include <ibase.h>

#include <cstdint>
#include <string>

namespace halvio::platform {

ColumnKind columnKindOf(const XSQLVAR& column);
std::string columnNameOf(const XSQLVAR& column);

// Every kind but a blob, whose bytes the caller reads through the blob calls.
std::string decodeText(const XSQLVAR& column);
std::int64_t decodeInteger(const XSQLVAR& column);
DateTime decodeDateTime(const XSQLVAR& column);

} // namespace halvio::platform

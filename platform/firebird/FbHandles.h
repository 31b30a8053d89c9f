#pragma once
// The client library's handles behind FbAttachment, FbTransaction and FbStatement, shared by the
// sources of this folder only (it brings in the client library's header).

#include "CallWhileIdle.h"
#include "FbAttachment.h"
#include "FbStatement.h"

#include <ibase.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::platform {

struct XsqldaDeleter {
    void operator()(XSQLDA* da) const { std::free(da); }
};
// A descriptor of a statement's columns or parameters, allocated as the client library sizes it.
using XsqldaPtr = std::unique_ptr<XSQLDA, XsqldaDeleter>;

// Room for `count` columns or parameters (at least one). Throws DatabaseError when memory runs out.
XsqldaPtr makeXsqlda(int count);

struct FbAttachment::Impl {
    isc_db_handle handle = 0;
    IdleCalls idle;
    std::set<FbTransaction*> transactions;
    std::set<FbStatement*> statements;
};

struct FbTransaction::Impl {
    isc_tr_handle handle = 0;
};

struct FbStatement::Impl {
    isc_stmt_handle handle = 0;
    XsqldaPtr output;
    XsqldaPtr input;
    std::vector<std::vector<char>> outputBuffers;
    std::vector<short> outputIndicators;
    int statementType = 0;
    bool firstFetchPending = false; // a select's first fetch is where its work is done
    bool cursorOpen = false;
    bool rowCurrent = false;
    std::uint64_t cursorGeneration = 0;

    struct Parameter {
        enum class Kind { Unset, Null, Text, Blob } kind = Kind::Unset;
        std::string bytes;     // a text parameter's own copy
        std::string_view blob; // a blob parameter's bytes, owned by the caller
    };
    std::vector<Parameter> parameters;
};

} // namespace halvio::platform

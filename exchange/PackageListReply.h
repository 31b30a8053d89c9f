#pragma once
// The package list reply applied to the clinic database: the settings, the statements, the
// selection of the newer packages into tmem, the transfer, and the end of the run.

#include "Clock.h"

#include <optional>
#include <string>
#include <string_view>

namespace halvio {

class Model;
struct ReplyCredentials;
struct RunContext;

// MAJ.DATES of the row named nom as read (CHAR padding kept), or nothing when MAJ has none. Runs
// in IBTransaction1, which must be active; the select is closed first.
std::optional<std::string> installedDates(Model& model, const std::string& nom);

// `reply` is the body of the service's answer. A reply that replyFault() refuses, or in signed mode
// (`credentials` with a public key) one that authenticityFault() refuses, is logged and ends the run
// without packages, leaving the database untouched and SETUP.MAJ unstamped. A signed reply that
// passes leaves its package digests in ctx.signedPackages for the transfer to check the files with.
// Database and file errors propagate (the run has no handling of its own for them).
void applyPackageListReply(RunContext& ctx, std::string_view reply, const Clock& now,
                           const ReplyCredentials* credentials = nullptr);

} // namespace halvio

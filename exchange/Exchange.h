#pragma once
// One run of the update exchange, the work of Button1Click: the client report, its posting to the
// update service, and the package list reply with the transfer of the newer packages.

#include "Clock.h"

namespace halvio {

struct RunContext;

// Errors that the run does not expect (opening SETUP or tuser, the reply's database statements,
// writing test.txt) propagate to the caller's top-level handler.
void runExchange(RunContext& ctx, const Clock& now = systemClock());

} // namespace halvio

#pragma once
// The show handler's work: open the clinic database with the password fall-back, let a newer
// updater replace this one, bring SETUP up to the layout the run needs, show the account summary
// and start the countdown.

namespace halvio {

struct RunContext;

void connectAtStart(RunContext& context);

} // namespace halvio

#pragma once
// Where the exchange takes the current time from: the workstation's clock, or a fixed moment in tests.

#include "DateTime.h"

#include <functional>

namespace halvio {

using Clock = std::function<DateTime()>;

inline Clock systemClock() {
    return [] { return DateTime::now(); };
}

} // namespace halvio

#pragma once
// One request tried on a list of hosts, in their order, until one of them answers. The report to the
// update service and the download of a package file both go through it, each with its own rule for a
// host that fails.

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace halvio {

// The failure rule's decision after a host failed.
enum class AfterFailure { TryNextHost, GiveUp };

template <typename Host> struct HostFailure {
    const Host& host;
    bool last; // no host is left after this one: whatever the rule decides, the fall-back ends
    const std::exception& error;
};

// Calls attempt(host) for each host in turn until a call returns. After a call that throws a
// std::exception, onFailure is told (the exception still being handled, so it may rethrow it) and
// decides whether the next host is tried; it is told of the last host's failure too. Anything not
// derived from std::exception is no failure of a host and leaves at once.
// Returns null when a host answered; otherwise the exception of the last host tried, for the caller
// to rethrow or report. hosts must not be empty.
template <typename Host>
std::exception_ptr
tryEachHost(const std::vector<Host>& hosts,
            const std::type_identity_t<std::function<void(const Host&)>>& attempt,
            const std::type_identity_t<std::function<AfterFailure(const HostFailure<Host>&)>>& onFailure) {
    if (hosts.empty())
        throw std::invalid_argument("no host to try");
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        try {
            attempt(hosts[i]);
            return nullptr;
        } catch (const std::exception& error) {
            const bool last = i + 1 == hosts.size();
            if (onFailure({hosts[i], last, error}) == AfterFailure::GiveUp || last)
                return std::current_exception();
        }
    }
    return nullptr; // not reached: the last host either answers or returns its failure
}

} // namespace halvio

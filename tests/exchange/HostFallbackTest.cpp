// The fall-back over hosts on its own: which hosts are tried, what the rule is told, and what the
// caller gets back.
#include "HostFallback.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace halvio;

namespace {
struct FallbackCase {
    const char* name;
    std::vector<std::string> hosts;
    std::vector<std::string> failing; // hosts whose attempt throws
    bool giveUpAtOnce;                // the rule's answer to every failure
    std::vector<std::string> tried;
    std::vector<std::string> told; // "host:last" for each failure the rule is told of
    const char* lastError;         // what the returned failure says; nullptr when a host answered
};

std::string failureOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}
} // namespace

TEST(HostFallback, TriesHostsInOrderUnderTheRule) {
    const std::vector<std::string> abc = {"a", "b", "c"};
    const FallbackCase cases[] = {
        {"first answers", abc, {}, false, {"a"}, {}, nullptr},
        {"second answers", abc, {"a"}, false, {"a", "b"}, {"a:0"}, nullptr},
        {"last answers", abc, {"a", "b"}, false, {"a", "b", "c"}, {"a:0", "b:0"}, nullptr},
        {"all fail", abc, {"a", "b", "c"}, false, {"a", "b", "c"}, {"a:0", "b:0", "c:1"}, "c down"},
        {"the rule gives up", abc, {"a", "b"}, true, {"a"}, {"a:0"}, "a down"},
        {"a single host fails", {"a"}, {"a"}, false, {"a"}, {"a:1"}, "a down"},
    };
    for (const FallbackCase& c : cases) {
        std::vector<std::string> tried;
        std::vector<std::string> told;
        const std::exception_ptr failure = tryEachHost<std::string>(
            c.hosts,
            [&](const std::string& host) {
                tried.push_back(host);
                for (const std::string& failing : c.failing)
                    if (failing == host)
                        throw std::runtime_error(host + " down");
            },
            [&](const HostFailure<std::string>& failed) {
                told.push_back(failed.host + ":" + (failed.last ? "1" : "0"));
                EXPECT_EQ(failed.error.what(), failed.host + " down") << c.name;
                return c.giveUpAtOnce ? AfterFailure::GiveUp : AfterFailure::TryNextHost;
            });
        EXPECT_EQ(tried, c.tried) << c.name;
        EXPECT_EQ(told, c.told) << c.name;
        if (c.lastError)
            EXPECT_EQ(failureOf(failure), c.lastError) << c.name;
        else
            EXPECT_FALSE(failure) << c.name;
    }
}

TEST(HostFallback, TheFailureReturnedIsTheAttemptsOwnException) {
    // A caller rethrows it: the type its catch clauses tell apart must survive.
    struct HostRefused : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    const std::exception_ptr failure = tryEachHost<int>(
        {1}, [](int) { throw HostRefused("refused"); },
        [](const HostFailure<int>&) { return AfterFailure::TryNextHost; });
    EXPECT_THROW(std::rethrow_exception(failure), HostRefused);
}

TEST(HostFallback, WhatIsNoStdExceptionIsNoHostFailure) {
    int told = 0;
    std::vector<int> tried;
    EXPECT_THROW(tryEachHost<int>(
                     {1, 2},
                     [&](int host) {
                         tried.push_back(host);
                         throw 42;
                     },
                     [&](const HostFailure<int>&) {
                         ++told;
                         return AfterFailure::TryNextHost;
                     }),
                 int);
    EXPECT_EQ(tried, std::vector<int>{1});
    EXPECT_EQ(told, 0);
    EXPECT_THROW(tryEachHost<int>(
                     {}, [](int) {}, [](const HostFailure<int>&) { return AfterFailure::GiveUp; }),
                 std::invalid_argument);
}

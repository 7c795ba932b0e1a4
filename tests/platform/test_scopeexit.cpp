#include "platform/ScopeExit.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What reaches the caller of a scope whose body and clean-up may each fail.
std::string Outcome(bool bodyFails, bool cleanupFails, int& cleanups)
{
    try {
        ScopeExit guard([&] {
            ++cleanups;
            if (cleanupFails)
                throw Failure("clean-up");
        });
        if (bodyFails)
            throw Failure("body");
    } catch (const Failure& e) {
        return e.what();
    }
    return "nothing";
}
} // namespace

// The clean-up runs on every way out. Its own failure reaches the caller after a normal end;
// while the body's exception is on its way, that one arrives (a second exception in flight
// would end the program).
TEST(ScopeExit, CleanupRunsOnEveryWayOutAndTheFirstFailureArrives)
{
    struct Case {
        bool BodyFails, CleanupFails;
        const char* Arrives;
    };
    const Case cases[] = {
        {false, false, "nothing"},
        {true, false, "body"},
        {false, true, "clean-up"},
        {true, true, "body"},
    };
    for (const Case& c : cases) {
        int cleanups = 0;
        EXPECT_EQ(Outcome(c.BodyFails, c.CleanupFails, cleanups), c.Arrives)
            << "body fails " << c.BodyFails << ", clean-up fails " << c.CleanupFails;
        EXPECT_EQ(cleanups, 1);
    }
    int cleanups = 0;
    {
        ScopeExit guard([&] { ++cleanups; });
        guard.Dismiss();
    }
    EXPECT_EQ(cleanups, 0);
}

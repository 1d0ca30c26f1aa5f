// Every test starts in a fresh world of doubles, before its fixture is made: nothing one test did
// can leak into the next, and no fixture has to remember to reset.
#include <gtest/gtest.h>

#include "EventLog.h"
#include "common/policy_double.h"

namespace doubles {
void ResetWorld();
}

namespace {

class FreshWorld : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // A log one test opened is not written by the next; its threads end before the world goes.
        eventlog::Close();
        doubles::ResetWorld();
        doubles::ResetPolicies();
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshWorld);
    return true;
}();

}  // namespace

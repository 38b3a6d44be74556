// The main of every test binary: runs the tests (shuffled when asked, --gtest_shuffle) with a
// seed that is printed and can be replayed (GV_TEST_SEED=N), and puts the program's state back
// before every test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/state_reset.h"

namespace {

class StateReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ResetProgramStateForTest(); }
};

class SeedReport : public ::testing::EmptyTestEventListener {
    void OnTestIterationEnd(const ::testing::UnitTest& unit, int) override {
        if (!GTEST_FLAG_GET(shuffle)) return;
        std::printf("Tests shuffled with seed %d (%s); replay the order with GV_TEST_SEED=%d\n", unit.random_seed(),
                    unit.failed_test_count() == 0 ? "passed" : "failed", unit.random_seed());
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* seed = std::getenv("GV_TEST_SEED"); seed && *seed) {
        char* end = nullptr;
        long value = std::strtol(seed, &end, 10);
        if (*end != '\0' || value < 0 || value > 99999) {
            std::fprintf(stderr, "GV_TEST_SEED must be a number from 0 to 99999, not \"%s\"\n", seed);
            return 2;
        }
        GTEST_FLAG_SET(random_seed, static_cast<int32_t>(value));
    }
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(new StateReset);
    listeners.Append(new SeedReport);
    return RUN_ALL_TESTS();
}

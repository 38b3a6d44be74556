// Force feedback through the platform's library table and scripted haptic sticks.
#include <algorithm>
#include <string>
#include <vector>

#include "interface/input_fixture.h"
#include "interface/inputdevices.h"
#include "platform/clock.h"
#include "platform/input.h"

namespace {

using Log = std::vector<std::string>;

class ForceFeedbackTest : public InputFixture {
protected:
    void SetUp() override {
        InputFixture::SetUp();
        Plat_DeviceCallLog().clear();
    }
    static void Stick(int id, bool haptic) {
        PlatJoyCaps caps;
        caps.buttons = 2;
        Plat_ScriptJoyConnect(id, caps, haptic);
    }
    static Log Calls() {
        Log calls = Plat_DeviceCallLog();
        Plat_DeviceCallLog().clear();
        return calls;
    }
};

TEST_F(ForceFeedbackTest, NothingIsLoadedUnlessAskedFor) {
    Stick(0, true);
    ForceFeedback_Start();
    EXPECT_FALSE(ForceFeedback_IsActive());
    EXPECT_TRUE(Calls().empty());
    EXPECT_FALSE(Plat_IsLibraryLoaded("iforce.dll"));
}

TEST_F(ForceFeedbackTest, StickOnPortThreeIsFoundAfterPortsOneAndTwo) {
    Stick(0, false);
    Stick(1, false);
    Stick(2, true);
    ForceFeedback_Request();
    ForceFeedback_Start();
    EXPECT_TRUE(ForceFeedback_IsActive());
    EXPECT_EQ(Calls(), (Log{"LoadLibrary iforce.dll", "_SetJoystickPort 1", "_InitStick 0", "_CloseStick",
                            "_SetJoystickPort 2", "_InitStick 0", "_CloseStick", "_SetJoystickPort 3",
                            "_InitStick 1"}));
    EXPECT_EQ(ForceFeedback_Enable(5), 1);
    ForceFeedback_Disable();
    ForceFeedback_Clear();
    EXPECT_EQ(Calls(), (Log{"_EnableForces", "_DisableForces", "_ClearForces"}));
}

TEST_F(ForceFeedbackTest, CloseWaitsUnloadsAndWaitsAgain) {
    static Log* log = nullptr;
    log = &Plat_DeviceCallLog();
    static const ClockSource recording = {[] { return 0u; },
                                          [](uint32_t ms) { log->push_back("sleep " + std::to_string(ms)); }};
    Stick(0, true);
    ForceFeedback_Request();
    ForceFeedback_Start();
    Plat_SetClockSource(&recording);
    Calls();
    ForceFeedback_Close();
    Plat_UseVirtualClock(0);
    EXPECT_EQ(Calls(), (Log{"_CloseStick", "sleep 200", "FreeLibrary iforce.dll", "sleep 200"}));
    EXPECT_FALSE(ForceFeedback_IsActive());
    EXPECT_FALSE(Plat_IsLibraryLoaded("iforce.dll"));
    ForceFeedback_Close();  // closed: nothing more
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ForceFeedbackTest, WithoutAStickTheLibraryIsUnloadedAndCallsDoNothing) {
    Stick(0, false);
    ForceFeedback_Request();
    const uint32_t slept = Plat_VirtualSleepTotal();
    ForceFeedback_Start();
    EXPECT_FALSE(ForceFeedback_IsActive());
    EXPECT_EQ(Plat_VirtualSleepTotal() - slept, 200u);
    const Log calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "FreeLibrary iforce.dll");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "_CloseStick"), 4);
    EXPECT_EQ(ForceFeedback_Enable(7), 7);  // inactive: the argument comes back
    EXPECT_EQ(ForceFeedback_Disable(), 0);
    ForceFeedback_Clear();
    ForceFeedback_Close();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ForceFeedbackTest, LibraryMissingAnEntryIsUnloadedAndStaysOff) {
    Stick(0, true);
    const PlatLibrary full = Plat_LoadLibrary("iforce.dll");
    std::vector<PlatLibraryEntry> entries;
    for (const char* name : {"_InitStick", "_GetStickStatus", "_Echo", "_IForceAuthenticate", "_GetStickError",
                             "_EnableForces", "_DisableForces", "_ClearForces", "_CloseStick", "_SetJoystickPort"})
        entries.push_back({name, Plat_GetProcAddress(full, name)});  // "_Jolt" onwards missing
    Plat_FreeLibrary(full);
    Plat_OverrideLibrary("iforce.dll", entries);
    Calls();
    ForceFeedback_Request();
    ForceFeedback_Start();
    EXPECT_FALSE(ForceFeedback_IsActive());
    EXPECT_FALSE(Plat_IsLibraryLoaded("iforce.dll"));
    EXPECT_EQ(Calls(), (Log{"LoadLibrary iforce.dll", "FreeLibrary iforce.dll"}));

    Plat_OverrideLibrary("iforce.dll", {});  // no library at all
    ForceFeedback_Start();
    EXPECT_FALSE(ForceFeedback_IsActive());
    EXPECT_EQ(Calls(), (Log{"LoadLibrary iforce.dll"}));
}

}  // namespace

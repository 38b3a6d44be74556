// The program input device, the tuning hook and the floor height at a point.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "collision/collision.h"
#include "fun3d/proginput.h"
#include "platform/system.h"

namespace {

class ProgramInputTest : public ::testing::Test {
protected:
    void SetUp() override { ProgramInput_Reset(); }
    void TearDown() override { ProgramInput_Reset(); }
    static uint32_t Keys() {
        uint32_t keys = 0xFFFF;
        uint32_t words[kInputDiscreteWords] = {0xFFFF, 0, 0, 0};
        EXPECT_EQ(ProgramInputDevice.read(nullptr, nullptr, words), 0);
        keys = words[0];
        return keys;
    }
};

TEST_F(ProgramInputTest, KeyWordFollowsTheControlModeAndTheEditor) {
    EXPECT_EQ(Keys(), 2u);  // program start: control mode word 1
    EXPECT_EQ(View_SetCurrentMode(0), 0);
    EXPECT_EQ(Keys(), 3u);
    Program_SetEditorFlag(1);
    EXPECT_EQ(Keys(), 7u);
    View_SetCurrentMode(4);
    EXPECT_EQ(Keys(), 6u);
    Program_SetEditorFlag(2);  // only 1 sets it
    EXPECT_EQ(Keys(), 2u);
    Program_SetEditorFlag(1);
    Program_SetEditorFlag(0);
    EXPECT_EQ(Keys(), 2u);
    EXPECT_EQ(ProgramInputDevice.read(nullptr, nullptr, nullptr), 0);  // null out words: nothing
}

TEST_F(ProgramInputTest, DescriptionAndTable) {
    EXPECT_EQ(ProgramInputDevice.count(), 1);
    InputDeviceRecord d;
    std::memset(&d, 0x5A, sizeof d);
    EXPECT_EQ(ProgramInputDevice.describe(7, &d), 0);
    EXPECT_STREQ(d.name, "program");
    EXPECT_STREQ(d.displayName, "Program");
    EXPECT_STREQ(d.typeName, "program");
    EXPECT_EQ(d.analogCount, 0);
    EXPECT_EQ(d.discreteCount, 3);
    EXPECT_EQ(d.analogLongNames[0], nullptr);
    EXPECT_EQ(d.analogShortNames[0], nullptr);
    const std::vector<std::string> display = {"Control Mode Key", "Always On Key", "Edit Mode Key"};
    const std::vector<std::string> shortNames = {"ControlMode", "AlwaysOn", "EditMode"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.discreteLongNames[i], display[i]);
        EXPECT_EQ(d.discreteShortNames[i], shortNames[i]);
    }
    EXPECT_EQ(d.privateData, nullptr);
    EXPECT_EQ(ProgramInputDevice.open(&d), 0);
    EXPECT_EQ(ProgramInputDevice.resetChannel(nullptr, 0), 0);
    uint16_t code = 0x1234;
    ProgramInputDevice.nextKey(&code);  // the keyboard's alone: nothing written
    EXPECT_EQ(code, 0x1234);
}

struct RecordingTuner : TuningTarget {
    std::vector<int> ops;
    int TuningOperation(int operation) override {
        ops.push_back(operation);
        return 10 + operation;
    }
};

TEST(TuningHook, KeysReachTheCurrentListUntilItGoes) {
    TuningHook_SetCurrent(nullptr);
    EXPECT_EQ(TuningHook_Next(), 0);  // nothing built yet
    EXPECT_EQ(TuningHook_Increase(), 0);
    EXPECT_EQ(TuningHook_Decrease(), 0);

    RecordingTuner first, second;
    TuningHook_SetCurrent(&first);
    TuningHook_SetCurrent(&second);  // the newest list is current
    EXPECT_EQ(TuningHook_Next(), 10);
    EXPECT_EQ(TuningHook_Increase(), 11);
    EXPECT_EQ(TuningHook_Decrease(), 12);
    EXPECT_EQ(second.ops, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(first.ops.empty());

    TuningHook_Forget(&first);  // not current: no change
    EXPECT_EQ(TuningHook_Current(), &second);
    TuningHook_Forget(&second);
    EXPECT_EQ(TuningHook_Current(), nullptr);
    EXPECT_EQ(TuningHook_Next(), 0);
}

TEST(FloorHeightAt, IsTheFloorQueryWithoutTheNormal) {
    Plat_Init(BackendKind::Headless);
    Entities_Reset();
    Collision_Init();
    Terrain_SetBaseHeight(3);
    Terrain_BuildBlockTables();
    EXPECT_FLOAT_EQ(Collision_FloorHeightAt(100.0, 50.0, 100.0), 3.0f);
    EXPECT_FLOAT_EQ(Collision_FloorHeightAt(-20.0, 0.0, 35.0), 3.0f);
    Terrain_SetBaseHeight(0);
    Terrain_BuildBlockTables();
    Entities_RemoveAll();
    Collision_Shutdown();
    Plat_Shutdown();
}

}  // namespace

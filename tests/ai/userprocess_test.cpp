#include <gtest/gtest.h>

#include <cmath>

#include "ai/processinstall.h"
#include "ai/userprocess.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/game.h"
#include "core/inputsinks.h"
#include "core/seams/audio.h"
#include "core/seams/shell.h"
#include "fun3d/craftservices.h"
#include "platform/clock.h"
#include "process_fixture.h"
#include "support/field_stream.h"

namespace {

std::vector<std::string> g_sounds;

class UserProcessTest : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        g_sounds.clear();
        audio_ = Seam_Audio();
        UnitAi_Services().soundPlay2D = [](const char* name) { g_sounds.emplace_back(name); };
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_sounds.emplace_back(std::string("on:") + name);
            return nullptr;
        };
        cls_ = &NewCraftClass();
        craft_ = NewCraft(*cls_, 1, Vector{10.0f, 0.0f, 20.0f});
        craft_->radius = 4.0f;
        a_ = new WeaponClass("cannon", Signature("CANN"));
        b_ = new WeaponClass("launcher", Signature("LNCH"));
        weaponClasses_.push_back(a_);
        weaponClasses_.push_back(b_);
    }
    void TearDown() override {
        Seam_Audio() = audio_;
        ProcessFixture::TearDown();
    }
    // One frame of the process with the sinks as a test set them; press sinks are let go after.
    void Step(UserProcess& process) {
        process.Execute();
        InputSink.weapon_cycle = InputSink.weapon_link = InputSink.drop_beacon = 0;
        for (uint8_t& s : InputSink.weapon_select) s = 0;
    }
    // Frames of the virtual clock until the smoothed frame time is the given one.
    float TickTo(uint32_t stepMs) {
        for (int i = 0; i < 40; ++i) {
            Plat_AdvanceVirtualClock(stepMs);
            Clock_Tick();
        }
        return Clock_GetFrameTime();
    }
    AudioSeam audio_{};
    CraftClass* cls_ = nullptr;
    Craft* craft_ = nullptr;
    WeaponClass* a_ = nullptr;
    WeaponClass* b_ = nullptr;
};

TEST_F(UserProcessTest, MountsOfOneClassFormOneGroupAndTheNextGroupSkipsTheSecond) {
    Mount(craft_, 0, *a_, 5);
    Mount(craft_, 1, *a_, 6);
    Mount(craft_, 2, *b_, 5);
    UserProcess process(nullptr, craft_);
    const int32_t list[10] = {0b011, 0b011, 0b100, 0, 0, 0b101, 0b010, 0b101, 0, 0};
    // An empty entry's next group is the first filled one.
    const int32_t next[10] = {2, 2, 0, 0, 0, 1, 2, 1, 0, 0};
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(process.selectList[i], list[i]);
        EXPECT_EQ(process.selectNext[i], next[i]);
    }
    EXPECT_EQ(craft_->hardpoints->selected, 0b011u);

    InputSink.weapon_cycle = 1;
    Step(process);
    EXPECT_EQ(process.cycle, 2);
    EXPECT_EQ(craft_->hardpoints->selected, 0b100u);
    EXPECT_EQ(g_sounds, std::vector<std::string>{"cammo.wav"});
    InputSink.weapon_cycle = 1;
    Step(process);
    EXPECT_EQ(process.cycle, 0) << "slot 1 is in slot 0's group";
    EXPECT_EQ(craft_->hardpoints->selected, 0b011u);

    InputSink.weapon_link = 1;
    Step(process);
    EXPECT_EQ(process.groupMode, 1);
    EXPECT_EQ(craft_->hardpoints->selected, 0b101u) << "same kind of hardpoint";
    Step(process);
    EXPECT_EQ(g_sounds.size(), 3u) << "no change, no sound";
}

TEST_F(UserProcessTest, WithoutMountsEveryGroupIsEmpty) {
    for (bool withList : {false, true}) {
        SCOPED_TRACE(withList);
        if (withList) craft_->hardpoints = new HardpointList(craft_);
        UserProcess process(nullptr, craft_);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(process.selectList[i], 0);
        EXPECT_EQ(process.cycle, 0);
        InputSink.weapon_cycle = 1;
        InputSink.weapon_fire = 1;
        Step(process);
        EXPECT_EQ(process.cycle, 0);
        InputSink.weapon_fire = 0;
    }
}

TEST_F(UserProcessTest, SelectKeysPickOneSlotOrToggleWithTheModifierAndFireTheSelection) {
    Weapon* w0 = Mount(craft_, 0, *a_);
    Weapon* w1 = Mount(craft_, 1, *b_);
    Weapon* w2 = Mount(craft_, 2, *b_);
    craft_->hardpoints->SetEnabled(0b011);  // slot 2 not ready
    UserProcess process(nullptr, craft_);
    EXPECT_EQ(craft_->hardpoints->selected, 0b001u);
    InputSink.weapon_select[1] = 1;
    Step(process);
    EXPECT_EQ(craft_->hardpoints->selected, 0b010u);
    InputSink.cmd_multi = 1;
    InputSink.weapon_select[0] = 1;
    InputSink.weapon_select[2] = 1;  // not ready: ignored
    Step(process);
    EXPECT_EQ(craft_->hardpoints->selected, 0b011u);
    InputSink.cmd_multi = 0;
    InputSink.weapon_fire = 1;
    Step(process);
    EXPECT_EQ(w0->changed, 1);
    EXPECT_EQ(w1->changed, 1);
    EXPECT_EQ(w2->changed, 0);
}

TEST_F(UserProcessTest, KeysAndAxesMoveTheControlsAtTheirRates) {
    const float t = TickTo(20);
    ASSERT_GT(t, 0.001f);
    ASSERT_LT(t * 5.0f, 1.0f);
    UserProcess process(nullptr, craft_);
    InputSink.steer_right = 1;
    InputSink.pitch_up = 1;
    InputSink.throttle_up = 1;
    InputSink.strafe = -65536;
    Step(process);
    EXPECT_FLOAT_EQ(craft_->controls.steering, -t) << "right turns toward +x: negative steering";
    EXPECT_FLOAT_EQ(craft_->controls.pitch, t);
    EXPECT_FLOAT_EQ(craft_->controls.throttle, 3.0f * t);
    EXPECT_FLOAT_EQ(craft_->controls.strafe, -3.0f * t);

    craft_->controls = CraftControls{};
    InputSinks_Clear();
    InputSink.steer = 65536;
    InputSink.pitch = 32768;
    InputSink.throttle = -65536;
    InputSink.strafe_left = 1;
    Step(process);
    EXPECT_FLOAT_EQ(craft_->controls.steering, -5.0f * t);
    EXPECT_FLOAT_EQ(craft_->controls.pitch, 2.5f * t);
    EXPECT_FLOAT_EQ(craft_->controls.throttle, -3.0f * t);
    EXPECT_FLOAT_EQ(craft_->controls.strafe, -3.0f * t);

    // The reverse-mouse setting turns the pitch axis round (not the keys).
    uint8_t* def = Seam_Shell().playerDef();
    const uint32_t flags = Bytes_U32(def + kPlayerDefFlags);
    Bytes_SetU32(def + kPlayerDefFlags, flags | 0x40);
    craft_->controls = CraftControls{};
    Step(process);
    EXPECT_FLOAT_EQ(craft_->controls.pitch, -2.5f * t);
    InputSink.pitch_up = 1;
    craft_->controls.pitch = 0.0f;
    Step(process);
    EXPECT_FLOAT_EQ(craft_->controls.pitch, t);
    Bytes_SetU32(def + kPlayerDefFlags, flags);

    // Steering keeps approaching its target frame after frame, never past it.
    InputSinks_Clear();
    InputSink.steer_left = 1;
    for (int i = 0; i < 2000; ++i) Step(process);
    EXPECT_NEAR(craft_->controls.steering, 1.0f, 1e-3f);
    EXPECT_LE(craft_->controls.steering, 1.0f);
}

TEST_F(UserProcessTest, FullThrottleSetsTurboAndActionsAreCopied) {
    UserProcess process(nullptr, craft_);
    struct Case {
        int32_t throttle;
        uint8_t turbo;
        int32_t boost;
    } cases[] = {{65536, 0, 1}, {65535, 0, 0}, {0, 1, 1}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.throttle);
        InputSink.throttle = c.throttle;
        InputSink.turbo = c.turbo;
        Step(process);
        EXPECT_EQ(craft_->controls.boost, c.boost);
    }
    InputSink.jump = 1;
    InputSink.eject = 1;
    InputSink.deploy = 1;
    InputSink.abandon = 1;
    Step(process);
    EXPECT_EQ(craft_->controls.jump, 1);
    EXPECT_EQ(craft_->controls.eject, 1);
    EXPECT_EQ(craft_->controls.deploy, 1);
    EXPECT_EQ(craft_->controls.hopOut, 1);
}

TEST_F(UserProcessTest, WithInputOffTheControlsAreClearedButTheFirstWordStays) {
    UserProcess process(nullptr, craft_);
    craft_->controls = CraftControls{0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1, 1, 1};
    InputSink.cmd_x = 12345;
    InputSink.steer_right = 1;
    InputSink.throttle = 65536;
    InputSink.weapon_fire = 1;
    InputSink.jump = 1;
    Input_DisableUserControl();
    process.Execute();
    Input_EnableUserControl();
    EXPECT_EQ(InputSink.cmd_x, 12345);
    EXPECT_EQ(InputSink.steer_right, 0);
    EXPECT_EQ(InputSink.throttle, 0);
    EXPECT_EQ(InputSink.weapon_fire, 0);
    const CraftControls& c = craft_->controls;
    EXPECT_EQ(c.steering, 0.0f);
    EXPECT_EQ(c.pitch, 0.0f);
    EXPECT_EQ(c.throttle, 0.0f);
    EXPECT_EQ(c.strafe, 0.0f);
    EXPECT_EQ(c.boost, 0);
    EXPECT_EQ(c.jump, 0);
    EXPECT_EQ(c.hopOut, 0);
}

TEST_F(UserProcessTest, DropBeaconBuildsOnePodBehindTheCraftAndPlaysItsSound) {
    UserProcess process(nullptr, craft_);
    ASSERT_NE(process.pilotClass, nullptr);
    char name[9];
    process.pilotClass->GetDefName(name);
    EXPECT_STREQ(name, "apcamr");
    const size_t before = GameObject_List().size();
    InputSink.drop_beacon = 1;
    Step(process);
    ASSERT_EQ(GameObject_List().size(), before + 1);
    GameObject* pod = GameObject_List().back();
    EXPECT_EQ(pod->objClass, process.pilotClass);
    EXPECT_EQ(pod->team, 1);
    // The craft faces +z: the pod is one radius behind it.
    EXPECT_NEAR(pod->entity->local.posit.x, 10.0, 1e-4);
    EXPECT_NEAR(pod->entity->local.posit.z, 16.0, 1e-4);
    EXPECT_EQ(g_sounds, std::vector<std::string>{"on:gprox00.wav"});
    EXPECT_EQ(craft_->aiProcess, &process) << "the process and the craft stay";
    Step(process);
    EXPECT_EQ(GameObject_List().size(), before + 1) << "a press, not a hold";
}

TEST_F(UserProcessTest, TheCraftsSideNamesItsPod) {
    struct Case {
        int32_t side;
        const char* pod;
    } cases[] = {{kSideAmerican, "apcamr"}, {kSideSoviet, "spcamr"}, {kSideAlien, nullptr}, {kSideUnknown, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        craft_->objClass = &NewCraftClass(c.side);
        UserProcess process(nullptr, craft_);
        if (!c.pod) {
            EXPECT_EQ(process.pilotClass, nullptr);
            InputSink.drop_beacon = 1;
            const size_t before = GameObject_List().size();
            Step(process);
            EXPECT_EQ(GameObject_List().size(), before);
            continue;
        }
        ASSERT_NE(process.pilotClass, nullptr);
        char name[9];
        process.pilotClass->GetDefName(name);
        EXPECT_STREQ(name, c.pod);
    }
    craft_->objClass = cls_;
}

TEST_F(UserProcessTest, SaveAndLoadRebuildTheGroupsAndRefuseABadCycle) {
    Mount(craft_, 0, *a_);
    Mount(craft_, 3, *a_);
    UserProcess saved(nullptr, craft_);
    saved.cycle = 3;
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary);
        Field_ResetSaveIds();
        const uint32_t id = Field_SaveId(craft_);
        const std::string bytes = CaptureFields(binary, [&](FILE* f) { return saved.Save(f); });
        Field_ResetSaveIds();
        UserProcess loaded;
        {
            FieldReadScope scope(bytes, binary);
            ASSERT_TRUE(loaded.Load());
        }
        Field_RegisterPointer(id, craft_);
        Field_ResolvePointers();
        ASSERT_TRUE(loaded.PostLoad());
        EXPECT_EQ(loaded.groupMode, 0);
        EXPECT_EQ(loaded.fOwner, craft_);
        EXPECT_EQ(loaded.cycle, 3);
        EXPECT_EQ(loaded.selectList[0], 0b01001);
        EXPECT_EQ(loaded.selectList[3], 0b01001);
        loaded.fOwner = nullptr;
    }
    // An older save holds a pointer first; a group index outside a row fails the load.
    for (bool binary : {false, true}) {
        const std::string older = CaptureFields(binary, [&](FILE* f) {
            return Field_WritePointerValue(f, 0, "dummyPtr") && saved.Save(f);
        });
        UserProcess loaded;
        {
            FieldReadScope scope(older, binary);
            EXPECT_TRUE(loaded.Load());
            EXPECT_EQ(scope.Offset(), scope.Size());
        }
        EXPECT_EQ(loaded.cycle, 3);
        Field_DiscardFixups();
        loaded.fOwner = nullptr;
    }
    for (int32_t cycle : {5, -1}) {
        saved.cycle = cycle;
        const std::string bad = CaptureFields(true, [&](FILE* f) { return saved.Save(f); });
        UserProcess loaded;
        FieldReadScope scope(bad, true);
        EXPECT_FALSE(loaded.Load());
    }
    saved.cycle = 0;
    Field_DiscardFixups();
}

TEST_F(UserProcessTest, FactoryAndSeamsMakeThePlayersAndRemoteProcesses) {
    Ai_InstallProcesses();
    const FactoryReg* user = nullptr;
    const FactoryReg* net = nullptr;
    for (const FactoryReg& entry : Registration_FactoryTable()) {
        if (std::string(entry.name) == "UserProcess") user = &entry;
        if (std::string(entry.name) == "NetProcess") net = &entry;
    }
    ASSERT_NE(user, nullptr);
    ASSERT_NE(net, nullptr);
    ASSERT_NE(user->create, nullptr);
    ASSERT_NE(net->create, nullptr);
    sObject* a = user->create();
    sObject* b = net->create();
    EXPECT_EQ(a->GetFactory(), user);
    EXPECT_EQ(b->GetFactory(), net);
    delete a;
    delete b;

    craft_->entity->flags |= kEntityUser;
    sObject* process = craft_->MakeUser();
    ASSERT_NE(dynamic_cast<UserProcess*>(process), nullptr);
    EXPECT_EQ(craft_->aiProcess, process);
    Craft* remote = NewCraft(*cls_, 2);
    sObject* remoteProcess = Craft_Services().netCreateProcess(remote);
    ASSERT_NE(dynamic_cast<NetProcess*>(remoteProcess), nullptr);
    EXPECT_EQ(remote->aiProcess, remoteProcess);
    delete remoteProcess;
    EXPECT_EQ(remote->aiProcess, nullptr);
    Craft_ResetServices();
}

TEST_F(UserProcessTest, DebugDumpsPrintTheControlsAndTheNetworkState) {
    static std::vector<std::string> lines;
    lines.clear();
    UnitAi_Services().debugPrint = [](const char* line) { lines.emplace_back(line); };
    UserProcess process(nullptr, craft_);
    craft_->controls.throttle = -0.25f;
    craft_->controls.jump = 1;
    process.DebugDump();
    const std::vector<std::string> expected = {"UserProcess",
                                               "id(unit) seqno(" + std::to_string(craft_->seqNo) + ")",
                                               "undeployed",
                                               "steer(+0.00) braccel(-0.25)",
                                               "pitch(+0.00) strafe(+0.00)",
                                               "turbo(off) jump(on)",
                                               "team(1) perceivedTeam(" + std::to_string(craft_->perceivedTeam) + ")"};
    EXPECT_EQ(lines, expected);
    lines.clear();
    craft_->SetAiProcess(nullptr);
    NetProcess net(nullptr, craft_);
    craft_->ownership = kNetOwnedRemote;
    craft_->entity->type = kTypeCraft;
    net.DebugDump();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "NetProcess");
    EXPECT_NE(lines[6].find("typ(R)"), std::string::npos);
    EXPECT_EQ(lines[9].rfind("vhcl flags(0x", 0), 0u);
    craft_->ownership = kNetUnowned;
}

}  // namespace

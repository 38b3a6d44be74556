#include <gtest/gtest.h>

#include <cstring>

#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/savegame.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "process_fixture.h"
#include "support/field_stream.h"

namespace {

class UnitProcessTest : public ProcessFixture {
public:
    void SetUp() override {
        ProcessFixture::SetUp();
        cls_ = &NewCraftClass();
        unit_ = NewCraft(*cls_, 1);
        user_ = NewCraft(*cls_, 1, Vector{500.0f, 0.0f, 500.0f}, true);
    }
    using ProcessFixture::NewCraftClass;
    CraftClass* cls_ = nullptr;
    Craft* unit_ = nullptr;
    Craft* user_ = nullptr;
};

AiPath* FakePath(int n) {
    static int paths[8];
    return reinterpret_cast<AiPath*>(&paths[n]);
}

// One step with a pending command of each code: the state it leads to, the reply said, and
// whether the command was taken (pending emptied, current = the code).
TEST_F(UnitProcessTest, EveryCommandCodeHasItsBaseReaction) {
    // A new unit's first step leaves the "transition" it starts in: keep that reply out.
    UnitAi_Services().loadFinishedTime = [] { return 0.0f; };
    struct Case {
        int32_t code;
        int32_t state;
        const char* said;  // "" for none
        bool taken;
    } cases[] = {
        {0, kUStateWait, "", false},       {1, kUStateWait, "v00", false},     {2, kUStateWait, "v21", true},
        {3, kUStateGoto, "v10", true},     {4, kUStateAttack, "v14", true},    {5, kUStateFollow, "v12", true},
        {6, kUStateWait, "", true},        {7, kUStateSubAttack, "v21", true}, {8, kUStateWait, "", true},
        {9, kUStateWait, "", true},        {10, kUStateRepair, "v15", true},   {11, kUStateReload, "v16", true},
        {12, kUStateWait, "", true},       {13, kUStateWait, "", true},        {14, kUStateWait, "", true},
        {15, kUStateDefend, "v12", true},  {16, kUStateWait, "", true},        {17, kUStateRescue, "v17", true},
        {18, kUStateRecycle, "v18", true}, {19, kUStateWait, "", true},        {20, kUStateWait, "", true},
        {21, kUStateWait, "", true},       {22, kUStatePatrol, "v10", true},   {23, kUStateStage, "v10", true},
        {24, kUStateWait, "", true},       {25, kUStateWait, "", true},        {26, kUStateWait, "", true},
        {27, kUStateWait, "", true},       {-1, kUStateWait, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        UnitProcess_ResetSay();
        Said().clear();
        unit_->ClearCommand();
        TestUnit process(nullptr, unit_);
        unit_->curCmd.what = 0;
        unit_->SetCommand(c.code);
        process.Execute();
        EXPECT_EQ(process.curState, c.state);
        EXPECT_EQ(Said().empty() ? std::string() : Said().front(), c.said);
        EXPECT_EQ(unit_->nextCmd.what, 0) << "the pending command is always used up";
        // STOP's WAIT clears the command it took; so do a pick-up of an undeployed unit and a
        // recycle without a drop-off, in their first step.
        const bool cleared = c.code == 2 || c.code == 7 || c.code == 18;
        const int32_t current = cleared || !c.taken ? 0 : c.code;
        EXPECT_EQ(unit_->curCmd.what, current);
        Said().clear();
    }
}

TEST_F(UnitProcessTest, SelectRepliesByStateAndKeepsTheCurrentCommand) {
    struct Case {
        int32_t state;
        int32_t deploy;
        const char* said;
    } cases[] = {{kUStateWait, 0, "v00"},   {kUStateGoto, 0, "v01"},   {kUStateFollow, 0, "v02"},
                 {kUStateAttack, 0, "v03"}, {kUStateUser1, 0, "v03"},  {kUStateDefend, 0, "v09"},
                 {kUStateGoto, 1, "v06"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        UnitProcess_ResetSay();
        Said().clear();
        TestUnit process(nullptr, unit_);
        process.curState = c.state;
        process.nextState = 0;
        unit_->deployState = c.deploy;
        unit_->curCmd.what = kCmdCodeFollow;
        unit_->SetCommand(kCmdCodeSelect);
        EXPECT_FALSE(process.ProcessCommand(kCmdCodeSelect));
        EXPECT_EQ(process.nextState, 0);
        EXPECT_EQ(unit_->nextCmd.what, 0);
        EXPECT_EQ(unit_->curCmd.what, kCmdCodeFollow);
        ASSERT_EQ(Said().size(), 1u);
        EXPECT_EQ(Said()[0], c.said);
        unit_->deployState = 0;
        unit_->curCmd.what = 0;
    }
}

TEST_F(UnitProcessTest, UpdateFromCommandCopiesWhatEachStateUses) {
    struct Case {
        int32_t state;
        bool takesWhere, takesWho;
        int32_t param;
        bool exact;
    } cases[] = {{kUStateGoto, true, true, 1, true},     {kUStateGoto, true, true, 2, false},
                 {kUStatePatrol, true, false, 0, true},  {kUStateStage, true, true, 5, true},
                 {kUStateAttack, false, true, 0, true},  {kUStateFollow, false, true, 0, true},
                 {kUStateDefend, false, true, 0, true},  {kUStateRescue, false, true, 0, true},
                 {kUStateWait, false, false, 0, true},   {kUStateRepair, false, false, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << " param " << c.param);
        TestUnit process(nullptr, unit_);
        process.release = true;
        process.saveState = kUStateDefend;
        process.saveWho = 77;
        process.whoHandle = 5;
        process.where = FakePath(1);
        unit_->curCmd = AiCmdInfo{0, kCmdCodeGo, 99, FakePath(2), 0.0f, c.param};
        process.nextState = c.state;
        process.UpdateFromCommand();
        EXPECT_EQ(process.where, c.takesWhere ? FakePath(2) : FakePath(1));
        EXPECT_EQ(process.whoHandle, c.takesWho ? 99u : 5u);
        EXPECT_EQ(process.exact, c.exact);
        EXPECT_EQ(process.release, !c.takesWhere);
        EXPECT_EQ(process.saveState, 0);
        EXPECT_EQ(process.saveWho, 0u);
        unit_->curCmd = AiCmdInfo{};
        process.where = nullptr;
        process.release = false;
    }
}

TEST_F(UnitProcessTest, WaitCoastsWhileFallingFastElseSitsAndAlwaysHasATask) {
    for (float vy : {10.5f, 10.0f, -30.0f}) {
        SCOPED_TRACE(vy);
        unit_->euler.velocity.y = vy;
        TestUnit process(nullptr, unit_);
        process.Execute();
        ASSERT_NE(process.task, nullptr);
        EXPECT_EQ(AsFake(process.task)->kind, vy > 10.0f ? "coast" : "sit");
        EXPECT_EQ(AsFake(process.task)->updates, 1);
    }
    // No task could be made on entry: the step makes a sit task.
    UnitAi_Services().sitTask = [](GameObject*) -> UnitTask* { return nullptr; };
    TestUnit process(nullptr, unit_);
    unit_->euler.velocity.y = 0.0f;
    process.Execute();
    EXPECT_EQ(process.task, nullptr);
    UnitAi_Services().sitTask = [](GameObject*) -> UnitTask* {
        static FakeTask task{"late"};
        return reinterpret_cast<UnitTask*>(&task);
    };
    process.Execute();
    ASSERT_NE(process.task, nullptr);
    EXPECT_EQ(AsFake(process.task)->kind, "late");
    process.task = nullptr;
}

TEST_F(UnitProcessTest, GotoFinishesIntoWaitAndClearsItsCommand) {
    TestUnit process(nullptr, unit_);
    unit_->controls.steering = 0.7f;
    unit_->controls.pitch = -0.3f;
    unit_->nextCmd = AiCmdInfo{0, kCmdCodeGo, 0, nullptr, 0.0f, 0};
    process.Execute();
    EXPECT_EQ(process.curState, kUStateGoto);
    EXPECT_EQ(unit_->controls.steering, 0.0f);
    EXPECT_EQ(unit_->controls.pitch, 0.0f);
    FakeTask* go = Last("gotopath");
    ASSERT_NE(go, nullptr);
    EXPECT_TRUE(go->exact);
    EXPECT_TRUE(Last("sit")->deleted) << "WAIT's task goes with WAIT";
    process.Execute();
    EXPECT_EQ(go->updates, 2);
    go->done = true;
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateWait);
    EXPECT_EQ(unit_->curCmd.what, 0);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateWait);
    EXPECT_TRUE(go->deleted);
}

TEST_F(UnitProcessTest, GotoAnObjectFetchesPickUpsButDrivesToCameraPods) {
    GameObjectClass& pickUp = NewClass();
    pickUp.category = kCategoryPowerUp;
    pickUp.signature = Signature("RKIT");
    GameObjectClass& pod = NewClass();
    pod.category = kCategoryPowerUp;
    pod.signature = Signature("CPOD");
    struct Case {
        GameObjectClass* cls;
        const char* kind;
    } cases[] = {{&pickUp, "goget"}, {&pod, "goto"}, {cls_, "goto"}};
    for (const Case& c : cases) {
        GameObject* target = Build(*c.cls);
        TestUnit process(nullptr, unit_);
        process.Execute();
        unit_->SetCommandObject(kCmdCodeGo, target);
        process.Execute();
        ASSERT_NE(process.task, nullptr);
        EXPECT_EQ(AsFake(process.task)->kind, c.kind);
        EXPECT_EQ(AsFake(process.task)->target, target);
    }
}

TEST_F(UnitProcessTest, StageWaitsForItsTimeThenOrdersTheAttack) {
    Craft* enemy = NewCraft(*cls_, 2);
    TestUnit process(nullptr, unit_);
    unit_->nextCmd = AiCmdInfo{0, kCmdCodeStage, enemy->GetObjHandle(), nullptr, 5.0f, 0};
    process.Execute();
    EXPECT_EQ(process.curState, kUStateStage);
    EXPECT_EQ(Last("gotopath")->updates, 1);
    Clock_SetTime(5.0f);
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateWait);
    EXPECT_EQ(unit_->nextCmd.what, kCmdCodeAttack);
    EXPECT_EQ(unit_->nextCmd.who, enemy->GetObjHandle());
}

TEST_F(UnitProcessTest, RescueOfAGoneObjectWaits) {
    Craft* other = NewCraft(*cls_, 1);
    TestUnit process(nullptr, unit_);
    unit_->SetCommandObject(kCmdCodeRescue, other);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateRescue);
    EXPECT_EQ(Last("rescue")->target, other);
    delete other;
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateWait);
}

TEST_F(UnitProcessTest, RecycleHandsOverWithinTheSquareAroundTheDropOff) {
    Craft* dropOff = NewCraft(*cls_, 1);
    static GameObject* s_dropOff;
    s_dropOff = dropOff;
    UnitAi_Services().findDropOff = [](GameObject*) { return s_dropOff; };
    for (float x : {39.0f, 41.0f}) {
        SCOPED_TRACE(x);
        unit_->recycleRequest = 0;
        dropOff->pos = Vector{x, 0.0f, -39.0f};  // a corner of the square, far outside a 40 m circle
        TestUnit process(nullptr, unit_);
        unit_->SetCommand(kCmdCodeRecycle);
        process.Execute();
        EXPECT_EQ(Last("goto")->target, dropOff);
        Last("goto")->done = true;
        process.Execute();
        EXPECT_EQ(unit_->recycleRequest != 0, x < 40.0f);
        EXPECT_EQ(process.nextState, kUStateWait);
        EXPECT_EQ(unit_->curCmd.what, 0);
    }
}

TEST_F(UnitProcessTest, RepairGoesToTheNearestPadOrWaits) {
    TeamRecord* team = TeamRecord::Get(1);
    Craft* far = NewCraft(*cls_, 1, Vector{300.0f, 0.0f, 0.0f});
    Craft* near = NewCraft(*cls_, 1, Vector{100.0f, 0.0f, 0.0f});
    TestUnit process(nullptr, unit_);
    unit_->SetCommand(kCmdCodeGetRepair);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateRepair);
    EXPECT_EQ(process.nextState, kUStateWait) << "no pad and no repairer";
    team->SetSlot(60, far);
    team->SetSlot(62, near);
    unit_->SetCommand(kCmdCodeGetRepair);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateRepair);
    EXPECT_EQ(process.whoHandle, near->GetObjHandle());
    EXPECT_EQ(process.nextState, kUStateDefend);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateDefend);
    EXPECT_EQ(Last("defend")->target, near);
    team->SetSlot(60, nullptr);
    team->SetSlot(62, nullptr);
}

TEST_F(UnitProcessTest, LeavingAStateDeletesItsTaskAndTheProcessLeavesItsOwner) {
    auto* process = new TestUnit(nullptr, unit_);
    process->Execute();
    FakeTask* sit = Last("sit");
    ASSERT_NE(sit, nullptr);
    EXPECT_EQ(unit_->aiProcess, process);
    delete process;
    EXPECT_TRUE(sit->deleted);
    EXPECT_EQ(unit_->aiProcess, nullptr);
}

// ---- voice replies ----

TEST_F(UnitProcessTest, VoiceRepliesAreHeldBackByTheRules) {
    struct Case {
        const char* why;
        int32_t index;
        bool said;
        void (*arrange)(UnitProcessTest*);
    } cases[] = {
        {"plain", 12, true, nullptr},
        {"index out of range", 27, false, nullptr},
        {"negative index", -1, false, nullptr},
        {"the last field has no file", 26, false, nullptr},
        {"other team", 12, false, [](UnitProcessTest* t) { t->unit_->team = 2; }},
        {"no user craft", 12, false, [](UnitProcessTest*) { GameObject_ForgetUser(); }},
        {"pending order with priority", 12, false,
         [](UnitProcessTest* t) { t->unit_->nextCmd = AiCmdInfo{1, kCmdCodeGo, 0, nullptr, 0.0f, 0}; }},
        {"pending order without priority", 12, true,
         [](UnitProcessTest* t) { t->unit_->nextCmd = AiCmdInfo{0, kCmdCodeGo, 0, nullptr, 0.0f, 0}; }},
        {"same low index again", 3, false, [](UnitProcessTest* t) { UnitProcess_Say(t->unit_, 3); }},
        {"same high index within a second", 12, false, [](UnitProcessTest* t) {
             UnitProcess_Say(t->unit_, 12);
             Clock_SetTime(10.9f);
         }},
        {"same high index a second later", 12, true, [](UnitProcessTest* t) {
             UnitProcess_Say(t->unit_, 12);
             Clock_SetTime(11.0f);
         }},
        {"deployed soon after a load", kSayDeployed, false,
         [](UnitProcessTest*) { UnitAi_Services().loadFinishedTime = [] { return 6.0f; }; }},
        {"deployed 5 s after a load", kSayDeployed, true,
         [](UnitProcessTest*) { UnitAi_Services().loadFinishedTime = [] { return 5.0f; }; }},
        {"undeployed soon after the loader's own load", kSayUndeployed, false,
         [](UnitProcessTest*) { SaveGame_Globals().loadFinishedTime = 7.5f; }},
        {"message playing", 12, false,
         [](UnitProcessTest*) { UnitAi_Services().audioMessageIsPlaying = [] { return true; }; }},
        {"scripted camera", 12, false,
         [](UnitProcessTest*) { UnitAi_Services().scriptedCameraActive = [] { return true; }; }},
        {"class without voices", 12, false, [](UnitProcessTest* t) { t->unit_->objClass = &t->NewCraftClass(1, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        UnitProcess_ResetSay();
        Clock_SetTime(10.0f);
        GameObjectClass* cls = unit_->objClass;
        if (c.arrange) c.arrange(this);
        Said().clear();
        UnitProcess_Say(unit_, c.index);
        EXPECT_EQ(!Said().empty(), c.said);
        if (c.said) {
            char expected[8];
            std::snprintf(expected, sizeof expected, "v%02d", c.index);
            EXPECT_EQ(Said().back(), expected);
        }
        unit_->team = 1;
        unit_->objClass = cls;
        unit_->nextCmd = AiCmdInfo{};
        SaveGame_ResetGlobals();
        UnitAi_ResetServices();
        UnitAi_Services().radioVoiceQueue = [](const char* wave, GameObject*, int32_t) { Said().emplace_back(wave); };
        if (!GameObject_GetUser()) user_ = NewCraft(*cls_, 1, Vector{500.0f, 0.0f, 500.0f}, true);
    }
}

TEST_F(UnitProcessTest, LeavingATransitionSaysDeployedOrUndeployed) {
    TestUnit process(nullptr, unit_);
    process.Execute();  // starts in transition: the first step ends it
    Said().clear();
    UnitProcess_ResetSay();
    Clock_SetTime(20.0f);
    unit_->deployState = 1;
    process.Execute();
    EXPECT_TRUE(Said().empty());
    EXPECT_TRUE(process.isInTransition);
    unit_->deployState = 2;
    process.Execute();
    ASSERT_EQ(Said().size(), 1u);
    EXPECT_EQ(Said()[0], "v22");
    unit_->deployState = 3;
    process.Execute();
    unit_->deployState = 0;
    process.Execute();
    ASSERT_EQ(Said().size(), 2u);
    EXPECT_EQ(Said()[1], "v23");
}

TEST_F(UnitProcessTest, DebugDumpNamesStatesAndPrintsOthersAsNumbers) {
    static std::vector<std::string> lines;
    lines.clear();
    UnitAi_Services().debugPrint = [](const char* line) { lines.emplace_back(line); };
    TestUnit process(nullptr, unit_);
    process.curState = kUStateFree;
    process.saveState = 1234;
    unit_->controls.steering = 0.5f;
    unit_->controls.boost = 1;
    unit_->deployState = 2;
    process.DebugDump();
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[0], "UnitProcess");
    EXPECT_EQ(lines[1], "id(unit) seqno(" + std::to_string(unit_->seqNo) + ")");
    EXPECT_EQ(lines[3], "state(17)");
    EXPECT_EQ(lines[4], "saveState(1234)");
    EXPECT_EQ(lines[6], "deployed");
    EXPECT_EQ(lines[7], "steer(+0.50) braccel(+0.00)");
    EXPECT_EQ(lines[9], "turbo(on) jump(off)");
    EXPECT_EQ(lines[11], "who(none)");
    EXPECT_STREQ(UnitCommand_Name(26), "LAY_MINES");
    EXPECT_EQ(UnitCommand_Name(27), nullptr);
    EXPECT_EQ(UnitCommand_Name(-1), nullptr);
    EXPECT_EQ(UnitState_Name(17), nullptr);
}

// ---- saving ----

TEST_F(UnitProcessTest, SaveAndLoadInBothFormsKeepTheFieldsAndDropExact) {
    Craft* target = NewCraft(*cls_, 2);
    Field_SetHandleFinder(GameObject_HandleForSerial);
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary);
        TestCraftUnit saved(nullptr, unit_);
        saved.independence = 0;
        saved.curState = kUStateAttack;
        saved.nextState = kUStateFollow;
        saved.saveState = kUStateDefend;
        saved.saveWho = target->GetObjHandle();
        saved.whoHandle = target->GetObjHandle();
        saved.nextEnemyCheck = 12.5f;
        saved.release = true;
        saved.exact = true;
        saved.waitStart = 3.0f;
        saved.timeOut = 9.0f;
        saved.isFriend = false;
        saved.engageRange = 900.0f;
        saved.madTime = 4.0f;
        saved.attackUser = true;
        Field_ResetSaveIds();
        const uint32_t meId = Field_SaveId(unit_);
        bool ok = false;
        const std::string bytes = CaptureFields(binary, [&](FILE* f) { return saved.Save(f); }, &ok);
        ASSERT_TRUE(ok);
        Field_ResetSaveIds();
        saved.curState = kUStateNone;  // nothing to leave when it goes

        TestCraftUnit loaded;
        {
            FieldReadScope scope(bytes, binary);
            ASSERT_TRUE(loaded.Load());
            EXPECT_EQ(scope.Offset(), scope.Size());
        }
        Field_RegisterPointer(meId, unit_);
        Field_ResolvePointers();
        ASSERT_TRUE(loaded.PostLoad());
        EXPECT_EQ(loaded.me, unit_);
        EXPECT_EQ(loaded.fOwner, unit_);
        EXPECT_EQ(loaded.independence, 0);
        EXPECT_EQ(unit_->independence, 0) << "copied to the owner";
        EXPECT_EQ(loaded.curState, kUStateAttack);
        EXPECT_EQ(loaded.nextState, kUStateFollow);
        EXPECT_EQ(loaded.saveState, kUStateDefend);
        EXPECT_EQ(loaded.saveWho, target->GetObjHandle());
        EXPECT_EQ(loaded.whoHandle, target->GetObjHandle());
        EXPECT_EQ(loaded.nextEnemyCheck, 12.5f);
        EXPECT_TRUE(loaded.release);
        EXPECT_FALSE(loaded.exact) << "a loaded unit never arrives exactly";
        EXPECT_EQ(loaded.waitStart, 3.0f);
        EXPECT_EQ(loaded.timeOut, 9.0f);
        EXPECT_FALSE(loaded.isFriend);
        EXPECT_EQ(loaded.engageRange, 900.0f);
        EXPECT_EQ(loaded.madTime, 4.0f);
        EXPECT_TRUE(loaded.attackUser);
        loaded.curState = kUStateNone;
        loaded.fOwner = nullptr;  // the saved one stays the owner's process
        unit_->SetAiProcess(&saved);
        unit_->independence = 1;
    }
}

TEST_F(UnitProcessTest, ASaveCutShortFailsTheLoad) {
    TestUnit saved(nullptr, unit_);
    const std::string bytes = CaptureFields(true, [&](FILE* f) { return saved.Save(f); });
    for (size_t cut : {size_t{0}, size_t{10}, bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        TestUnit loaded;
        {
            FieldReadScope scope(bytes.substr(0, cut), true);
            EXPECT_FALSE(loaded.Load());
        }
        Field_ClearUnresolved();
        Field_DiscardFixups();
        loaded.me = nullptr;
        loaded.task = nullptr;
        loaded.where = nullptr;
        loaded.fOwner = nullptr;
        loaded.curState = kUStateNone;
    }
    Field_ResetSaveIds();
}

}  // namespace

namespace {

// A damaged saved game can name anything it registered (here another process) as the unit or
// its owner: the loaded process then drives nothing.
TEST_F(UnitProcessTest, ALoadedUnitNamingSomethingElseDrivesNothing) {
    TestUnit stranger(nullptr, nullptr);
    TestUnit saved(nullptr, unit_);
    Field_ResetSaveIds();
    const uint32_t unitId = Field_SaveId(unit_);
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return saved.Save(f); });
    Field_ResetSaveIds();
    TestUnit loaded;
    {
        FieldReadScope scope(bytes, false);
        ASSERT_TRUE(loaded.Load());
    }
    Field_RegisterPointer(unitId, &stranger);  // the file's unit id now names a process
    Field_ResolvePointers();
    ASSERT_EQ(static_cast<void*>(loaded.me), static_cast<void*>(&stranger));
    EXPECT_TRUE(loaded.PostLoad());
    EXPECT_EQ(loaded.me, nullptr);
    EXPECT_EQ(loaded.fOwner, nullptr);
    loaded.Execute();  // nothing to drive, nothing touched
    EXPECT_EQ(unit_->independence, 1);
}

}  // namespace

// The mission driver: the end of a mission, the process walk, the choice of the mission by map
// name, and the mission section of saved games and mission files.
#include <cstdlib>
#include <cstring>
#include <string>

#include "ai/aistandins.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/sysprobe.h"
#include "fun3d/objectslot.h"
#include "mission_fixture.h"
#include "support/field_stream.h"

namespace {

const char* ClassName(const sObject* object) { return object ? object->GetFactory()->name : "(none)"; }

using MissionDriverTest = MissionFixture;

TEST_F(MissionDriverTest, LosingTheUsersCraftFailsTenSecondsLaterWithNoFile) {
    GameObjectClass& cls = NewClass();
    GameObject* user = Build(cls);
    user->MakeUser();
    AiMission* mission = AiMission_CreateByName("sample");
    SetTime(3.0f);
    Mission_Tick();
    EXPECT_FALSE(mission->done);

    Destroy(user);
    ASSERT_EQ(GameObject_GetUser(), nullptr);
    SetTime(5.0f);
    Mission_Tick();
    EXPECT_TRUE(mission->done);
    EXPECT_TRUE(mission->failed);
    EXPECT_NEAR(mission->shutdownTime, 15.0f, 0.01f);

    // Later frames keep the first end time.
    SetTime(14.9f);
    Mission_Tick();
    EXPECT_NEAR(mission->shutdownTime, 15.0f, 0.01f);
    EXPECT_EQ(Game_GetState(), kStateRun);
    EXPECT_STREQ(Mission_DebriefName(), "");

    SetTime(15.1f);
    Mission_Tick();
    EXPECT_EQ(Game_GetState(), kStateFailed);
    EXPECT_STREQ(Mission_DebriefName(), "nofile");
}

TEST_F(MissionDriverTest, AScriptEndIsNotOverwrittenByTheLossRuleAndNamesItsDebrief) {
    AiMission_CreateByName("sample");
    SucceedMission(2.0f, "win01.txt");
    SetTime(1.0f);
    Mission_Tick();  // no user's craft, but the mission is already done
    AiMission* mission = AiMission::GetCurrent();
    EXPECT_FALSE(mission->failed);
    EXPECT_FLOAT_EQ(mission->shutdownTime, 2.0f);
    SetTime(2.5f);
    Mission_Tick();
    EXPECT_EQ(Game_GetState(), kStateWon);
    EXPECT_STREQ(Mission_DebriefName(), "win01.txt");
}

TEST_F(MissionDriverTest, NetworkGamesHaveNoUserCraftLossRule) {
    Seam_Net().isNetworkGame = [] { return true; };
    AiMission* mission = AiMission_CreateByName("sample");
    Mission_Tick();
    EXPECT_FALSE(mission->done);
}

TEST_F(MissionDriverTest, TheEndWaitsWhileAJapaneseAudioMessagePlays) {
    static bool playing = true;
    playing = true;
    Ai_StandIns().audioMessageIsPlaying = [] { return playing; };
    const char* before = std::getenv("LC_ALL");
    const std::string kept = before ? before : "";
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    Lang_Detect();
    ASSERT_TRUE(Lang_IsJapanese());

    AiMission_CreateByName("sample");
    FailMission(1.0f, nullptr);
    SetTime(30.0f);
    Mission_Tick();
    EXPECT_EQ(Game_GetState(), kStateRun);
    playing = false;
    Mission_Tick();
    EXPECT_EQ(Game_GetState(), kStateFailed);

    if (before) setenv("LC_ALL", kept.c_str(), 1); else unsetenv("LC_ALL");
    Lang_Reset();
}

TEST_F(MissionDriverTest, TheWalkSurvivesExitsAdditionsAndDeletions) {
    GameObjectClass& cls = NewClass();
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* a = Build(cls);
    GameObject* b = Build(cls);
    GameObject* c = Build(cls);
    GameObject* d = Build(cls);
    auto* exits = new ProbeProcess(mission, a);
    auto* adder = new ProbeProcess(mission, b);
    auto* killer = new ProbeProcess(mission, c);
    auto* victim = new ProbeProcess(mission, d);
    ProbeProcess* added = nullptr;
    bool exitedSeenAfterStep = false;

    exits->onStep = [&](ProbeProcess* self) {
        self->Exit();
        exitedSeenAfterStep = true;
    };
    adder->onStep = [&](ProbeProcess*) {
        if (!added) added = new ProbeProcess(mission, Build(cls));
    };
    // The victim's owner is destroyed during the walk: its process goes with it.
    killer->onStep = [&](ProbeProcess*) {
        if (d) {
            Destroy(d);
            d = nullptr;
        }
    };
    victim->onStep = [&](ProbeProcess*) { ADD_FAILURE() << "a deleted process ran"; };

    Mission_Tick();
    EXPECT_TRUE(exitedSeenAfterStep);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->steps, 0);  // joined during the walk: runs from the next frame
    EXPECT_EQ(ProbeProcess::Deleted().size(), 2u);  // the victim, then the exited one after the walk
    EXPECT_EQ(ProbeProcess::Deleted().back(), exits);
    EXPECT_EQ(a->aiProcess, nullptr);
    EXPECT_EQ(mission->Processes().size(), 3u);

    Mission_Tick();
    EXPECT_EQ(added->steps, 1);
    EXPECT_EQ(adder->steps, 2);
}

TEST_F(MissionDriverTest, DeletingAProcessUnwiresItsOwner) {
    GameObjectClass& cls = NewClass();
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* owner = Build(cls);
    owner->SetCommand(4);
    owner->AcceptCommand();
    owner->SetCommand(7);
    auto* process = new ProbeProcess(mission, owner);
    EXPECT_EQ(owner->aiProcess, process);
    // Attached again, it is still listed once.
    process->Attach(mission, owner);
    EXPECT_EQ(mission->Processes().size(), 1u);
    delete process;
    EXPECT_EQ(owner->aiProcess, nullptr);
    EXPECT_EQ(owner->curCmd.what, 0);
    EXPECT_EQ(owner->nextCmd.what, 0);
    EXPECT_TRUE(mission->Processes().empty());
}

// A selector that records the names it is asked about.
class ProbeSelector : public AiMissionSelector {
public:
    explicit ProbeSelector(const char* name) : AiMissionSelector(name) {}
    bool Matches(const char* text) const override {
        asked.push_back(text);
        return AiMissionSelector::Matches(text);
    }
    AiMission* Create() const override { return new AiMission; }
    mutable std::vector<std::string> asked;
};

TEST_F(MissionDriverTest, MissionsAreChosenByName) {
    ProbeSelector misn("misn01");
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"misn01", "AiMission"},    {"MISN01", "EmptyMission"}, {"EMPTYxyz", "EmptyMission"},
        {"emptY", "EmptyMission"},  {"sample", "EmptyMission"}, {"", "EmptyMission"},
    };
    for (const Case& c : cases) {
        AiMission* mission = AiMission_CreateByName(c.name);
        EXPECT_EQ(AiMission::GetCurrent(), mission) << c.name;
        EXPECT_STREQ(ClassName(mission), c.expected) << c.name;
    }
    // For a map, at most 8 characters of the stem are compared.
    EXPECT_STREQ(ClassName(AiMission_CreateForMap("misn01")), "AiMission");
    EXPECT_STREQ(ClassName(AiMission_CreateForMap("misn01xyz")), "EmptyMission");
}

TEST_F(MissionDriverTest, OneMissionAtATime) {
    static int ended = 0;
    ended = 0;
    Ai_StandIns().plannerEndMission = [] { ++ended; };
    GameObjectClass& cls = NewClass();
    AiMission* first = AiMission_CreateByName("sample");
    new ProbeProcess(first, Build(cls));
    Mission_Tick();
    AiMission* second = AiMission_CreateByName("sample");
    EXPECT_FALSE(AiMission::IsLive(first));
    EXPECT_EQ(ProbeProcess::Deleted().size(), 1u);
    EXPECT_EQ(ended, 1);
    Mission_Tick();  // ticks the new one
    EXPECT_TRUE(AiMission::IsLive(second));
    Mission_Shutdown();
    EXPECT_EQ(AiMission::GetCurrent(), nullptr);
    EXPECT_EQ(ended, 2);
}

TEST_F(MissionDriverTest, ALongStemLeavesTheStemEmptyAndTheBaseMissionRuns) {
    ProbeSelector probe("abcdefgh");
    Mission_SetMapName("abcdefghi.qmn");
    EXPECT_EQ(std::string(Mission_MapName(), 9), std::string(9, '\0'));
    Mission_Tick();  // no mission yet: the map's mission is made
    ASSERT_NE(AiMission::GetCurrent(), nullptr);
    EXPECT_STREQ(ClassName(AiMission::GetCurrent()), "EmptyMission");
    ASSERT_FALSE(probe.asked.empty());
    EXPECT_EQ(probe.asked.front(), "");

    Mission_Shutdown();
    Mission_SetMapName("abcdefgh.qmn");
    EXPECT_STREQ(Mission_MapName(), "abcdefgh");
    Mission_Tick();
    EXPECT_STREQ(ClassName(AiMission::GetCurrent()), "AiMission");
    Mission_ClearMapName();
    EXPECT_STREQ(Mission_MapName(), "");
}

TEST_F(MissionDriverTest, ObjectsGetTheProcessTheirClassNames) {
    GameObjectClass& probe = NewClass("ProbeProcess", "NoSuchProcess");
    GameObjectClass& none = NewClass("NoSuchProcess", "ProbeProcess");
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* friendly = Build(probe, 1);
    GameObject* enemy = Build(probe, 2);
    GameObject* enemyOfNone = Build(none, 2);
    mission->AddObject(friendly);
    mission->AddObject(enemy);
    mission->AddObject(enemyOfNone);
    ASSERT_NE(friendly->aiProcess, nullptr);
    EXPECT_EQ(static_cast<AiProcess*>(friendly->aiProcess)->fOwner, friendly);
    EXPECT_EQ(enemy->aiProcess, nullptr);  // team 2 takes the enemy name, which has no factory
    EXPECT_NE(enemyOfNone->aiProcess, nullptr);
    EXPECT_EQ(mission->Processes().size(), 2u);
    // In a network game team 2 is a friend like any other.
    Seam_Net().isNetworkGame = [] { return true; };
    EXPECT_NE(AiMission::CreateObjectProcess(mission, enemy), nullptr);
}

TEST_F(MissionDriverTest, TheSeamHandsNewObjectsToTheCurrentMission) {
    GameObjectClass& probe = NewClass("ProbeProcess", "ProbeProcess");
    GameObject* early = Build(probe, 1);
    Seam_Ai().missionAddObject(early);  // no mission: nothing happens
    EXPECT_EQ(early->aiProcess, nullptr);
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* thrown = Build(probe, 1);
    Seam_Ai().missionAddObject(thrown);
    ASSERT_NE(thrown->aiProcess, nullptr);
    EXPECT_EQ(mission->Processes().size(), 1u);
}

TEST_F(MissionDriverTest, ResultNameKeepsThirteenCharacters) {
    AiMission mission;
    mission.Fail(1.0f, "abcdefghijklmnopq");
    EXPECT_STREQ(mission.resultName, "abcdefghijklm");
    mission.Succeed(2.0f, nullptr);
    EXPECT_STREQ(mission.resultName, "");
    EXPECT_FALSE(mission.failed);
}

// ---- saving and loading -----------------------------------------------------------------------

class MissionSaveTest : public MissionFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(MissionSaveTest, ASavedGameKeepsProcessesAndTheEnd) {
    const bool binary = GetParam();
    GameObjectClass& cls = NewClass();
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* owner = Build(cls);
    auto* kept = new ProbeProcess(mission, owner);
    kept->exited = true;
    auto* skipped = new ProbeProcess(mission, Build(cls));
    skipped->doNotSave = true;
    mission->Fail(42.5f, "thirteenchars");
    ASSERT_EQ(std::strlen(mission->resultName), 13u);

    bool ok = false;
    Field_ResetSaveIds();
    const std::string bytes = CaptureFields(binary, [&](FILE* f) {
        return Field_WritePointer(f, owner, "owner") && Mission_SaveCurrent(f);
    }, &ok);
    const uint32_t ownerId = Field_SaveId(owner);
    Field_ResetSaveIds();
    ASSERT_TRUE(ok);

    Mission_Shutdown();
    {
        FieldReadScope scope(bytes, binary);
        uint32_t saved = 0;
        ASSERT_TRUE(Field_ReadPointer("owner", &saved));
        EXPECT_EQ(saved, ownerId);
        Field_RegisterPointer(saved, owner);
        ASSERT_TRUE(Mission_LoadSaved());
        Field_ResolvePointers();
    }
    AiMission* loaded = AiMission::GetCurrent();
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(ClassName(loaded), "EmptyMission");
    ASSERT_EQ(loaded->Processes().size(), 1u);
    auto* process = loaded->Processes()[0];
    EXPECT_STREQ(ClassName(process), "ProbeProcess");
    EXPECT_EQ(process->fOwner, owner);
    EXPECT_EQ(process->fMission, loaded);
    EXPECT_TRUE(process->exited);
    EXPECT_TRUE(loaded->done);
    EXPECT_TRUE(loaded->failed);
    EXPECT_FLOAT_EQ(loaded->shutdownTime, 42.5f);
    EXPECT_STREQ(loaded->resultName, "thirteenchars");

    // The mission had ended: it ends at once after the load, whatever the time.
    Mission_StartAfterLoad();
    EXPECT_EQ(Game_GetState(), kStateFailed);
    EXPECT_STREQ(Mission_DebriefName(), "thirteenchars");
}

TEST_P(MissionSaveTest, AMissionFileHoldsOnlyTheClassAndUnknownClassesRunTheBaseMission) {
    const bool binary = GetParam();
    SaveGame_SetMissionFile(true);
    AiMission_CreateByName("sample");
    bool ok = false;
    const std::string bytes = CaptureFields(binary, Mission_SaveCurrent, &ok);
    ASSERT_TRUE(ok);
    EXPECT_NE(bytes.find("EmptyMission"), std::string::npos);
    EXPECT_EQ(bytes.find("size"), std::string::npos);

    std::string renamed = bytes;
    renamed.replace(renamed.find("EmptyMission"), 12, "Misn99Missio");
    Mission_Shutdown();
    {
        FieldReadScope scope(renamed, binary);
        ASSERT_TRUE(Mission_LoadSaved());
    }
    EXPECT_STREQ(ClassName(AiMission::GetCurrent()), "EmptyMission");

    // A saved game naming an unregistered class fails.
    SaveGame_SetMissionFile(false);
    Mission_Shutdown();
    AiMission_CreateByName("sample");
    const std::string game = CaptureFields(binary, Mission_SaveCurrent, &ok);
    ASSERT_TRUE(ok);
    std::string unknown = game;
    unknown.replace(unknown.find("EmptyMission"), 12, "Misn99Missio");
    Mission_Shutdown();
    FieldReadScope scope(unknown, binary);
    EXPECT_FALSE(Mission_LoadSaved());
    EXPECT_EQ(AiMission::GetCurrent(), nullptr);
}

TEST_P(MissionSaveTest, CutShortOrWrongSectionsFailWithoutLeavingAMission) {
    const bool binary = GetParam();
    GameObjectClass& cls = NewClass();
    AiMission* mission = AiMission_CreateByName("sample");
    GameObject* owner = Build(cls);
    new ProbeProcess(mission, owner);
    new ProbeProcess(mission, owner);
    Field_ResetSaveIds();
    bool ok = false;
    const std::string bytes = CaptureFields(binary, Mission_SaveCurrent, &ok);
    Field_ResetSaveIds();
    ASSERT_TRUE(ok);
    Mission_Shutdown();
    for (size_t cut = 0; cut < bytes.size(); cut += std::max<size_t>(1, bytes.size() / 40)) {
        {
            FieldReadScope scope(bytes.substr(0, cut), binary);
            EXPECT_FALSE(Mission_LoadSaved()) << cut;
        }
        Field_DiscardFixups();
        EXPECT_EQ(AiMission::GetCurrent(), nullptr);
    }
    // The owner was never touched by the half-read processes.
    EXPECT_EQ(owner->aiProcess, nullptr);
}

TEST_P(MissionSaveTest, AnObjectOfAnotherKindInTheSectionFailsAndLeavesNothingQueued) {
    const bool binary = GetParam();
    GameObjectClass& cls = NewClass();
    AiMission* mission = AiMission_CreateByName("sample");
    new ProbeProcess(mission, Build(cls));
    Field_ResetSaveIds();
    bool ok = false;
    const std::string bytes = CaptureFields(binary, Mission_SaveCurrent, &ok);
    Field_ResetSaveIds();
    ASSERT_TRUE(ok);
    Mission_Shutdown();
    // The mission's own slot naming a process, and a process slot naming a mission.
    std::string processAsMission = bytes;
    processAsMission.replace(processAsMission.find("EmptyMission"), 12, "ProbeProcess");
    std::string missionAsProcess = bytes;
    missionAsProcess.replace(missionAsProcess.find("ProbeProcess"), 12, "EmptyMission");
    for (const std::string& text : {processAsMission, missionAsProcess}) {
        {
            FieldReadScope scope(text, binary);
            EXPECT_FALSE(Mission_LoadSaved());
        }
        EXPECT_EQ(Field_FixupQueueSize(), 0u);
        EXPECT_EQ(AiMission::GetCurrent(), nullptr);
        Field_DiscardFixups();
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, MissionSaveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Binary" : "Text"; });

}  // namespace

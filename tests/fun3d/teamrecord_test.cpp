#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "fun3d_fixture.h"
#include "support/field_stream.h"

namespace {

struct ScrapNotice {
    int team;
    int change;
};
std::vector<ScrapNotice> g_notices;
std::vector<int> g_warnings;

class TeamTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        g_notices.clear();
        g_warnings.clear();
        Seam_Planner().scrapChanged = [](int team, int change) {
            g_notices.push_back({team, change});
            return static_cast<int>(g_notices.size());  // the answer goes back to the caller
        };
        Seam_Cockpit().queueWarning = [](int message) { g_warnings.push_back(message); };
    }
    // Makes team t the user's team.
    void UserOn(int32_t t) { Build(NewClass(), t, kEntityUser); }
};

TEST_F(TeamTest, FreshRecordsHoldNothingAndAllyOnlyWithThemselvesAndTeamZero) {
    for (int t = 0; t < kTeamCount; ++t) {
        const TeamRecord* r = TeamRecord::Get(t);
        ASSERT_NE(r, nullptr) << t;
        EXPECT_EQ(r->team, t);
        EXPECT_EQ(r->GetAllies(), (1u << t) | 1u) << t;
        EXPECT_EQ(r->GetScrap() | r->GetMaxScrap() | r->GetPilots() | r->GetMaxPilots(), 0);
        EXPECT_EQ(r->FindUsedSlot(0, kTeamSlotCount - 1), -1);
    }
    EXPECT_EQ(TeamRecord::Get(3)->GetAllies(), 9u);

    // Nothing carries over from one mission to the next.
    TeamRecord::Get(3)->AddMaxScrap(40);
    TeamRecord::Get(3)->AddAlly(5);
    TeamRecord_DestroyAll();
    EXPECT_EQ(TeamRecord::Get(3), nullptr) << "between cleanup and set-up there are no records";
    TeamRecord_CreateAll();
    EXPECT_EQ(TeamRecord::Get(3)->GetMaxScrap(), 0);
    EXPECT_EQ(TeamRecord::Get(3)->GetAllies(), 9u);
}

TEST_F(TeamTest, TeamZeroIsNeitherAllyNorEnemy) {
    TeamRecord* r = TeamRecord::Get(3);
    EXPECT_FALSE(r->IsAlly(0));
    EXPECT_FALSE(r->IsEnemy(0));
    EXPECT_TRUE(r->IsAlly(3));
    EXPECT_TRUE(r->IsEnemy(2));
    r->AddAlly(2);
    EXPECT_TRUE(r->IsAlly(2));
    EXPECT_FALSE(r->IsEnemy(2));
    r->RemoveAlly(2);
    r->RemoveAlly(0);
    EXPECT_TRUE(r->IsEnemy(2));
    EXPECT_FALSE(r->IsAlly(0));
    EXPECT_FALSE(r->IsEnemy(0)) << "whatever the mask says";
}

TEST_F(TeamTest, BadTeamAndSlotNumbersAreRefused) {
    for (int32_t t : {-1, 8, 9, 31, 32, INT_MIN, INT_MAX}) EXPECT_EQ(TeamRecord::Get(t), nullptr) << t;
    TeamRecord* r = TeamRecord::Get(1);
    GameObject* object = Build(NewClass(), 1);
    for (int32_t slot : {-1, 90, 1000, INT_MIN}) {
        EXPECT_FALSE(r->SetSlot(slot, object)) << slot;
        EXPECT_EQ(r->GetSlot(slot), nullptr) << slot;
    }
    EXPECT_TRUE(r->SetSlot(89, object));
    EXPECT_EQ(r->GetSlot(89), object);
    EXPECT_EQ(r->FindUsedSlot(-5, 500), 89) << "ranges are clipped to the table";
    EXPECT_EQ(r->FindFreeSlot(89, 200), -1);
    EXPECT_EQ(r->FindFreeSlot(-10, 0), 0);
    r->SetSlot(89, nullptr);

    const uint32_t before = r->GetAllies();
    for (int32_t t : {-1, 8, 31, 40}) {
        r->AddAlly(t);
        EXPECT_EQ(r->GetAllies(), before) << t;
        EXPECT_FALSE(r->IsAlly(t)) << t;
        EXPECT_FALSE(r->IsEnemy(t)) << t;
    }
}

TEST_F(TeamTest, ScrapIsCutToTheCapacityAndThePlannerHearsOnlyTheChangeMade) {
    TeamRecord* r = TeamRecord::Get(2);
    EXPECT_EQ(r->AddMaxScrap(10), 10);
    EXPECT_TRUE(g_notices.empty()) << "a raised capacity tells nobody";
    EXPECT_EQ(r->AddScrap(8), 1);
    EXPECT_EQ(r->AddScrap(5), 2) << "the planner's answer";
    EXPECT_EQ(r->GetScrap(), 10);
    ASSERT_EQ(g_notices.size(), 2u);
    EXPECT_EQ(g_notices[1].team, 2);
    EXPECT_EQ(g_notices[1].change, 2) << "past the capacity only the part added is reported";

    // Lowering the capacity below the scrap cuts it and reports the negative change.
    EXPECT_EQ(r->AddMaxScrap(-4), 6);
    EXPECT_EQ(r->GetScrap(), 6);
    ASSERT_EQ(g_notices.size(), 3u);
    EXPECT_EQ(g_notices[2].change, -4);

    // Spending has no floor here; callers check what they can afford.
    r->AddScrap(-9);
    EXPECT_EQ(r->GetScrap(), -3);
    EXPECT_EQ(g_notices.back().change, -9);

    // Huge amounts never wrap round.
    r->AddMaxScrap(INT_MAX);
    EXPECT_EQ(r->GetMaxScrap(), INT_MAX);
    r->AddScrap(INT_MAX);
    EXPECT_EQ(r->GetScrap(), INT_MAX - 3);
    r->AddScrap(INT_MIN);
    r->AddScrap(INT_MIN);
    EXPECT_EQ(r->GetScrap(), INT_MIN);
}

TEST_F(TeamTest, PilotsAreCutToTheCapacityAndRunningOutWarnsOnlyTheUsersTeam) {
    UserOn(1);
    TeamRecord* mine = TeamRecord::Get(1);
    TeamRecord* theirs = TeamRecord::Get(2);
    mine->AddMaxPilots(5);
    EXPECT_EQ(mine->AddPilots(7), 5) << "returns the capacity";
    EXPECT_EQ(mine->GetPilots(), 5);
    mine->AddPilots(-3);
    EXPECT_TRUE(g_warnings.empty());
    mine->AddPilots(-2);
    EXPECT_EQ(g_warnings, std::vector<int>{kWarningOutOfPilots});

    theirs->AddMaxPilots(2);
    theirs->AddPilots(2);
    theirs->AddPilots(-2);
    EXPECT_EQ(g_warnings.size(), 1u) << "another team's pilots are not the cockpit's business";

    // A lowered capacity cuts the pilots, and reaching 0 that way warns too.
    mine->AddPilots(4);
    mine->AddMaxPilots(-2);
    EXPECT_EQ(mine->GetPilots(), 3);
    EXPECT_EQ(g_warnings.size(), 1u);
    mine->AddMaxPilots(-3);
    EXPECT_EQ(mine->GetPilots(), 0);
    EXPECT_EQ(g_warnings.size(), 2u);
    EXPECT_TRUE(g_notices.empty()) << "pilots are not scrap";
}

TEST_F(TeamTest, SavedFieldsRoundTripInBothFormsAndMissionFilesHoldNone) {
    TeamRecord* r = TeamRecord::Get(4);
    r->AddMaxScrap(50);
    r->AddScrap(20);
    r->AddMaxPilots(9);
    r->AddPilots(3);
    r->AddAlly(6);
    const uint32_t allies = r->GetAllies();

    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        bool ok = false;
        const std::string bytes = CaptureFields(binary, [](FILE* f) { return TeamRecord_SaveAll(f); }, &ok);
        ASSERT_TRUE(ok);
        if (!binary) {
            EXPECT_NE(bytes.find("curScrap [1] =\r\n20\r\n"), std::string::npos) << bytes;
            EXPECT_NE(bytes.find("dwAllies [1] =\r\n51\r\n"), std::string::npos) << bytes;
        }
        TeamRecord_CreateAll();
        {
            FieldReadScope scope(bytes, binary);
            EXPECT_TRUE(TeamRecord_LoadAll());
            EXPECT_EQ(scope.Offset(), scope.Size());
        }
        const TeamRecord* back = TeamRecord::Get(4);
        EXPECT_EQ(back->GetScrap(), 20);
        EXPECT_EQ(back->GetMaxScrap(), 50);
        EXPECT_EQ(back->GetPilots(), 3);
        EXPECT_EQ(back->GetMaxPilots(), 9);
        EXPECT_EQ(back->GetAllies(), allies);
        EXPECT_EQ(TeamRecord::Get(7)->GetAllies(), 0x81u);
    }

    // A mission file holds no team records, and reading one leaves the records untouched.
    bool ok = false;
    SaveGame_SetMissionFile(true);
    EXPECT_EQ(CaptureFields(false, [](FILE* f) { return TeamRecord_SaveAll(f); }, &ok), "");
    EXPECT_TRUE(ok);
    {
        FieldReadScope scope("", false);
        EXPECT_TRUE(TeamRecord_LoadAll());
    }
    SaveGame_SetMissionFile(false);
    EXPECT_EQ(TeamRecord::Get(4)->GetScrap(), 20);
    EXPECT_TRUE(TeamRecord_PostLoadAll());
}

TEST_F(TeamTest, OldOrDamagedSavesChangeNothing) {
    TeamRecord::Get(2)->AddMaxScrap(30);
    TeamRecord::Get(2)->AddScrap(30);
    const std::string bytes = CaptureFields(false, [](FILE* f) { return TeamRecord_SaveAll(f); });
    TeamRecord_CreateAll();
    {
        FieldReadScope scope(bytes, false, 1024);
        EXPECT_TRUE(TeamRecord_LoadAll()) << "saves before version 1025 have no team records";
        EXPECT_EQ(scope.Offset(), 0u);
    }
    EXPECT_EQ(TeamRecord::Get(2)->GetScrap(), 0);

    // Cut short inside the last team: the load fails and no record takes any value.
    const std::string cut = bytes.substr(0, bytes.rfind("maxScrap"));
    {
        FieldReadScope scope(cut, false);
        EXPECT_FALSE(TeamRecord_LoadAll());
    }
    EXPECT_EQ(TeamRecord::Get(2)->GetScrap(), 0);
    EXPECT_EQ(TeamRecord::Get(2)->GetMaxScrap(), 0);
}

}  // namespace

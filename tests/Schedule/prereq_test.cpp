#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "Schedule/plannerlog.h"
#include "Schedule/prereq.h"
#include "support/trace_capture.h"

namespace {

// Type records made by hand, served to the table the way the planner's glue serves its own.
struct Records {
    std::deque<PrereqUnitType> units;
    std::deque<PrereqBuildingType> buildings;
    int sides[kPrereqTeams] = {0, 1, 2, 1, 2, 0, 0, 0};
    int workingTeam = 1;
    std::vector<std::pair<uint16_t*, int>> tracked;  // counted by the table once it is built
};
Records* g_records = nullptr;

template <typename T>
void Fill(uint16_t (&slots)[kPrereqSlots], std::initializer_list<T> raw) {
    int i = 0;
    for (T r : raw) slots[i++] = static_cast<uint16_t>(r);
}

class PrereqTest : public testing::Test {
protected:
    void SetUp() override {
        g_records = &records;
        PrereqSource source;
        source.unitCount = [] { return static_cast<int>(g_records->units.size()); };
        source.unitAt = [](int i) { return &g_records->units[static_cast<size_t>(i)]; };
        source.buildingCount = [] { return static_cast<int>(g_records->buildings.size()); };
        source.buildingAt = [](int i) { return &g_records->buildings[static_cast<size_t>(i)]; };
        source.teamSide = [](int team) { return g_records->sides[team]; };
        source.workingTeam = [] { return g_records->workingTeam; };
        source.countTracked = [] {
            for (auto& [type, team] : g_records->tracked) PREREQ_AddPart(*type, team);
        };
        PREREQ_SetSource(source);
    }
    void TearDown() override {
        PREREQ_Done();
        g_records = nullptr;
    }

    PrereqUnitType& Unit(const char* name, int rawType, int side, std::initializer_list<int> reqs = {},
                         std::initializer_list<int> makers = {}, int group = 0) {
        PrereqUnitType& u = records.units.emplace_back();
        u.name = name;
        u.label = std::string(name) + " label";
        u.serial = static_cast<uint32_t>(1000 + records.units.size());
        u.type = static_cast<uint16_t>(rawType);
        u.side = static_cast<int8_t>(side);
        u.group = static_cast<uint16_t>(group);
        Fill(u.reqs, reqs);
        Fill(u.makers, makers);
        return u;
    }
    PrereqBuildingType& Building(const char* name, int rawType, int side, std::initializer_list<int> reqs = {},
                                 std::initializer_list<int> makers = {}, int group = 0) {
        PrereqBuildingType& b = records.buildings.emplace_back();
        b.name = name;
        b.label = std::string(name) + " label";
        b.serial = static_cast<uint32_t>(2000 + records.buildings.size());
        b.type = static_cast<uint16_t>(rawType);
        b.flags = PREREQ_BuildingFlags(side, static_cast<int>(records.buildings.size()) - 1);
        b.group = static_cast<uint16_t>(group);
        Fill(b.reqs, reqs);
        Fill(b.makers, makers);
        return b;
    }

    static std::vector<uint16_t> List(const uint16_t* ids) {
        std::vector<uint16_t> out;
        for (; ids && *ids; ++ids) out.push_back(*ids);
        return out;
    }

    Records records;
};

TEST_F(PrereqTest, TwoUnitTypesOfOneRawTypeShareOneIdAndOneLogLine) {
    PlannerLog_Set(kPlannerLogSquadErrors);
    TraceCapture trace;
    PrereqUnitType& first = Unit("tank", 70, 1);
    PrereqUnitType& second = Unit("tank2", 70, 1, {}, {}, 500);  // its raw group is new
    PrereqUnitType& other = Unit("scout", 71, 1);
    PREREQ_Init();
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Duplicate Unit Prereqtype Found : 70\n"}));
    EXPECT_EQ(first.type, 1);
    EXPECT_EQ(second.type, 1);
    EXPECT_EQ(other.type, 2);
    EXPECT_EQ(PREREQ_PartCount(), 2);
    // The later record fills the shared entry; its group is numbered like any other's.
    EXPECT_EQ(PREREQ_GetUnit(1), &second);
    EXPECT_EQ(second.group, 1);
    const auto* group = PREREQ_GetGroup(1);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->size(), 1u);
    EXPECT_EQ((*group)[0].id, 1);
}

TEST_F(PrereqTest, AnUnknownPrerequisiteEndsTheListAndTheRecordsHoldIds) {
    Unit("a", 10, 1);
    Unit("b", 11, 1);
    PrereqUnitType& c = Unit("c", 12, 1, {10, 999, 11}, {11, 998});
    PREREQ_Init();
    EXPECT_EQ(List(PREREQ_GetReqs(3)), (std::vector<uint16_t>{1}));
    EXPECT_EQ(List(PREREQ_GetMakers(3)), (std::vector<uint16_t>{2}));
    EXPECT_EQ(c.reqs[0], 1);
    EXPECT_EQ(c.reqs[1], 0);
    EXPECT_EQ(c.reqs[2], 2);
    EXPECT_EQ(List(PREREQ_GetAllReqs(3)), (std::vector<uint16_t>{1}));
}

TEST_F(PrereqTest, AllPrerequisitesComeDeepestFirstEachOnceEvenAroundACycle) {
    struct Case {
        const char* name;
        std::vector<std::vector<int>> reqs;  // raw types 1.. ; reqs[i] are part i+1's
        std::vector<std::vector<uint16_t>> allReqs;
    };
    const Case cases[] = {
        {"diamond: A needs B and C, both need D", {{2, 3}, {4}, {4}, {}}, {{4, 2, 3}, {4}, {4}, {}}},
        {"two-part cycle", {{2}, {1}}, {{1, 2}, {2, 1}}},
        {"three-part cycle", {{2}, {3}, {1}}, {{1, 3, 2}, {2, 1, 3}, {3, 2, 1}}},
        {"a part needing itself", {{1}}, {{1}}},
        {"a chain", {{2}, {3}, {4}, {}}, {{4, 3, 2}, {4, 3}, {4}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PREREQ_Done();
        records.units.clear();
        for (size_t i = 0; i < c.reqs.size(); ++i) {
            PrereqUnitType& u = Unit("u", static_cast<int>(i) + 1, 1);
            for (size_t k = 0; k < c.reqs[i].size(); ++k) u.reqs[k] = static_cast<uint16_t>(c.reqs[i][k]);
        }
        PREREQ_Init();
        for (size_t i = 0; i < c.allReqs.size(); ++i)
            EXPECT_EQ(List(PREREQ_GetAllReqs(static_cast<uint16_t>(i + 1))), c.allReqs[i]) << "part " << i + 1;
    }
}

TEST_F(PrereqTest, AGroupListHoldsItsMembersBuildingsFirstInReverseRecordOrder) {
    Unit("u1", 1, 1, {}, {}, 9);
    Unit("u2", 2, 2, {}, {}, 9);
    Unit("solo", 3, 1);
    Building("b1", 4, -1, {}, {}, 9);
    Building("b2", 5, 2, {}, {}, 9);
    PREREQ_Init();
    const auto* group = PREREQ_GetGroup(1);
    ASSERT_NE(group, nullptr);
    std::vector<std::pair<int, int>> members;
    for (const auto& m : *group) members.emplace_back(m.id, m.side);
    EXPECT_EQ(members, (std::vector<std::pair<int, int>>{{5, 2}, {4, -1}, {2, 2}, {1, 1}}));
    EXPECT_EQ(PREREQ_GetGroup(3), nullptr);
    EXPECT_EQ(PREREQ_GetGroup(5), group);
    EXPECT_EQ(PREREQ_InGroup(1, 5), 1);
    EXPECT_EQ(PREREQ_InGroup(3, 1), 0);
}

TEST_F(PrereqTest, TheFirstBuildingOfATypeEnablesWhatNeedsItAndTheLastOneTakesItBack) {
    const int team = 1;
    Unit("tank", 1, 1, {10}, {10});          // needs and is made by the factory
    Unit("walker", 2, 1, {10, 11}, {10});   // also needs the tower
    Building("factory", 10, 1, {}, {});
    Building("tower", 11, 1);
    PrereqBuildingType& hq = Building("hq", 12, 1);
    PREREQ_Init();
    hq.furtherIds = {4};  // an hq counts as a tower too
    const uint16_t tank = 1, walker = 2, factory = 3, headquarters = 5;
    EXPECT_EQ(PREREQ_HasPrereqs(tank, team), 0);

    PREREQ_AddPart(factory, team);
    EXPECT_EQ(PREREQ_HasPrereqs(tank, team), 1);
    EXPECT_EQ(PREREQ_CanMake(tank, team), 1);
    EXPECT_EQ(PREREQ_HasPrereqs(walker, team), 0);
    EXPECT_EQ(PREREQ_CanMake(tank, 2), 0);  // another team has none

    PREREQ_AddPart(factory, team);
    PREREQ_AddPart(headquarters, team);
    EXPECT_EQ(PREREQ_GetCount(factory, team), 2);
    EXPECT_EQ(PREREQ_CanMake(walker, team), 1);

    PREREQ_RemovePart(factory, team);
    EXPECT_EQ(PREREQ_CanMake(tank, team), 1);
    PREREQ_RemovePart(factory, team);
    EXPECT_EQ(PREREQ_HasPrereqs(tank, team), 0);
    EXPECT_EQ(PREREQ_CanMake(tank, team), 0);
    PREREQ_RemovePart(headquarters, team);
    EXPECT_EQ(PREREQ_GetCount(4, team), 0);
}

TEST_F(PrereqTest, APartWhoseOnlyMakerIsMissingKeepsMakeOff) {
    Unit("tug", 1, 1, {}, {2});
    Building("recycler", 2, 1, {}, {}, 7);
    Building("recycler2", 3, 2, {}, {}, 7);
    PREREQ_Init();
    PREREQ_Update(1);
    EXPECT_EQ(PREREQ_HasPrereqs(1, 1), 1);
    EXPECT_EQ(PREREQ_CanMake(1, 1), 0);
    // Another member of the maker's group counts as the maker.
    PREREQ_AddPart(3, 1);
    EXPECT_EQ(PREREQ_CanMake(1, 1), 1);
    EXPECT_EQ(PREREQ_IsMaker(3, 1), 1);
    EXPECT_EQ(PREREQ_GetGroupCount(2, 1), 1);
    EXPECT_EQ(PREREQ_GetCount(2, 1), 0);
}

TEST_F(PrereqTest, PlanningFollowsTheSideAndNeedsAMakerAndUnitMakersAreMarked) {
    PrereqUnitType& builder = Unit("builder", 1, 1);
    PrereqUnitType& wall = Unit("wall", 2, 2, {}, {1});
    Unit("any", 3, -1, {}, {1});
    Unit("orphan", 4, 1);
    PREREQ_Init();
    EXPECT_EQ(builder.flags & kPrereqMakerFlag, kPrereqMakerFlag);
    EXPECT_EQ(wall.flags & kPrereqMakerFlag, 0u);
    EXPECT_EQ(PREREQ_IsPlanned(2, 2), 1);  // team 2 is side 2
    EXPECT_EQ(PREREQ_IsPlanned(2, 1), 0);
    EXPECT_EQ(PREREQ_IsPlanned(3, 1), 1);
    EXPECT_EQ(PREREQ_IsPlanned(3, 2), 1);
    EXPECT_EQ(PREREQ_IsPlanned(4, 1), 0);

    PREREQ_Enable(4, 1);
    EXPECT_EQ(PREREQ_IsPlanned(4, 1), 1);
    EXPECT_EQ(PREREQ_IsEnabled(4, 1), 1);
    PREREQ_Disable(4, 1);
    EXPECT_EQ(PREREQ_IsPlanned(4, 1), 0);
    EXPECT_EQ(PREREQ_IsEnabled(4, 1), 0);
}

TEST_F(PrereqTest, TheTeamVariantIsTheOtherSidesMember) {
    Unit("hover1", 1, 1, {}, {3}, 4);
    Unit("hover2", 2, 2, {}, {3}, 4);
    Building("fact", 3, -1);
    PREREQ_Init();
    EXPECT_EQ(PREREQ_TeamVariant(1, 2), 2);  // team 2 is side 2
    EXPECT_EQ(PREREQ_TeamVariant(2, 1), 1);
    EXPECT_EQ(PREREQ_TeamVariant(1, 1), 1);  // no other member of side 1 nor plannable
    EXPECT_EQ(PREREQ_TeamVariant(3, 2), 3);  // no group

    std::vector<std::string> names;
    int missingReqs = -1, missingMakers = -1;
    PREREQ_MissingNames(1, 2, names, &missingReqs, &missingMakers);
    EXPECT_EQ(missingReqs, 0);
    EXPECT_EQ(missingMakers, 1);
    EXPECT_EQ(names, (std::vector<std::string>{"fact label"}));
}

TEST_F(PrereqTest, CountingWaitsForTheTableAndCountsWhatIsAlreadyTracked) {
    PrereqUnitType& tank = Unit("tank", 5, 1);
    PREREQ_AddPart(1, 1);  // not built: nothing happens
    records.tracked.push_back({&tank.type, 2});
    PREREQ_Init();
    EXPECT_EQ(PREREQ_GetCount(1, 1), 0);
    EXPECT_EQ(PREREQ_GetCount(1, 2), 1);
    PREREQ_Init();  // already built: nothing changes
    EXPECT_EQ(PREREQ_GetCount(1, 2), 1);
    PREREQ_Done();
    PREREQ_AddPart(1, 2);
    EXPECT_EQ(PREREQ_GetCount(1, 2), 0);
    EXPECT_EQ(PREREQ_IsValid(1), 0);
}

TEST_F(PrereqTest, DoneThenInitAgainStartsClean) {
    Unit("a", 1, 1, {2}, {3}, 6);
    Unit("b", 2, 1, {}, {3}, 6);
    Building("c", 3, 1, {1});
    PREREQ_Init();
    PREREQ_AddPart(3, 1);
    PREREQ_Done();
    EXPECT_FALSE(PREREQ_IsBuilt());

    records.units.clear();
    records.buildings.clear();
    Unit("x", 40, 1);
    PREREQ_Init();
    EXPECT_EQ(PREREQ_PartCount(), 1);
    EXPECT_EQ(PREREQ_GetCount(1, 1), 0);
    EXPECT_EQ(PREREQ_GetGroup(1), nullptr);
    EXPECT_EQ(PREREQ_IsValid(2), 0);
}

TEST_F(PrereqTest, QueriesOfAWrongIdAreReportedAndAnswerNone) {
    Unit("a", 1, 1);
    Building("b", 2, 1);
    PREREQ_Init();
    TraceCapture trace;
    testing::internal::CaptureStdout();
    EXPECT_EQ(PREREQ_IsBuilding(0), 0);
    EXPECT_EQ(PREREQ_IsUnit(9), 0);
    EXPECT_EQ(PREREQ_GetUnit(2), nullptr);
    EXPECT_EQ(PREREQ_GetBuilding(1), nullptr);
    EXPECT_EQ(PREREQ_GetBuilding(65535), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.Count("ASSERT (PREREQ_IsValid(id));"), 1);
    EXPECT_EQ(trace.Count("ASSERT (PREREQ_IsValid (id));"), 1);
    EXPECT_EQ(trace.Count("ASSERT (PREREQ_IsUnit (id));"), 1);
    EXPECT_EQ(trace.Count("ASSERT (PREREQ_IsBuilding (id));"), 2);
    EXPECT_EQ(PREREQ_GetReqs(7), nullptr);
    EXPECT_EQ(PREREQ_GetCount(7, 1), 0);
    EXPECT_EQ(PREREQ_GetCount(1, 8), 0);
    EXPECT_EQ(PREREQ_IsBuilding(2), 1);
    EXPECT_EQ(PREREQ_IsUnit(1), 1);
}

TEST_F(PrereqTest, NamesSerialsIndicesAndTheDump) {
    Unit("grizzly", 1, 1);
    Building("factory", 2, -1);
    Building("armory", 3, 2);
    PREREQ_Init();
    EXPECT_EQ(PREREQ_FindByName("armory"), 3);
    EXPECT_EQ(PREREQ_FindByName("nothing"), 0);
    EXPECT_STREQ(PREREQ_GetName(1), "grizzly label");
    EXPECT_EQ(PREREQ_GetSerial(1), 1001u);
    EXPECT_EQ(PREREQ_GetSerial(3), 2002u);
    EXPECT_EQ(PREREQ_GetBuildingIndex(3), 1);
    EXPECT_EQ(PREREQ_GetBuildingIndex(1), -1);
    EXPECT_EQ(PREREQ_GetSide(2), -1);
    EXPECT_EQ(PREREQ_GetSide(3), 2);

    TraceCapture trace;
    PREREQ_Dump(2);
    EXPECT_TRUE(trace.Lines().empty());  // its category is off
    PlannerLog_Set(kPlannerLogPartDump);
    PREREQ_AddPart(2, 1);
    PREREQ_Dump(2);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{
                                 "TYPE: 2 #: 1 SIDE: -1 PREQ: 1 MAKE: 0 PLAN: 0 REQS: 0 0 0 0 MAKERS: 0 0 0 0 \n"}));
}

TEST_F(PrereqTest, AStampedReferenceHoldsUntilItsTargetChanges) {
    PrereqUnitType& unit = Unit("u", 1, 1);
    PrereqBuildingType& building = Building("b", 2, 1);
    PartId pid;
    UnitId uid;
    BuildId bid;
    EXPECT_EQ(PartId_IsValid(&pid), 0);
    PartId_Set(&pid, &unit);
    UnitId_Set(&uid, &unit);
    BuildId_Set(&bid, &building);
    EXPECT_EQ(PartId_GetTarget(&pid), &unit);
    EXPECT_EQ(UnitId_GetStamp(&uid), 1001);
    EXPECT_EQ(BuildId_IsValid(&bid), 1);

    unit.serial = 77;  // the record was used again
    EXPECT_EQ(PartId_GetTarget(&pid), nullptr);
    EXPECT_EQ(pid.stamp, -1);
    EXPECT_EQ(UnitId_IsValid(&uid), 0);
    BuildId_Set(&bid, nullptr);
    EXPECT_EQ(BuildId_IsValid(&bid), 0);

    TraceCapture trace;
    testing::internal::CaptureStdout();
    EXPECT_EQ(PartId_IsValid(nullptr), 0);
    EXPECT_EQ(BuildId_GetTarget(nullptr), nullptr);
    UnitId_Clear(nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.Count("ASSERT (pid);"), 1);
    EXPECT_EQ(trace.Count("ASSERT (bid);"), 1);
    EXPECT_EQ(trace.Count("ASSERT (uid);"), 1);
}

}  // namespace

#include "core/phasehook.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/seams/objects.h"
#include "core/seams/render.h"
#include "core/seams/world.h"

namespace {

std::vector<std::string> g_log;

class Member : public PhaseHook {
public:
    explicit Member(std::string name) : name_(std::move(name)) {}
    void Startup() override { g_log.push_back(name_ + ".startup"); }
    void Shutdown() override { g_log.push_back(name_ + ".shutdown"); }
    void MissionSetup() override { g_log.push_back(name_ + ".setup"); }
    void PostLoad() override { g_log.push_back(name_ + ".postload"); }
    void MissionEnd() override { g_log.push_back(name_ + ".end"); }
    void MissionCleanup() override { g_log.push_back(name_ + ".cleanup"); }
    void Frame() override { g_log.push_back(name_ + ".frame"); }
    void Simulate(float dt) override { g_log.push_back(name_ + ".simulate" + std::to_string(int(dt * 1000))); }
    void Render(RenderView*) override { g_log.push_back(name_ + ".render"); }
    void DrawOverlay() override {
        g_log.push_back(name_ + ".overlay");
        Seam_Render().setDepthBias(Seam_Render().getDepthBias() + 0.1f);
    }
    void OnEntityAdded(EntityTableRecord*) override { g_log.push_back(name_ + ".entityAdded"); }
    void OnEntityRemoved(EntityTableRecord*) override { g_log.push_back(name_ + ".entityRemoved"); }
    void OnObjectAdded(GameObject*) override { g_log.push_back(name_ + ".objectAdded"); }
    void OnObjectRemoved(GameObject*) override { g_log.push_back(name_ + ".objectRemoved"); }

private:
    std::string name_;
};

std::vector<EntityNotifyFn> g_addNotify, g_removeNotify;

class PhaseHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        PhaseHook_ClearForTests();
        g_log.clear();
        g_addNotify.clear();
        g_removeNotify.clear();
        savedWorld_ = Seam_World();
        savedObjects_ = Seam_Objects();
        Seam_World().entitiesAddNotify = [](EntityNotifyFn fn) { g_addNotify.push_back(fn); };
        Seam_World().entitiesAddRemoveNotify = [](EntityNotifyFn fn) { g_removeNotify.push_back(fn); };
        Seam_Objects().teamRecordCreateAll = [] { g_log.push_back("teams.create"); };
        Seam_Objects().teamRecordDestroyAll = [] { g_log.push_back("teams.destroy"); };
        Seam_Objects().animBuildingPostLoad = [] { g_log.push_back("animBuildings"); };
    }
    void TearDown() override {
        PhaseHook_ClearForTests();
        Seam_World() = savedWorld_;
        Seam_Objects() = savedObjects_;
    }
    // Members registered in table order a, b, c, ...
    Member& Add(const std::string& name) {
        members_.push_back(std::make_unique<Member>(name));
        PhaseHook_Register(members_.back().get());
        return *members_.back();
    }
    std::vector<std::unique_ptr<Member>> members_;
    WorldSeam savedWorld_;
    ObjectsSeam savedObjects_;
};

TEST_F(PhaseHookTest, BaseConstructorDefaults) {
    Member m("m");
    EXPECT_EQ(m.flags, kPhaseFlagSimulate | kPhaseFlagRender | kPhaseFlagOverlay);
    EXPECT_EQ(m.word, 0u);
    for (int p = 0; p < kPhaseCount; ++p) EXPECT_EQ(m.priority[p], 0);
    EXPECT_EQ(PhaseHook_Count(), 0u);  // joining is the table's business, not the constructor's
}

TEST_F(PhaseHookTest, EqualPrioritiesKeepTableOrderAndHigherRunsFirst) {
    Add("a");
    Add("b").priority[kPhaseStartup] = 20;
    Add("c");
    Add("d").priority[kPhaseStartup] = 20;
    PhaseHook_RunStartup();
    EXPECT_EQ(g_log, (std::vector<std::string>{"b.startup", "d.startup", "a.startup", "c.startup"}));

    // Another phase starts from the order the previous sort left (stable), not from table order.
    g_log.clear();
    PhaseHook_RunShutdown();
    EXPECT_EQ(g_log, (std::vector<std::string>{"b.shutdown", "d.shutdown", "a.shutdown", "c.shutdown"}));
}

TEST_F(PhaseHookTest, NegativePrioritiesRunLast) {
    Add("a").priority[kPhaseMissionEnd] = -5;
    Add("b");
    Add("c").priority[kPhaseMissionEnd] = 3;
    PhaseHook_RunMissionEnd();
    EXPECT_EQ(g_log, (std::vector<std::string>{"c.end", "b.end", "a.end"}));
}

TEST_F(PhaseHookTest, FlagBitsGateTheFrameBroadcasts) {
    Member& a = Add("a");
    Member& b = Add("b");
    b.flags |= kPhaseFlagFrame;
    a.flags &= static_cast<uint8_t>(~kPhaseFlagRender);
    b.flags &= static_cast<uint8_t>(~(kPhaseFlagSimulate | kPhaseFlagOverlay));
    PhaseHook_FrameAll();
    PhaseHook_SimulateAll(0.025f);
    PhaseHook_RenderAll(nullptr);
    PhaseHook_OverlayAll();
    EXPECT_EQ(g_log, (std::vector<std::string>{"b.frame", "a.simulate25", "b.render", "a.overlay"}));
}

TEST_F(PhaseHookTest, NoticesReachEveryMemberWhateverItsFlags) {
    Add("a").flags = 0;
    Add("b");
    PhaseHook_EntityAddedAll(nullptr);
    PhaseHook_EntityRemovedAll(nullptr);
    PhaseHook_ObjectAddedAll(nullptr);
    PhaseHook_NotifyAll(nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a.entityAdded", "b.entityAdded", "a.entityRemoved", "b.entityRemoved",
                                               "a.objectAdded", "b.objectAdded", "a.objectRemoved", "b.objectRemoved"}));
}

TEST_F(PhaseHookTest, PostLoadResortsByFrameOrderForTheBroadcasts) {
    Member& a = Add("a");
    Member& b = Add("b");
    Member& c = Add("c");
    for (Member* m : {&a, &b, &c}) m->flags |= kPhaseFlagFrame;
    a.priority[kPhasePostLoad] = 9;
    c.priority[kPhasePostLoad] = 5;
    c.priority[kPhaseFrameOrder] = 7;
    b.priority[kPhaseFrameOrder] = 1;
    PhaseHook_RunPostLoad();
    EXPECT_EQ(g_log, (std::vector<std::string>{"animBuildings", "a.postload", "c.postload", "b.postload"}));
    g_log.clear();
    PhaseHook_FrameAll();
    PhaseHook_SimulateAll(0.0f);
    EXPECT_EQ(g_log, (std::vector<std::string>{"c.frame", "b.frame", "a.frame", "c.simulate0", "b.simulate0",
                                               "a.simulate0"}));
}

TEST_F(PhaseHookTest, MissionSetupCreatesTeamsFirstAndInstallsTheEntityNotices) {
    Add("a");
    PhaseHook_RunMissionSetup();
    EXPECT_EQ(g_log, (std::vector<std::string>{"teams.create", "a.setup"}));
    ASSERT_EQ(g_addNotify.size(), 1u);
    ASSERT_EQ(g_removeNotify.size(), 1u);
    g_log.clear();
    g_addNotify[0](nullptr);
    g_removeNotify[0](nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a.entityAdded", "a.entityRemoved"}));
}

TEST_F(PhaseHookTest, CleanupDestroysTeamsBeforeAnyMember) {
    Add("a");
    Add("b").priority[kPhaseCleanup] = 100;
    PhaseHook_RunCleanup();
    EXPECT_EQ(g_log, (std::vector<std::string>{"teams.destroy", "b.cleanup", "a.cleanup"}));
}

TEST_F(PhaseHookTest, OverlayPutsTheDepthBiasBackAfterEachMember) {
    Add("a");
    Add("b");
    Seam_Render().setDepthBias(0.5f);
    std::vector<float> seen;
    static std::vector<float>* s_seen;
    s_seen = &seen;
    class Probe : public PhaseHook {
        void DrawOverlay() override { s_seen->push_back(Seam_Render().getDepthBias()); }
    } probe;
    PhaseHook_Register(&probe);
    PhaseHook_OverlayAll();
    EXPECT_EQ(seen, std::vector<float>{0.5f});
    EXPECT_FLOAT_EQ(Seam_Render().getDepthBias(), 0.5f);
    Seam_Render().setDepthBias(0.0f);
}

}  // namespace

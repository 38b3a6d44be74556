#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "goto_fixture.h"
#include "support/field_stream.h"
#include "weapons/weapon.h"

namespace {

class FollowTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        leader_ = NewCraft(*cls_, 1, Vector{100, 0, 200});
        Place(leader_, Vector{100, 0, 200});
    }
    void TearDown() override {
        tasks_.clear();  // before the task list is cleared
        GotoFixture::TearDown();
    }
    // A follower of the leader, started into FOLLOW.
    FollowTask* Follower() {
        Craft* unit = NewCraft(*cls_, 1, Vector{100, 0, 170});
        Place(unit, Vector{100, 0, 170});
        auto* task = new FollowTask(unit, leader_);
        tasks_.emplace_back(task);
        return task;
    }
    static void Enter(FollowTask* task) {
        task->nextState = kTaskFollow;
        task->Update();
    }
    Craft* leader_ = nullptr;
    std::vector<std::unique_ptr<FollowTask>> tasks_;
};

struct Offset {
    float dx, dz;
};

TEST_F(FollowTest, EachFollowerTakesItsPlaceAtItsNextFollowEntry) {
    // A lone follower.
    FollowTask* first = Follower();
    EXPECT_FLOAT_EQ(first->followDz, -20.0f);  // before any entry
    first->Update();  // START entered
    first->Update();  // FOLLOW entered
    EXPECT_EQ(first->curState, kTaskFollow);
    EXPECT_FLOAT_EQ(first->followDx, 3.0f);
    EXPECT_FLOAT_EQ(first->followDz, -30.0f);

    // A second joins: each takes its place only when it next enters FOLLOW.
    FollowTask* second = Follower();
    EXPECT_TRUE(first->group->IsChanged(first->me));
    Enter(second);
    EXPECT_FLOAT_EQ(second->followDx, -3.0f);
    EXPECT_FLOAT_EQ(second->followDz, -60.0f);
    Enter(first);
    EXPECT_FLOAT_EQ(first->followDx, 3.0f);
    EXPECT_FLOAT_EQ(first->followDz, -30.0f);
    EXPECT_FALSE(first->group->IsChanged(first->me));

    // Groups of three to six.
    struct Case {
        int32_t size;
        std::vector<Offset> offsets;
    } cases[] = {
        {3, {{-10, -20}, {10, -20}, {0, -40}}},
        {4, {{-10, -20}, {10, -20}, {-10, -40}, {10, -40}}},
        {5, {{0, -20}, {0, -40}, {0, -60}, {0, -80}, {0, -100}}},
        {6, {{0, -20}, {0, -40}, {0, -60}, {0, -80}, {0, -100}, {0, -120}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        while (static_cast<int32_t>(tasks_.size()) < c.size) Follower();
        for (auto& task : tasks_) Enter(task.get());
        for (size_t k = 0; k < tasks_.size(); ++k) {
            EXPECT_FLOAT_EQ(tasks_[k]->followDx, c.offsets[k].dx);
            EXPECT_FLOAT_EQ(tasks_[k]->followDz, c.offsets[k].dz);
        }
    }
    ASSERT_EQ(FollowRegistry().size(), 1u);
    EXPECT_EQ(FollowRegistry()[0]->Count(), 6);

    // Leavers: the rest are marked; the last one deletes the group.
    tasks_.erase(tasks_.begin());
    EXPECT_TRUE(tasks_[0]->group->IsChanged(tasks_[0]->me));
    EXPECT_EQ(tasks_[0]->group->IndexOf(tasks_[0]->me), 0);
    while (tasks_.size() > 1) tasks_.pop_back();
    EXPECT_EQ(FollowRegistry().size(), 1u);
    tasks_.clear();
    EXPECT_TRUE(FollowRegistry().empty());

    // No leader: born finished, no group.
    FollowTask none(unit_, nullptr);
    EXPECT_TRUE(none.IsDone());
    EXPECT_EQ(none.group, nullptr);
    EXPECT_TRUE(FollowRegistry().empty());
}

TEST_F(FollowTest, AFollowerWhoseLeaderDiesFinishesOnTheNextFrame) {
    FollowTask* task = Follower();
    task->Update();
    task->Update();
    Kill(leader_);
    task->Update();
    EXPECT_EQ(task->nextState, kTaskDone);
    task->Update();
    EXPECT_TRUE(task->IsDone());
}

TEST_F(FollowTest, TheFiftyHundredAndFifteenMetreThresholds) {
    struct Case {
        const char* what;
        int32_t state;
        float leaderFromUnit;  // north of the unit
        float goalFromLeader;  // the goal this far south of the leader
        float unitFromGoal;    // the unit this far south of the goal
        int32_t next;
        bool newGoal;  // the goal is the leader's position again
    } cases[] = {
        {"follow: leader at 100 m stays", kTaskFollow, 100.0f, 0.0f, 0.0f, -1, false},
        {"follow: leader beyond 100 m: after it", kTaskFollow, 100.5f, 0.0f, 0.0f, kTaskGoto, true},
        {"goto: leader within 50 m: follow", kTaskGoto, 49.5f, 0.0f, 49.5f, kTaskFollow, false},
        {"goto: on toward the goal", kTaskGoto, 80.0f, 60.0f, 20.0f, -1, false},
        {"goto: leader 100 m from the goal still counts", kTaskGoto, 120.0f, 100.0f, 20.0f, -1, false},
        {"goto: leader moved on beyond 100 m: a new goal", kTaskGoto, 120.0f, 100.5f, 19.5f, kTaskGoto, true},
        {"goto: within 15 m of the goal: a new goal", kTaskGoto, 80.0f, 66.0f, 14.0f, kTaskGoto, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FollowTask* task = Follower();
        Place(task->me, Vector{100, 0, 0});
        Place(leader_, Vector{100, 0, c.leaderFromUnit});
        task->curState = c.state;
        task->nextState = -1;
        task->nextStuck = Clock_GetTime();  // no stuck test due
        task->gotoPoint = Vector{100, 0, c.leaderFromUnit - c.goalFromLeader};
        if (c.state == kTaskGoto) {
            task->plan = new AiPath(nullptr, 0);
            task->plan->points = {{100, 0}, {100, c.leaderFromUnit - c.goalFromLeader}};
        }
        task->Update();
        EXPECT_EQ(task->nextState, c.next);
        if (c.newGoal) {
            EXPECT_FLOAT_EQ(task->gotoPoint.z, c.leaderFromUnit);
        }
        tasks_.clear();
    }
}

TEST_F(FollowTest, InFormationAFollowerShootsTheNearestEnemyButNeverWithADispenser) {
    static int searches = 0, shots = 0;
    static GameObject* enemy = nullptr;
    static float range = 0.0f;
    searches = shots = 0;
    UnitAiServices& s = UnitAi_Services();
    s.findNearestEnemyCraft = [](GameObject*, float r2) {
        ++searches;
        range = r2;
        return enemy;
    };
    s.weaponMaskFire = [](GameObject*, uint32_t) { ++shots; };
    UnitTask_Hooks().threatensObject = [](UnitTask*, GameObject*, float) { return true; };
    UnitTask_Hooks().bestWeaponRange = [](GameObject* unit, BestWeaponRange* out) {
        out->reach = 150.0f;
        out->lifetime = 1.0f;
        out->weapon = unit->hardpoints ? unit->hardpoints->weapons[0] : nullptr;
        return out->weapon != nullptr;
    };
    struct Case {
        const char* what;
        const char* signature;
        bool enemyThere;
        bool searched;
        bool fired;
    } cases[] = {
        {"a gun at an enemy ahead", "CANN", true, true, true},
        {"a gun with no enemy", "CANN", false, true, false},
        {"a dispenser", "DISP", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* gun = new WeaponClass("gun", Signature(c.signature));
        weaponClasses_.push_back(gun);
        // In formation on the leader, the enemy straight ahead.
        Place(leader_, Vector{0, 0, 30});
        Craft* unit = NewCraft(*cls_, 1, Vector{});
        Place(unit, Vector{});
        Mount(unit, 0, *gun);
        unit->hardpoints->Select(1u);
        Craft* foe = NewCraft(*cls_, 2, Vector{0, 0, 60});
        Place(foe, Vector{0, 0, 60});
        foe->radius = 5.0f;
        enemy = c.enemyThere ? foe : nullptr;
        searches = shots = 0;
        FollowTask task(unit, leader_);
        task.Update();
        task.Update();
        ASSERT_EQ(task.curState, kTaskFollow);
        EXPECT_EQ(searches > 0, c.searched);
        EXPECT_EQ(shots > 0, c.fired);
        EXPECT_EQ(task.him, nullptr);  // the cached target is put back
        if (c.searched) {
            EXPECT_FLOAT_EQ(range, 150.0f * 150.0f);
        }
    }
}

TEST_F(FollowTest, TheGroupIsBuiltAgainAfterALoad) {
    Field_SetHandleFinder(GameObject_HandleForSerial);
    Follower();
    Follower();
    for (auto& task : tasks_) {
        task->Update();
        task->Update();
    }
    Field_ResetSaveIds();
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return AiTasks_Save(f); }, &ok);
    ASSERT_TRUE(ok);
    const uint32_t a = Field_SaveId(tasks_[0]->me), b = Field_SaveId(tasks_[1]->me);
    GameObject* first = tasks_[0]->me;
    GameObject* second = tasks_[1]->me;
    Field_ResetSaveIds();
    tasks_.clear();
    ASSERT_TRUE(FollowRegistry().empty());
    {
        FieldReadScope scope(bytes, false);
        Field_RegisterPointer(a, first);
        Field_RegisterPointer(b, second);
        ASSERT_TRUE(AiTasks_Load());
        Field_ResolvePointers();
    }
    ASSERT_TRUE(AiTasks_PostLoad());
    ASSERT_EQ(FollowRegistry().size(), 1u);
    FollowGroup* group = FollowRegistry()[0];
    EXPECT_EQ(group->leaderHandle, leader_->GetObjHandle());
    ASSERT_EQ(group->Count(), 2);
    EXPECT_EQ(group->entries[0].follower, first);
    EXPECT_EQ(group->entries[1].follower, second);
    auto* loaded = dynamic_cast<FollowTask*>(AiTasks()[0]);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->group, group);
    EXPECT_FLOAT_EQ(loaded->followDx, 3.0f);
    // A second pass joins nobody twice.
    ASSERT_TRUE(AiTasks_PostLoad());
    EXPECT_EQ(group->Count(), 2);
    AiTasks_Clear();
    EXPECT_TRUE(FollowRegistry().empty());
    Field_SetHandleFinder(nullptr);
}

}  // namespace

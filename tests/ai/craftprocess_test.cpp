#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/shake.h"
#include "process_fixture.h"

namespace {

GameObject* g_enemy = nullptr;
int g_searches = 0;

class CraftProcessTest : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        g_enemy = nullptr;
        g_searches = 0;
        UnitAi_Services().findNearestEnemyCraft = [](GameObject* owner, float range2) -> GameObject* {
            ++g_searches;
            return g_enemy && UnitAi_Distance2(owner, g_enemy) < range2 ? g_enemy : nullptr;
        };
        cls_ = &NewCraftClass();
        unit_ = NewCraft(*cls_, 1);
        WeaponClass* gun = new WeaponClass("cannon", Signature("CANN"));
        weaponClasses_.push_back(gun);
        Mount(unit_, 0, *gun);
        friend_ = NewCraft(*cls_, 1, Vector{50.0f, 0.0f, 0.0f});
        enemy_ = NewCraft(*cls_, 2, Vector{100.0f, 0.0f, 0.0f});  // 10000 < 40000: in range
    }
    CraftClass* cls_ = nullptr;
    Craft* unit_ = nullptr;
    Craft* friend_ = nullptr;
    Craft* enemy_ = nullptr;
};

TEST_F(CraftProcessTest, AnInterruptAttacksThenReturnsThroughWaitToTheSavedStateAndTarget) {
    TestCraftUnit process(nullptr, unit_);
    unit_->SetCommandObject(kCmdCodeDefend, friend_);
    process.Execute();
    ASSERT_EQ(process.curState, kUStateDefend);
    g_enemy = enemy_;
    process.nextEnemyCheck = 0.0f;
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateUser1);
    EXPECT_EQ(process.saveState, kUStateDefend);
    EXPECT_EQ(process.saveWho, friend_->GetObjHandle());
    EXPECT_EQ(process.whoHandle, enemy_->GetObjHandle());
    EXPECT_FALSE(process.attackUser);

    process.Execute();
    EXPECT_EQ(process.curState, kUStateUser1);
    FakeTask* attack = Last("attack");
    ASSERT_NE(attack, nullptr);
    EXPECT_EQ(attack->target, enemy_);
    EXPECT_TRUE(Last("defend")->deleted);
    EXPECT_EQ(attack->updates, 1);

    attack->done = true;
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateWait);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateWait) << "the unit passes WAIT";
    EXPECT_TRUE(attack->deleted);
    EXPECT_EQ(process.nextState, kUStateDefend) << "and returns at this check";
    EXPECT_EQ(process.whoHandle, friend_->GetObjHandle());
    EXPECT_EQ(process.saveState, 0);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateDefend);
    EXPECT_EQ(Last("defend")->target, friend_);
}

TEST_F(CraftProcessTest, TheEnemySearchRunsAtMostOncePerSevenToTenSeconds) {
    TestCraftUnit process(nullptr, unit_);
    // A table of both signs, as the game fills it.
    Random_FillTableFrom([] {
        static int n = 0;
        return (n++ * 7919) % 32768;
    });
    RandomTable_SetIndex(0);
    std::vector<float> times;
    for (int frame = 0; frame <= 400; ++frame) {
        Clock_SetTime(frame * 0.1f);
        const int before = g_searches;
        process.Execute();
        if (g_searches != before) times.push_back(Clock_GetTime());
    }
    ASSERT_GE(times.size(), 4u);
    EXPECT_LT(times[0], 0.01f) << "the first step searches";
    for (size_t i = 1; i < times.size(); ++i) {
        const float gap = times[i] - times[i - 1];
        EXPECT_GE(gap, 7.0f - 1e-4f);
        EXPECT_LE(gap, 10.1f);
    }
}

TEST_F(CraftProcessTest, IndependenceZeroNeverEngagesAndFriendsNeverBreakOffAGoto) {
    g_enemy = enemy_;
    {
        TestCraftUnit process(nullptr, unit_);
        process.independence = 0;
        for (int i = 0; i < 5; ++i) process.Execute();
        EXPECT_EQ(g_searches, 0);
        EXPECT_EQ(process.curState, kUStateWait);
        EXPECT_EQ(process.saveState, 0);
    }
    for (bool isFriend : {true, false}) {
        SCOPED_TRACE(isFriend);
        TestCraftUnit process(nullptr, unit_);
        g_enemy = nullptr;
        process.Execute();
        g_enemy = enemy_;
        unit_->SetCommandPosition(kCmdCodeGo, Vector{1000.0f, 0.0f, 0.0f}, 0);
        process.isFriend = isFriend;
        process.nextEnemyCheck = 0.0f;
        process.Execute();
        EXPECT_EQ(process.curState, kUStateGoto);
        EXPECT_EQ(process.nextState, isFriend ? 0 : kUStateUser1);
        EXPECT_EQ(process.saveState, isFriend ? 0 : kUStateGoto);
    }
}

TEST_F(CraftProcessTest, AnUnarmedCraftNeverEngages) {
    unit_->hardpoints->SetWeapon(0, nullptr, nullptr);
    g_enemy = enemy_;
    TestCraftUnit process(nullptr, unit_);
    process.Execute();
    process.Execute();
    EXPECT_EQ(process.saveState, 0);
    EXPECT_EQ(process.curState, kUStateWait);
}

TEST_F(CraftProcessTest, KeepTargetByState) {
    Craft* far = NewCraft(*cls_, 2, Vector{300.0f, 0.0f, 0.0f});  // 90000: outside 40000
    struct Case {
        const char* why;
        int32_t state;
        Craft* enemy;
        Craft* commandTarget;
        bool isFriend;
        float hitAgo;
        bool keep;
    } cases[] = {
        {"wait, near", kUStateWait, enemy_, nullptr, true, 1e9f, true},
        {"wait, far", kUStateWait, far, nullptr, true, 1e9f, false},
        {"defend, near", kUStateDefend, enemy_, nullptr, true, 1e9f, true},
        {"goto, friend", kUStateGoto, enemy_, nullptr, true, 1e9f, false},
        {"goto, not friend", kUStateGoto, enemy_, nullptr, false, 1e9f, true},
        {"goto, not friend, far", kUStateGoto, far, nullptr, false, 1e9f, false},
        {"attack, target far, hit lately", kUStateAttack, enemy_, far, true, 10.0f, true},
        {"attack, hit long ago", kUStateAttack, enemy_, far, true, 31.0f, false},
        {"attack, target in weapon range", kUStateAttack, enemy_, friend_, true, 10.0f, false},
        {"attack, enemy is the target", kUStateAttack, far, far, true, 10.0f, false},
        {"attack, no target", kUStateAttack, enemy_, nullptr, true, 10.0f, false},
        {"follow, leader near", kUStateFollow, enemy_, friend_, true, 1e9f, true},
        {"follow, leader far", kUStateFollow, enemy_, far, true, 1e9f, false},
        {"follow, no leader", kUStateFollow, enemy_, nullptr, true, 1e9f, false},
        {"patrol", kUStatePatrol, enemy_, nullptr, false, 1e9f, false},
        {"repair", kUStateRepair, enemy_, nullptr, false, 1e9f, false},
    };
    Clock_SetTime(100.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestCraftUnit process(nullptr, unit_);
        process.enemy = c.enemy;
        process.commandTarget = c.commandTarget;
        process.isFriend = c.isFriend;
        unit_->enemyShot = 100.0f - c.hitAgo;
        EXPECT_EQ(process.KeepTarget(c.state), c.keep);
    }
}

TEST_F(CraftProcessTest, FormationIsAFollowThatNeverBreaksOff) {
    TestCraftUnit process(nullptr, unit_);
    unit_->SetCommandObject(kCmdCodeFormation, friend_);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateFollow);
    EXPECT_EQ(process.followRange, 0.0f);
    EXPECT_EQ(Last("follow")->target, friend_);
    g_enemy = enemy_;
    process.nextEnemyCheck = 0.0f;
    process.Execute();
    EXPECT_EQ(process.saveState, 0);
    unit_->SetCommandObject(kCmdCodeFollow, friend_);
    process.Execute();
    EXPECT_EQ(process.followRange, 15625.0f);
}

TEST_F(CraftProcessTest, AttackOnTheUserEndsWhenTheUserLeavesRange) {
    enemy_ = NewCraft(*cls_, 2, Vector{100.0f, 0.0f, 0.0f}, true);
    g_enemy = enemy_;
    TestCraftUnit process(nullptr, unit_);
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateUser1);
    EXPECT_TRUE(process.attackUser);
    process.Execute();
    EXPECT_EQ(process.curState, kUStateUser1);
    enemy_->pos = Vector{1000.0f, 0.0f, 0.0f};
    g_enemy = nullptr;
    process.Execute();
    EXPECT_EQ(process.nextState, kUStateWait) << "out of engage range: back to the saved state";
    EXPECT_EQ(process.saveState, 0);
}

}  // namespace

// The first fight as a new player meets it, headless through the real game loop: a newcomer who
// only knows the README's keys (the arrow cluster to turn, Insert to fire, T to pick a target)
// wins it, and a player who stands still loses it; either way the program ends by itself and
// says how the mission went. The world is not drawn: these runs look at no picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "Objkr/entity.h"
#include "core/app.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectpool.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"
#include "weapons/weapon.h"

namespace {

// Far more frames than any fight takes: a run that reaches it never ended by itself.
constexpr int kFrameLimit = 30 * 60 * 8;

class NewPlayer : public AppFixture {
protected:
    void Again() {
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
};

// Presses and lets go of keys through the window's key messages, remembering which are down.
class Keys {
public:
    void Hold(const char* name, bool down) {
        if (held_.count(name) == size_t(down)) return;
        int scan = 0;
        bool extended = false;
        PlatKey key;
        ASSERT_TRUE(Keyboard_KeyOfName(name, &scan, &extended) && Plat_KeyOfScanCode(scan, extended, &key)) << name;
        Plat_PostKey(App_Globals().mainWindow, key, down, false);
        if (down) held_.insert(name);
        else held_.erase(name);
    }
    void ReleaseAll() {
        const std::set<std::string> held = held_;
        for (const std::string& name : held) Hold(name.c_str(), false);
    }

private:
    std::set<std::string> held_;
};

bool Alive(const GameObject* o) { return o && o->entity && !(o->entity->flags & kEntityDead); }

int32_t Category(const GameObject* o) { return o && o->objClass ? o->objClass->category : 0; }

double GroundDistance(const DVector& a, const DVector& b) { return std::hypot(a.x - b.x, a.z - b.z); }

// The enemy craft still fighting.
std::vector<GameObject*> EnemyCraft(const GameObject* user) {
    std::vector<GameObject*> found;
    for (GameObject* o : GameObject_List())
        if (o != user && Alive(o) && Category(o) == kCategoryCraft && user->IsEnemy(o)) found.push_back(o);
    return found;
}

// A newcomer at the keys the README names: it picks the nearest enemy craft, turns toward it
// with the arrow cluster until it is ahead, presses T to target it, lifts or lowers the nose
// toward it, drives closer while it is far, and holds Insert all along. When the target is
// gone it picks the next. It does not lead a moving target, dodge, or look for power-ups.
class Newcomer {
public:
    void Step() {
        GameObject* user = GameObject_GetUser();
        auto* craft = dynamic_cast<Craft*>(user);
        if (!craft || !Alive(craft)) {
            keys_.ReleaseAll();
            return;
        }
        GameObject* target = GameObject::FromHandle(chosen_);
        if (!Alive(target)) {
            target = nullptr;
            double best = 1e30;
            for (GameObject* o : EnemyCraft(user)) {
                const double d = GroundDistance(o->entity->local.posit, user->entity->local.posit);
                if (d < best) best = d, target = o;
            }
            chosen_ = target ? target->GetObjHandle() : 0;
            ++targetsPicked;
        }
        if (!target) {
            keys_.ReleaseAll();
            return;
        }
        const Matrix& m = user->entity->local;
        const DVector& at = target->entity->local.posit;
        const Vector d{float(at.x - m.posit.x), float(at.y - m.posit.y), float(at.z - m.posit.z)};
        auto dot = [](const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
        const float right = dot(d, m.right), up = dot(d, m.up), ahead = dot(d, m.front);
        const float across = std::atan2(right, ahead);
        const float rise = std::atan2(up, std::hypot(right, ahead));
        const float distance = std::hypot(right, ahead);
        // Turning: the arrow key toward the target while it is off to one side.
        keys_.Hold("GreyLeftArrow", across < -0.05f);
        keys_.Hold("GreyRightArrow", across > 0.05f);
        keys_.Hold("C", rise > 0.03f);
        keys_.Hold("F", rise < -0.03f);
        keys_.Hold("Q", distance > 90.0f && std::fabs(across) < 0.5f);
        // T once the chosen enemy is ahead and not yet the target (a tap: down, then up).
        const bool ahead_ = std::fabs(across) < 0.1f && user->target != chosen_;
        keys_.Hold("T", ahead_ && !tapped_);
        tapped_ = ahead_ && !tapped_;
        keys_.Hold("GreyInsert", true);
    }
    int targetsPicked = 0;

private:
    Keys keys_;
    uint32_t chosen_ = 0;
    bool tapped_ = false;
};

struct FightOutcome {
    GameRunResult run;
    std::string printed;
    int frames = 0;
    float lowestHull = 1.0f;   // the player's craft's health ratio at its lowest
    float endTime = 0.0f;      // game seconds at the last frame
    int enemyCraftLeft = -1;   // at the last frame
    bool craftLost = false;    // the player's craft was destroyed
    float pilotOnFootFrom = -1.0f, pilotLostAt = -1.0f;
    int targetsPicked = 0;
};

FightOutcome PlayFight(uint32_t seed, bool newcomer) {
    FightOutcome out;
    GameRunOptions options;
    options.commandLine = "-nointro fight.qmn";
    options.frames = kFrameLimit;
    options.seed = seed;
    options.draw = false;
    Newcomer player;
    uint32_t craft = 0;
    options.everyFrame = [&](const GameRunFrame& f) {
        GameObject* user = GameObject_GetUser();
        if (user && !craft && dynamic_cast<Craft*>(user)) craft = user->GetObjHandle();
        if (GameObject* c = GameObject::FromHandle(craft); c && Alive(c) && c->maxHealth > 0.0f)
            out.lowestHull = std::min(out.lowestHull, c->curHealth / c->maxHealth);
        if (craft && !Alive(GameObject::FromHandle(craft))) out.craftLost = true;
        if (user && Category(user) == kCategoryPerson && out.pilotOnFootFrom < 0.0f) out.pilotOnFootFrom = f.time;
        if (!user && out.pilotOnFootFrom >= 0.0f && out.pilotLostAt < 0.0f) out.pilotLostAt = f.time;
        out.endTime = f.time;
        if (user) out.enemyCraftLeft = int(EnemyCraft(user).size());
        if (newcomer) player.Step();
    };
    testing::internal::CaptureStdout();
    out.run = GameRun_Play(options);
    out.printed = testing::internal::GetCapturedStdout();
    out.frames = int(out.run.frames.size());
    out.targetsPicked = player.targetsPicked;
    return out;
}

TEST_F(NewPlayer, ANewcomerWinsTheFightWhileTheEnemyFightsBack) {
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const FightOutcome fight = PlayFight(seed, true);
        std::printf("seed %u: frames %d end %.1f s lowest hull %.2f craft lost %d enemy craft left %d targets %d printed '%s'\n",
                    seed, fight.frames, double(fight.endTime), double(fight.lowestHull), fight.craftLost,
                    fight.enemyCraftLeft, fight.targetsPicked, fight.printed.c_str());
        EXPECT_EQ(fight.run.exitCode, 0);
        EXPECT_LT(fight.frames, kFrameLimit) << "the program did not end by itself";
        EXPECT_FALSE(fight.craftLost);
        EXPECT_LT(fight.lowestHull, 1.0f) << "the enemy never hit the player";
        EXPECT_EQ(fight.printed, "Mission won\n");
        Again();
    }
}

TEST_F(NewPlayer, APlayerWhoStandsStillLosesTheCraftAndTheMission) {
    const FightOutcome fight = PlayFight(1, false);
    std::printf("frames %d end %.1f s lowest hull %.2f craft lost %d on foot %.1f pilot lost %.1f printed '%s'\n",
                fight.frames, double(fight.endTime), double(fight.lowestHull), fight.craftLost,
                double(fight.pilotOnFootFrom), double(fight.pilotLostAt), fight.printed.c_str());
    EXPECT_EQ(fight.run.exitCode, 0);
    EXPECT_TRUE(fight.craftLost);
    EXPECT_LT(fight.frames, kFrameLimit) << "the program did not end by itself";
    EXPECT_EQ(fight.printed, "Mission lost\n");
}

}  // namespace

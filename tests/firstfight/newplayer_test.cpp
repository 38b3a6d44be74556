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
#include "weapons/bullet.h"
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
        // Where the gun points, and where to aim from there: at the enemy, or, once it is the
        // target, at the lead mark the sight shows for it.
        Matrix gun = user->entity->local;
        Cannon* cannon = CannonOf(user);
        if (cannon && cannon->entity) Matrix_Multiply(gun, cannon->entity->local, cannon->mountMatrix);
        Vector at{float(target->entity->local.posit.x), float(target->entity->local.posit.y),
                  float(target->entity->local.posit.z)};
        if (cannon && user->target == chosen_) cannon->GetAimPoint(&at, target);
        const Vector d{float(at.x - gun.posit.x), float(at.y - gun.posit.y), float(at.z - gun.posit.z)};
        auto dot = [](const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
        const float right = dot(d, gun.right), up = dot(d, gun.up), ahead = dot(d, gun.front);
        const float across = std::atan2(right, ahead);
        const float rise = std::atan2(up, std::hypot(right, ahead));
        const float distance = std::hypot(right, ahead);
        // Turning and pitching as a player does at the keys: the harder the enemy is off to one
        // side, the longer the key is held (a positive steering control turns to the left; the
        // gun tilts up by half the pitch control).
        Toward(craft->controls.steering, std::clamp(-4.0f * across, -1.0f, 1.0f), 0.04f, "GreyLeftArrow",
               "GreyRightArrow");
        Toward(craft->controls.pitch, std::clamp(craft->controls.pitch + 2.0f * rise, -1.0f, 1.0f), 0.02f, "C", "F");
        keys_.Hold("Q", distance > 60.0f && std::fabs(across) < 0.5f);
        // T once the chosen enemy is ahead and not yet the target (a tap: down, then up).
        const bool ahead_ = std::fabs(across) < 0.1f && user->target != chosen_;
        keys_.Hold("T", ahead_ && !tapped_);
        tapped_ = ahead_ && !tapped_;
        keys_.Hold("GreyInsert", true);
    }
    int targetsPicked = 0;

private:
    static Cannon* CannonOf(GameObject* user) {
        if (user && user->hardpoints)
            for (Weapon* w : user->hardpoints->weapons)
                if (auto* c = dynamic_cast<Cannon*>(w)) return c;
        return nullptr;
    }
    // Holds `more` while the control is below the wanted value by over `slack`, `less` while above.
    void Toward(float value, float wanted, float slack, const char* more, const char* less) {
        keys_.Hold(more, value < wanted - slack);
        keys_.Hold(less, value > wanted + slack);
    }
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

// Five fights with five seeds: the newcomer wins each, the enemy's rounds take part of its hull
// each time (it is a fight), and the program ends by itself a few seconds after the last enemy
// craft is gone, saying so.
TEST_F(NewPlayer, ANewcomerWinsTheFightWhileTheEnemyFightsBack) {
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const FightOutcome fight = PlayFight(seed, true);
        RecordProperty("seed" + std::to_string(seed),
                       "won after " + std::to_string(int(fight.endTime)) + " s, hull down to " +
                           std::to_string(int(fight.lowestHull * 100.0f)) + "%");
        EXPECT_EQ(fight.run.exitCode, 0);
        EXPECT_LT(fight.frames, kFrameLimit) << "the program did not end by itself";
        EXPECT_EQ(fight.printed, "Mission won\n");
        EXPECT_EQ(fight.enemyCraftLeft, 0);
        EXPECT_FALSE(fight.craftLost) << "the newcomer's craft was destroyed";
        EXPECT_LT(fight.lowestHull, 0.9f) << "the enemy hardly fought back";
        Again();
    }
}

// A player who gives no input loses the craft to the enemy's fire; its pilot ejects and lands on
// foot. The enemy craft hunt craft, not a pilot who stands still, so nothing ends the fight until
// the mission's time limit (five minutes) runs out: then the mission is lost and the program ends
// by itself, saying so.
TEST_F(NewPlayer, APlayerWhoStandsStillLosesTheCraftAndTheMission) {
    const FightOutcome fight = PlayFight(1, false);
    RecordProperty("craft lost at", std::to_string(fight.pilotOnFootFrom));
    RecordProperty("ended at", std::to_string(fight.endTime));
    EXPECT_EQ(fight.run.exitCode, 0);
    EXPECT_TRUE(fight.craftLost);
    EXPECT_GT(fight.pilotOnFootFrom, 0.0f) << "no pilot on foot after the craft was lost";
    EXPECT_LT(fight.frames, kFrameLimit) << "the program did not end by itself";
    EXPECT_EQ(fight.printed, "Mission lost\n");
    // Lost at the time limit at the latest: five minutes, the five seconds the end waits, and a
    // few frames.
    EXPECT_LT(fight.endTime, 300.0f + 5.0f + 2.0f);
}

}  // namespace

// The fight mission played end to end through the real game loop, headless: the enemy craft
// come at the player round the wall pieces, the player picks a target and fires with the keys of
// the default maps, craft are destroyed, pilots eject, power-ups restore what they carry, and
// the shots are heard. Checked frame by frame from the objects' state and the order of events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "ai/pathgrid.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"
#include "ai/unitservices.h"
#include "core/app.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/powerup.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"
#include "weapons/bullet.h"

namespace {

class FirstFight : public AppFixture {
protected:
    void Again() {
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
};

constexpr const char* kFight = "-nointro fight.qmn";

double GroundDistance(const DVector& a, const DVector& b) { return std::hypot(a.x - b.x, a.z - b.z); }

GameObject* Live(uint32_t handle) { return GameObject::FromHandle(handle); }

// The enemy craft of a frame: craft that are neither the user nor on the user's side (the
// perceived team the mission gave them).
std::vector<const GameRunObject*> EnemyCraft(const GameRunFrame& f, const std::set<uint32_t>& enemies) {
    std::vector<const GameRunObject*> found;
    for (const GameRunObject& o : f.objects)
        if (enemies.count(o.handle)) found.push_back(&o);
    return found;
}

const GameRunObject* User(const GameRunFrame& f) {
    for (const GameRunObject& o : f.objects)
        if (o.user) return &o;
    return nullptr;
}

// The handles of the craft that the mission sent against the user (they attack it).
std::set<uint32_t> Attackers(const GameRunFrame& f) {
    std::set<uint32_t> found;
    const GameRunObject* user = User(f);
    if (!user) return found;
    for (const GameRunObject& o : f.objects)
        if (o.category == kCategoryCraft && !o.user && o.command == 4 /* ATTACK */ && o.commandTarget == user->handle)
            found.insert(o.handle);
    return found;
}

bool Blocked(double x, double z) { return (PathGrid_GetCellAt(float(x), float(z)) & kPathBlocked) == kPathBlocked; }

// Whether the straight ground line from a to b runs over a blocked cell (a wall).
bool LineMeetsWall(const DVector& a, const DVector& b) {
    const double length = GroundDistance(a, b);
    for (double s = 0.0; s <= length; s += 2.0) {
        const double t = s / length;
        if (Blocked(a.x + (b.x - a.x) * t, a.z + (b.z - a.z) * t)) return true;
    }
    return false;
}

// The mission's objects are on the teams the mission file gives them: the player's craft in
// slot 0 of team 1 (the sample craft's classes name no slot range, so the others take none), its
// wingman on team 1, the craft sent against it on team 2 with the enemy
// processes of their kinds, and each side takes the other for its enemy.
TEST_F(FirstFight, TheMissionsCraftAreOnTheirTeams) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 20;
    options.keepObjects = true;
    bool enemiesBothWays = false;
    options.everyFrame = [&](const GameRunFrame& f) {
        const GameRunObject* user = User(f);
        if (!user) return;
        enemiesBothWays = true;
        for (uint32_t handle : Attackers(f))
            enemiesBothWays &= Live(handle)->IsEnemy(Live(user->handle)) && Live(user->handle)->IsEnemy(Live(handle));
    };
    const GameRunResult run = GameRun_Play(options);
    ASSERT_EQ(run.exitCode, 0);
    const GameRunFrame& last = run.frames.back();
    const GameRunObject* user = User(last);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->team, 1);
    EXPECT_EQ(user->teamSlot, 0);
    const std::set<uint32_t> enemies = Attackers(last);
    EXPECT_EQ(enemies.size(), 3u);
    int wingmen = 0;
    for (const GameRunObject& o : last.objects) {
        if (o.category != kCategoryCraft || o.user) continue;
        SCOPED_TRACE(o.cls);
        if (enemies.count(o.handle)) {
            EXPECT_EQ(o.team, 2);
            EXPECT_NE(o.process.find("Enemy"), std::string::npos) << o.process;
        } else {
            ++wingmen;
            EXPECT_EQ(o.team, 1);
            EXPECT_NE(o.process.find("Friend"), std::string::npos) << o.process;
        }
    }
    EXPECT_EQ(wingmen, 1);
    EXPECT_TRUE(enemiesBothWays);
}

// With the player standing still (it gives no input), the craft sent against it plan their way
// round the wall pieces (at least one of them has a wall on its straight line to the player; none
// ever stands on a wall cell) and close in, inside their attack tasks, until they are within
// weapons range of where the player is. Their hits push the player's craft, so the player stays
// where it was put only until the first of them.
TEST_F(FirstFight, EnemyCraftComeRoundTheWallPiecesIntoWeaponsRange) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 950;
    options.keepObjects = true;
    std::set<uint32_t> enemies;
    int straightLinesOverWalls = 0;
    std::map<uint32_t, std::vector<DVector>> onWall;  // where an enemy stood on a wall cell
    std::map<uint32_t, double> reach;  // the reach of the weapon its attack task fights with
    options.everyFrame = [&](const GameRunFrame& f) {
        const GameRunObject* user = User(f);
        if (!user || f.paused) return;
        if (enemies.empty()) {
            enemies = Attackers(f);
            for (const GameRunObject* e : EnemyCraft(f, enemies)) straightLinesOverWalls += LineMeetsWall(e->position, user->position);
        }
        for (const GameRunObject* e : EnemyCraft(f, enemies)) {
            if (Blocked(e->position.x, e->position.z)) onWall[e->handle].push_back(e->position);
            if (auto* unit = dynamic_cast<UnitProcess*>(Live(e->handle)->aiProcess); unit && unit->task)
                reach[e->handle] = std::sqrt(double(unit->task->reachSq));
        }
    };
    const GameRunResult run = GameRun_Play(options);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(enemies.size(), 3u) << "the mission sends two tanks and a scout";
    EXPECT_GE(straightLinesOverWalls, 1) << "no enemy has a wall piece between it and the player: the test proves nothing";
    for (const auto& [handle, where] : onWall)
        ADD_FAILURE() << "enemy " << std::hex << handle << std::dec << " went over a wall cell at (" << where.front().x
                      << ", " << where.front().z << ")";

    // Each closes in from beyond the reach of its weapon to within it, measured to where the
    // player is, in its attack task all the way.
    const GameRunFrame* first = nullptr;
    for (const GameRunFrame& f : run.frames)
        if (User(f) && !first) first = &f;
    ASSERT_NE(first, nullptr);
    const DVector start = User(*first)->position;
    for (uint32_t handle : enemies) {
        SCOPED_TRACE(handle);
        double nearest = 1e9;
        bool leftTask = false, inTask = false;
        for (const GameRunFrame& f : run.frames) {
            const GameRunObject* e = f.Find(handle);
            const GameRunObject* user = User(f);
            if (!e || !user) continue;
            nearest = std::min(nearest, GroundDistance(e->position, user->position));
            leftTask |= inTask && e->task.empty();
            inTask |= !e->task.empty();
            EXPECT_FALSE(e->dead);
        }
        ASSERT_GT(reach[handle], 0.0);
        EXPECT_GT(GroundDistance(first->Find(handle)->position, start), reach[handle]) << "it started within range";
        EXPECT_LT(nearest, reach[handle]) << "it never came within weapons range";
        EXPECT_TRUE(inTask);
        EXPECT_FALSE(leftTask) << "it dropped its attack task";
    }
    // The player gave no input all along, and stood where it was put until an enemy's round
    // first struck it.
    const uint32_t user = User(*first)->handle;
    uint32_t firstHit = UINT32_MAX;
    for (const GameRunEvent& e : run.events)
        if (e.kind == GameRunEventKind::Hit && e.object == user && enemies.count(e.other))
            firstHit = std::min(firstHit, e.frame);
    for (const GameRunFrame& f : run.frames) {
        if (!f.hasUser) continue;
        EXPECT_EQ(f.throttle, 0.0f) << "frame " << f.frame;
        EXPECT_EQ(f.steering, 0.0f) << "frame " << f.frame;
        if (f.frame < firstHit) {
            EXPECT_LT(GroundDistance(f.position, start), 1.0) << "frame " << f.frame;
        }
    }
}

// Once in range the enemy craft fire at the standing player, and its health falls with the hits
// of their rounds.
TEST_F(FirstFight, EnemyCraftFireAndThePlayersHealthFalls) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 1300;
    options.keepObjects = true;
    const GameRunResult run = GameRun_Play(options);
    ASSERT_EQ(run.exitCode, 0);
    std::set<uint32_t> enemies;
    uint32_t user = 0;
    for (const GameRunFrame& f : run.frames)
        if (User(f) && enemies.empty()) {
            enemies = Attackers(f);
            user = User(f)->handle;
        }
    ASSERT_FALSE(enemies.empty());
    size_t firstEnemyShot = run.events.size(), shotHits = 0;
    for (size_t i = 0; i < run.events.size(); ++i) {
        const GameRunEvent& e = run.events[i];
        if (e.kind == GameRunEventKind::Shot && enemies.count(e.object)) firstEnemyShot = std::min(firstEnemyShot, i);
        if (e.kind == GameRunEventKind::Hit && e.object == user && enemies.count(e.other)) {
            EXPECT_GT(i, firstEnemyShot) << "hit before any enemy fired";
            EXPECT_GT(e.amount, 0.0f);
            ++shotHits;
        }
    }
    EXPECT_LT(firstEnemyShot, run.events.size()) << "no enemy fired";
    EXPECT_GE(shotHits, 3u) << "the enemies' rounds did not hit the player";
    // The player's craft as last seen (the user may be its ejected pilot by the end).
    const GameRunObject* craft = nullptr;
    for (auto f = run.frames.rbegin(); f != run.frames.rend() && !craft; ++f) craft = f->Find(user);
    ASSERT_NE(craft, nullptr);
    EXPECT_LT(craft->health, craft->maxHealth);
}

// Presses and lets go of keys of the default maps through the window's key messages, as the
// event script does, remembering which are down.
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
    // Holds `more` when the value is below the wanted one by over `slack`, `less` when above.
    void Toward(float value, float wanted, float slack, const char* more, const char* less) {
        Hold(more, value < wanted - slack);
        Hold(less, value > wanted + slack);
    }

private:
    std::set<std::string> held_;
};

// A player at the keys who keeps the cannon on a target: it reads where the gun points and where
// the cannon's aim point for the target is (leading it), steers the nose round toward it with the
// steering keys, lifts or lowers the gun with the pitch keys, and drives closer while the target
// is far. The keys move the craft's controls only gradually, so it asks for the control each
// error calls for and holds the key that moves the control toward it.
Cannon* UserCannon(GameObject* user) {
    if (user && user->hardpoints)
        for (Weapon* w : user->hardpoints->weapons)
            if (auto* c = dynamic_cast<Cannon*>(w)) return c;
    return nullptr;
}

void KeepTheCannonOn(GameObject* user, GameObject* target, Keys& keys) {
    auto* craft = dynamic_cast<Craft*>(user);
    Cannon* cannon = UserCannon(user);
    if (!craft || !cannon || !cannon->entity || !target || !target->entity) {
        for (const char* k : {"LeftArrow", "RightArrow", "C", "F", "Q"}) keys.Hold(k, false);
        return;
    }
    Matrix gun;
    Matrix_Multiply(gun, cannon->entity->local, cannon->mountMatrix);
    Vector aim{};
    cannon->GetAimPoint(&aim, target);
    const Vector d{aim.x - float(gun.posit.x), aim.y - float(gun.posit.y), aim.z - float(gun.posit.z)};
    auto dot = [](const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    const float right = dot(d, gun.right), up = dot(d, gun.up), ahead = dot(d, gun.front);
    const float across = std::atan2(right, ahead);                       // to the right of the gun
    const float rise = std::atan2(up, std::hypot(right, ahead));         // above the gun's line
    // A positive steering control turns the craft to its left.
    keys.Toward(craft->controls.steering, std::clamp(-4.0f * across, -1.0f, 1.0f), 0.04f, "LeftArrow", "RightArrow");
    // The gun tilts up by half the pitch control.
    keys.Toward(craft->controls.pitch, std::clamp(craft->controls.pitch + 2.0f * rise, -1.0f, 1.0f), 0.02f, "C", "F");
    keys.Hold("Q", std::hypot(right, ahead) > 120.0f && std::fabs(across) < 0.3f);
}

// The player faces the nearest enemy, picks it with the target key, holds the fire key and keeps
// the cannon on it with the steering and pitch keys (the enemies' hits push its craft about): the
// target's health falls with each of the player's hits, and it is destroyed: it dies, an
// explosion goes off where it was, debris flies, and its pilot ejects. The kill
// is the player's (its last shooter). The target starts with the hull that three of the cannon's
// rounds destroy and a pilot that always ejects, to keep the run short (three enemies fire at the
// player meanwhile) and the ejection certain.
struct Kill {
    GameRunResult run;
    uint32_t pilot = 0;
};

void TargetTheNearestEnemyAndDestroyIt(Kill* kill, uint32_t frames = 640,
                                       const std::function<void(const GameRunFrame&)>& alsoEveryFrame = {}) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = frames;
    options.keepObjects = true;
    options.events = "20 keydown T\n21 keyup T\n25 keydown Insert\n";
    uint32_t nearest = 0;
    uint32_t targetAtFire = 0;
    options.atStart = [&](GameObject* user) {
        GameRun_PlaceAt(3000.0f, 2100.0f, 1.0f, 0.0f)(user);
        double best = 1e9;
        for (GameObject* o : GameObject_List()) {
            auto* craft = dynamic_cast<Craft*>(o);
            if (!craft || o == user || o->perceivedTeam == user->perceivedTeam) continue;
            const double d = GroundDistance(o->entity->local.posit, user->entity->local.posit);
            if (d < best) best = d, nearest = o->GetObjHandle();
        }
        auto* craft = dynamic_cast<Craft*>(Live(nearest));
        const Cannon* cannon = UserCannon(user);
        ASSERT_TRUE(craft && cannon && cannon->ordnanceClass);
        craft->SetHull(2.5f * float(cannon->ordnanceClass->damage[0]));
        craft->ejectChance = 1.0f;
    };
    Keys keys;
    options.everyFrame = [&](const GameRunFrame& f) {
        const GameRunObject* user = User(f);
        if (user && f.frame == 25) targetAtFire = user->target;
        if (user && f.frame >= 25) KeepTheCannonOn(Live(user->handle), Live(targetAtFire), keys);
        if (alsoEveryFrame) alsoEveryFrame(f);
    };
    kill->run = GameRun_Play(options);
    const GameRunResult& run = kill->run;
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(run.scriptError.empty()) << run.scriptError;
    ASSERT_NE(nearest, 0u);
    EXPECT_EQ(targetAtFire, nearest) << "the target key did not pick the nearest enemy";

    uint32_t user = 0;  // the player's craft
    for (const GameRunFrame& f : run.frames)
        if (User(f) && !user) user = User(f)->handle;
    // The order of events: the player's shots, hits on the target (its health falling each
    // time), its death, then an explosion and the pilot.
    size_t firstShot = SIZE_MAX, died = SIZE_MAX, explosionAfter = SIZE_MAX, pilotCreated = SIZE_MAX;
    uint32_t pilot = 0;
    int hits = 0;
    DVector wreck{};
    for (size_t i = 0; i < run.events.size(); ++i) {
        const GameRunEvent& e = run.events[i];
        if (e.kind == GameRunEventKind::Shot && e.object == user && firstShot == SIZE_MAX) firstShot = i;
        if (e.kind == GameRunEventKind::Hit && e.object == nearest && died == SIZE_MAX) {
            EXPECT_GT(i, firstShot) << "hit before the player fired";
            EXPECT_EQ(e.other, user) << "hit by someone else";
            EXPECT_GT(e.amount, 0.0f);
            ++hits;
        }
        if (e.kind == GameRunEventKind::Died && e.object == nearest) {
            died = i;
            wreck = e.position;
        }
        if (died != SIZE_MAX && i > died) {
            if (e.kind == GameRunEventKind::Explosion && explosionAfter == SIZE_MAX &&
                GroundDistance(e.position, wreck) < 30.0)
                explosionAfter = i;
            if (e.kind == GameRunEventKind::Created && !pilot) {
                const GameRunObject* made = nullptr;
                for (const GameRunFrame& f : run.frames)
                    if (f.frame == e.frame) made = f.Find(e.object);
                if (made && made->category == kCategoryPerson && GroundDistance(e.position, wreck) < 30.0) {
                    pilot = e.object;
                    pilotCreated = i;
                }
            }
        }
    }
    ASSERT_NE(firstShot, SIZE_MAX) << "the fire key fired nothing";
    EXPECT_GE(hits, 3);
    ASSERT_NE(died, SIZE_MAX) << "the target was not destroyed after " << hits << " hits";
    EXPECT_NE(explosionAfter, SIZE_MAX) << "no explosion at the wreck";
    ASSERT_NE(pilotCreated, SIZE_MAX) << "no pilot ejected";

    // Frame by frame: the target's health only ever falls while the player fires at it, down to
    // below zero; its last shooter is the player's craft.
    float health = 1e30f;
    bool sawDebris = false;
    uint32_t deathFrame = run.events[died].frame;
    for (const GameRunFrame& f : run.frames) {
        if (const GameRunObject* t = f.Find(nearest)) {
            EXPECT_LE(t->health, health) << "frame " << f.frame;
            health = t->health;
            if (t->dead) {
                EXPECT_EQ(t->lastShooter, user) << "the kill is not the player's";
            }
        }
        if (f.frame >= deathFrame && f.frame < deathFrame + 30) sawDebris |= f.debris > 0;
    }
    EXPECT_LT(health, 0.0f);
    EXPECT_TRUE(sawDebris) << "no debris flew from the wreck";
    kill->pilot = pilot;
}

TEST_F(FirstFight, ThePlayerTargetsTheNearestEnemyAndDestroysIt) {
    Kill kill;
    TargetTheNearestEnemyAndDestroyIt(&kill);
}

// The pilot who ejected from the destroyed craft lives on under its own brain. While the player
// is within reach it fights it (it carries a machine gun), steering toward it as it comes down
// under its chute; the fight's map gives its team no base to walk home to, so once the player is
// out of reach an empty craft near by is what it looks for. One left 40 m from it as it lands is
// what it walks to: it climbs in, and the craft fights on for the pilot's team. (The player's own
// pilot, which the player's keys drive, lands and walks in ThePlayersPilotEjectsAndLandsUnhurt.)
TEST_F(FirstFight, TheEjectedPilotLandsAndWalks) {
    uint32_t pilot = 0, empty = 0, landed = 0;
    std::map<uint32_t, double> height;  // the pilot's height above the ground, by frame
    std::map<uint32_t, DVector> where;
    std::set<std::string> tasks;  // every task the pilot ran
    double peak = 0.0;
    Kill kill;
    TargetTheNearestEnemyAndDestroyIt(&kill, 1500, [&](const GameRunFrame& f) {
        const GameRunObject* user = User(f);
        if (!pilot)
            for (const GameRunObject& o : f.objects)
                if (o.category == kCategoryPerson && !o.user && user && o.team != user->team) pilot = o.handle;
        const GameRunObject* p = pilot ? f.Find(pilot) : nullptr;
        if (!p || p->dead) return;
        const double h = p->position.y - Terrain_GetHeight(float(p->position.x), float(p->position.z));
        height[f.frame] = h;
        where[f.frame] = p->position;
        if (!p->task.empty()) tasks.insert(p->task);
        peak = std::max(peak, h);
        if (!landed && peak > 10.0 && h < 0.5) {
            landed = f.frame;
            // An empty craft of no side, 40 m north of where the pilot stands.
            Matrix at = kIdentityMatrix;
            const double x = p->position.x, z = p->position.z + 40.0;
            at.posit = DVector{x, double(Terrain_GetHeight(float(x), float(z))) + 2.0, z};
            GameObject* craft = GameObjectClass::Build(GameObjectClass::Find("avtank"), at, 0, false, 0, nullptr);
            ASSERT_NE(craft, nullptr);
            craft->SetTeam(0);
            empty = craft->GetObjHandle();
        }
    });
    ASSERT_NE(kill.pilot, 0u);
    EXPECT_EQ(kill.pilot, pilot);
    const GameRunResult& run = kill.run;
    for (const GameRunEvent& e : run.events)
        EXPECT_FALSE(e.kind == GameRunEventKind::Died && e.object == pilot) << "the pilot died in frame " << e.frame;
    EXPECT_TRUE(tasks.count("PersonAttack")) << "the pilot never fought the player";
    ASSERT_NE(landed, 0u) << "the pilot never came down";
    ASSERT_NE(empty, 0u);
    EXPECT_TRUE(tasks.count("PersonStraight") || tasks.count("PersonGetIn")) << "the pilot never made for the craft";

    // It walks over the ground to the craft: on the ground and moving from one frame to the next
    // until it is gone into the craft.
    uint32_t last = landed;
    for (const auto& [frame, h] : height)
        if (frame >= landed) {
            EXPECT_LT(std::fabs(h), 1.5) << "the pilot left the ground in frame " << frame;
            last = frame;
        }
    ASSERT_GT(last, landed + 30) << "the pilot was gone as soon as it landed";
    EXPECT_GT(GroundDistance(where[landed], where[last]), 25.0) << "the pilot did not walk to the craft";

    // It climbed in: the pilot is gone from the world, and the craft is driven for its team.
    const GameRunFrame& end = run.frames.back();
    EXPECT_EQ(end.Find(pilot), nullptr) << "the pilot is still on foot";
    const GameRunObject* taken = end.Find(empty);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->team, 2);
    EXPECT_EQ(taken->process, "TankEnemy");
}

// The player's own craft is destroyed under it (it starts with a sliver of hull among the
// enemies): its pilot ejects, rises, comes down under its chute and lands unhurt (a pilot weighs
// what its model says, so the landing does not hurt it), and stays alive on the ground. It stands
// where it landed until the player presses the throttle key, and then walks off over the ground
// (standing, not kneeling: what it carries is no sniper weapon).
TEST_F(FirstFight, ThePlayersPilotEjectsAndLandsUnhurt) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 800;
    options.keepObjects = true;
    options.atStart = [](GameObject* user) {
        GameRun_PlaceAt(3000.0f, 2100.0f, 1.0f, 0.0f)(user);
        user->SetHull(1.0f);
    };
    constexpr uint32_t kStandFrames = 40;  // on the ground before the throttle key goes down
    uint32_t craft = 0, pilot = 0, down = 0, pressed = 0;
    std::map<uint32_t, double> height;  // the pilot's height above the ground, by frame
    std::map<uint32_t, DVector> where;  // the pilot's position, by frame
    std::map<uint32_t, float> throttle;  // its throttle control, by frame
    std::map<uint32_t, int32_t> stance;  // and its stance
    std::map<uint32_t, DVector> eye;     // where the camera looks from
    double peak = 0.0;  // the highest it has been so far
    Keys keys;
    options.everyFrame = [&](const GameRunFrame& f) {
        const GameRunObject* user = User(f);
        if (!user) return;
        if (!craft) craft = user->handle;
        if (user->handle == craft || user->category != kCategoryPerson) return;
        if (!pilot) pilot = user->handle;
        if (user->handle != pilot) return;
        const double h = user->position.y - Terrain_GetHeight(float(user->position.x), float(user->position.z));
        height[f.frame] = h;
        where[f.frame] = user->position;
        throttle[f.frame] = f.throttle;
        eye[f.frame] = f.cameraPosition;
        if (auto* person = dynamic_cast<Craft*>(Live(pilot))) stance[f.frame] = person->deployState;
        peak = std::max(peak, h);
        if (!down && peak > 10.0 && h < 0.5) down = f.frame;
        if (down && !pressed && f.frame >= down + kStandFrames) {
            keys.Hold("Q", true);
            pressed = f.frame;
        }
    };
    const GameRunResult run = GameRun_Play(options);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_NE(pilot, 0u) << "the player's craft was not destroyed, or no pilot ejected";

    size_t craftDied = SIZE_MAX, pilotCreated = SIZE_MAX;
    for (size_t i = 0; i < run.events.size(); ++i) {
        const GameRunEvent& e = run.events[i];
        if (e.kind == GameRunEventKind::Died && e.object == craft && craftDied == SIZE_MAX) craftDied = i;
        if (e.kind == GameRunEventKind::Created && e.object == pilot) pilotCreated = i;
        EXPECT_FALSE(e.kind == GameRunEventKind::Died && e.object == pilot) << "the pilot died in frame " << e.frame;
    }
    ASSERT_NE(craftDied, SIZE_MAX);
    EXPECT_GT(pilotCreated, craftDied) << "the pilot came before the craft was destroyed";

    // It flies clear (higher than a craft stands), then lands: on the ground from then on.
    uint32_t landed = 0;
    double highest = 0.0;
    for (const auto& [frame, h] : height) {
        highest = std::max(highest, h);
        if (!landed && highest > 10.0 && h < 0.5) landed = frame;
    }
    EXPECT_GT(highest, 10.0) << "the pilot was not thrown clear";
    ASSERT_NE(landed, 0u) << "the pilot never came down";
    ASSERT_LT(landed + 30, height.rbegin()->first) << "the run ends before the pilot was seen standing";
    for (const auto& [frame, h] : height) {
        if (frame >= landed) {
            EXPECT_LT(std::fabs(h), 0.5) << "frame " << frame << ": the pilot left the ground";
        }
    }
    float before = -1.0f, after = -1.0f;
    for (const GameRunFrame& f : run.frames) {
        const GameRunObject* p = f.Find(pilot);
        if (!p) continue;
        EXPECT_FALSE(p->dead) << "frame " << f.frame;
        if (f.frame < landed) before = p->health;
        after = p->health;
    }
    EXPECT_GT(before, 0.0f);
    EXPECT_EQ(after, before) << "the landing hurt the pilot";

    // The player looks out of the pilot's head: the eye stands above its feet, not inside its
    // body at ground level (where the body drawn round the eye covered half the screen).
    for (uint32_t frame = landed + 5; frame <= landed + 30; ++frame) {
        const DVector& feet = where.at(frame);
        const DVector& from = eye.at(frame);
        EXPECT_GT(from.y - feet.y, 1.2) << "frame " << frame << ": the eye is not at head height";
        EXPECT_LT(GroundDistance(from, feet), 0.5) << "frame " << frame << ": the eye left the pilot";
    }

    // It stands where it landed, upright, until the throttle key goes down; then the throttle
    // opens and it walks off, still upright and on the ground.
    ASSERT_NE(pressed, 0u) << "the throttle key was never pressed";
    ASSERT_LT(pressed + 90, height.rbegin()->first) << "the run ends before the pilot could walk";
    for (uint32_t frame = landed + 5; frame <= pressed; ++frame) {
        EXPECT_LT(GroundDistance(where.at(frame), where.at(landed + 5)), 0.2) << "frame " << frame << ": it moved";
        EXPECT_EQ(throttle.at(frame), 0.0f) << "frame " << frame;
    }
    const DVector start = where.at(pressed), last = where.rbegin()->second;
    EXPECT_GT(throttle.rbegin()->second, 0.9f) << "the throttle key did not open the pilot's throttle";
    uint32_t knelt = 0;  // the first frame on the ground in another stance than standing
    for (const auto& [frame, s] : stance)
        if (!knelt && frame >= landed && s != 0) knelt = frame;
    EXPECT_EQ(knelt, 0u) << "the pilot knelt (stance " << stance[knelt] << ")";
    EXPECT_GT(GroundDistance(start, last), 5.0) << "the pilot does not walk";
    // Walking moves it on and on, not in one jump.
    const DVector mid = where.at(pressed + 45);
    EXPECT_GT(GroundDistance(start, mid), 1.0);
    EXPECT_GT(GroundDistance(mid, last), 1.0);
}

// The repair kit raises the player's health and the ammunition pack its ammunition, each by the
// amount its definition gives (no more than the maximum). The player is put a few metres short
// of the power-up and drives onto it.
TEST_F(FirstFight, PowerUpsRestoreHealthAndAmmunitionAsDefined) {
    struct Case {
        const char* cls;
        bool repair;  // else ammunition
    };
    for (const Case c : {Case{"aprepa", true}, Case{"apammo", false}}) {
        SCOPED_TRACE(c.cls);
        GameRunOptions options;
        options.commandLine = kFight;
        options.frames = 120;
        options.keepObjects = true;
        options.events = "5 keydown Q\n";
        float before = -1.0f, amount = 0.0f, maximum = 0.0f;
        options.atStart = [&](GameObject* user) {
            GameObject* kit = nullptr;
            for (GameObject* o : GameObject_List()) {
                char name[kClassNameSize + 1] = {};
                o->objClass->GetDefName(name);
                if (std::string(name) == c.cls) kit = o;
            }
            ASSERT_NE(kit, nullptr);
            if (c.repair) {
                auto* cls = dynamic_cast<RepairKitClass*>(kit->objClass);
                ASSERT_NE(cls, nullptr);
                amount = float(cls->amount);
                maximum = user->maxHealth;
                before = std::max(1.0f, user->maxHealth - amount * 1.5f);
                user->SetHull(before);
            } else {
                auto* cls = dynamic_cast<AmmoPackClass*>(kit->objClass);
                ASSERT_NE(cls, nullptr);
                amount = float(cls->amount);
                maximum = float(user->maxAmmo);
                before = std::max(1.0f, float(user->maxAmmo) - amount * 1.5f);
                user->SetAmmo(int32_t(before));
            }
            const DVector at = kit->entity->local.posit;
            GameRun_PlaceAt(float(at.x) - 12.0f, float(at.z), 1.0f, 0.0f)(user);
        };
        const GameRunResult run = GameRun_Play(options);
        ASSERT_EQ(run.exitCode, 0);
        ASSERT_GT(amount, 0.0f);
        const GameRunObject* last = User(run.frames.back());
        ASSERT_NE(last, nullptr);
        const float after = c.repair ? last->health : float(last->ammo);
        EXPECT_FLOAT_EQ(after, std::min(maximum, before + amount));
        Again();
    }
}

// The sound the first shot adds: two runs of one script, one with the fire key pressed and one
// without, mix the same samples up to the shot and differ after it.
struct SoundPair {
    GameRunResult quiet, fired;
};

double Rms(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t to, int channel) {
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from + channel; i < to && i < a.size() && i < b.size(); i += 2, ++n) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

// The player's shot: silent (no difference) before it, heard after it.
TEST_F(FirstFight, TheMixedSoundIsSilentBeforeTheFirstShotAndNotAfterIt) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 70;
    options.keepObjects = true;
    options.keepSound = true;
    const GameRunResult quiet = GameRun_Play(options);
    Again();
    options.events = "40 keydown Insert\n41 keyup Insert\n";
    const GameRunResult fired = GameRun_Play(options);
    ASSERT_EQ(quiet.exitCode, 0);
    ASSERT_EQ(fired.exitCode, 0);
    ASSERT_GT(fired.soundRate, 0);

    const GameRunEvent* shot = nullptr;
    for (const GameRunEvent& e : fired.events)
        if (e.kind == GameRunEventKind::Shot && !shot) shot = &e;
    ASSERT_NE(shot, nullptr) << "the fire key fired nothing";
    for (const GameRunEvent& e : quiet.events) EXPECT_NE(e.kind, GameRunEventKind::Shot) << "a shot without the key";

    // Everything mixed before the frame that fired is the same in both runs (a frame reads the
    // sound the frame before it mixed, the shot's frame included).
    size_t before = 0;
    for (const GameRunFrame& f : fired.frames)
        if (f.frame < shot->frame) before = f.soundEnd;
    ASSERT_GT(before, size_t(fired.soundRate)) << "less than half a second mixed before the shot";
    ASSERT_GE(quiet.sound.size(), before);
    EXPECT_TRUE(std::equal(fired.sound.begin(), fired.sound.begin() + long(before), quiet.sound.begin()))
        << "the sound differs before the first shot";
    // Within half a second after it, the shot is heard on both channels.
    const size_t after = before + size_t(fired.soundRate);
    EXPECT_GT(Rms(fired.sound, quiet.sound, before, after, 0), 100.0);
    EXPECT_GT(Rms(fired.sound, quiet.sound, before, after, 1), 100.0);
}

// A shot to the player's left: the player faces -x with its wingman 45 m off to -z, on its left;
// the wingman fires once. What the shot adds is louder in the left channel.
TEST_F(FirstFight, AShotToThePlayersLeftIsLouderOnTheLeft) {
    GameRunOptions options;
    options.commandLine = kFight;
    options.frames = 60;
    options.keepObjects = true;
    options.keepSound = true;
    options.atStart = [](GameObject* user) {
        const Vector p = user->GetPosition();
        GameRun_PlaceAt(p.x, p.z, -1.0f, 0.0f)(user);
    };
    const GameRunResult quiet = GameRun_Play(options);
    Again();
    uint32_t shooter = 0;
    DVector shooterAt{}, userAt{};
    options.everyFrame = [&](const GameRunFrame& f) {
        if (f.frame != 30) return;
        const GameRunObject* user = User(f);
        ASSERT_NE(user, nullptr);
        for (const GameRunObject& o : f.objects)
            if (o.category == kCategoryCraft && !o.user && o.command == 5 /* FOLLOW */) shooter = o.handle;
        GameObject* wingman = Live(shooter);
        ASSERT_NE(wingman, nullptr);
        ASSERT_NE(wingman->hardpoints, nullptr);
        shooterAt = f.Find(shooter)->position;
        userAt = user->position;
        UnitAi_Services().weaponMaskFire(wingman, wingman->hardpoints->enabled);
    };
    const GameRunResult fired = GameRun_Play(options);
    ASSERT_EQ(quiet.exitCode, 0);
    ASSERT_EQ(fired.exitCode, 0);
    ASSERT_NE(shooter, 0u);
    // Facing -x, the left is -z.
    EXPECT_LT(shooterAt.z, userAt.z - 20.0) << "the wingman is not on the player's left";
    const GameRunEvent* shot = nullptr;
    for (const GameRunEvent& e : fired.events)
        if (e.kind == GameRunEventKind::Shot && e.object == shooter && !shot) shot = &e;
    ASSERT_NE(shot, nullptr) << "the wingman fired nothing";
    size_t before = 0;
    for (const GameRunFrame& f : fired.frames)
        if (f.frame < shot->frame) before = f.soundEnd;
    const size_t after = before + size_t(fired.soundRate) / 2;
    const double left = Rms(fired.sound, quiet.sound, before, after, 0);
    const double right = Rms(fired.sound, quiet.sound, before, after, 1);
    EXPECT_GT(left, 100.0) << "the shot is not heard";
    EXPECT_GT(left, 1.5 * right) << "left " << left << ", right " << right;
}

}  // namespace

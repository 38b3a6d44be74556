#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "ai/pathgrid.h"
#include "ai/unittask.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/registration.h"
#include "fun3d/framepasses.h"
#include "fun3d/fun3d_fixture.h"
#include "fun3d/hardpoints.h"
#include "pathgrid_fixture.h"
#include "world_fixture.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"

namespace {

class QueryTest : public WorldFixture {
public:
    using Fun3dFixture::Build;
    using Fun3dFixture::NewClass;
    using Fun3dFixture::NewRoot;
};

TEST_F(QueryTest, ScenariosAnswerAsTheRulesSay) {
    struct Scenario {
        const char* what;
        std::function<void(QueryTest&)> run;
    };
    const Scenario scenarios[] = {
        {"hit recency weights", [](QueryTest&) {
             EXPECT_EQ(AI_HitRecencyWeight(2.0f), 100.0f);
             EXPECT_EQ(AI_HitRecencyWeight(4.0f), 3.0f);
             EXPECT_EQ(AI_HitRecencyWeight(14.0f), 2.0f);
             EXPECT_EQ(AI_HitRecencyWeight(15.0f), 1.0f);
         }},
        {"a friend that hit the unit 2 s ago widens its own cone 100 times", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             // 100 m ahead and 12 m aside: sine 0.119, outside a 0.05 cone, inside 5.
             GameObject* buddy = t.Craft(1, {512, 0, 600});
             t.Refill();
             EXPECT_FALSE(AI_AllyInLineOfFire(unit, 150.0f * 150.0f, 0.05f));
             t.HitBy(unit, buddy, 2.0f);
             EXPECT_TRUE(AI_AllyInLineOfFire(unit, 150.0f * 150.0f, 0.05f));
             t.HitBy(unit, buddy, 20.0f);  // long ago: weight 1
             EXPECT_FALSE(AI_AllyInLineOfFire(unit, 150.0f * 150.0f, 0.05f));
         }},
        {"after a recent friendly hit every radius counts 25.75 times", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* shooter = t.Craft(1, {300, 0, 300});  // behind: never in the line
             GameObject* other = t.Craft(1, {550, 0, 600}, true);
             other->record->radius = 2.0f;  // 50 m aside: inside 51.5 m, outside 2 m
             t.Refill();
             EXPECT_FALSE(AI_AllyInLineOfFire(unit, 200.0f * 200.0f, 0.05f));
             t.HitBy(unit, shooter, 2.0f);
             EXPECT_TRUE(AI_AllyInLineOfFire(unit, 200.0f * 200.0f, 0.05f));
             other->record->radius = 1.9f;  // 48.9 m: the wider radius no longer reaches
             EXPECT_FALSE(AI_AllyInLineOfFire(unit, 200.0f * 200.0f, 0.05f));
         }},
        {"an artillery piece of any team blocks the line of fire; a geyser never", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* arti = t.Put("ARTI", 2, 2, 2, {500, 0, 560});
             t.Refill();
             EXPECT_TRUE(AI_LineOfFireBlocker(arti, unit));
             EXPECT_TRUE(AI_AllyInLineOfFire(unit, 100.0f * 100.0f, 0.1f));
             GameObject* geyser = t.Put("GEIZ", 2, 2, 1, {500, 0, 540});
             EXPECT_FALSE(AI_LineOfFireBlocker(geyser, unit));
             GameObject* empty = t.Craft(1, {500, 0, 530}, false);
             EXPECT_FALSE(AI_LineOfFireBlocker(empty, unit));  // an empty craft takes no harm worth sparing
         }},
        {"a neutral craft is an enemy only as the current target", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* neutral = t.Craft(0, {500, 0, 520});
             t.Refill();
             float r2 = 200.0f * 200.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), nullptr);
             EXPECT_EQ(r2, 200.0f * 200.0f);
             unit->SetTarget(neutral);
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), neutral);
             EXPECT_FLOAT_EQ(r2, 400.0f);
         }},
        {"an enemy building 75 m ahead is skipped unless an ally hit it within 10 s", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* ally = t.Craft(1, {400, 0, 400});
             GameObject* near = t.Put("BLDG", 4, 4, 2, {500, 0, 565});
             near->objClass->classFlags = 0x80;
             t.Refill();
             float r2 = 300.0f * 300.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), near);
             delete near;
             GameObject* far = t.Put("BLDG", 4, 4, 2, {500, 0, 575});
             GameObject* behind = t.Put("BLDG", 4, 4, 2, {500, 0, 440});
             far->objClass->classFlags = behind->objClass->classFlags = 0x80;
             GameObject* plain = t.Put("BLDG", 4, 4, 2, {500, 0, 550});  // not marked as a threat
             t.Refill();
             r2 = 300.0f * 300.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), nullptr);
             t.HitBy(far, ally, 9.0f);
             r2 = 300.0f * 300.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), far);
             EXPECT_FLOAT_EQ(r2, 75.0f * 75.0f);
             t.HitBy(far, ally, 11.0f);
             r2 = 300.0f * 300.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), nullptr);
             (void)plain;
         }},
        {"the enemy search prefers piloted craft, then threats, then empty craft", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* empty = t.Craft(2, {500, 0, 510}, false);
             GameObject* building = t.Put("BLDG", 4, 4, 2, {500, 0, 520});
             unit->SetTarget(building);
             t.Refill();
             float r2 = 200.0f * 200.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), building);
             EXPECT_FLOAT_EQ(r2, 400.0f);
             GameObject* pilot = t.Craft(2, {500, 0, 600});
             t.Refill();
             r2 = 200.0f * 200.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), pilot);
             EXPECT_FLOAT_EQ(r2, 10000.0f);
             unit->SetTarget(nullptr);
             pilot->entity->local.posit.z = 900;
             t.Refill();
             r2 = 200.0f * 200.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), empty);
             EXPECT_FLOAT_EQ(r2, 100.0f);
         }},
        {"the scout's search counts enemy mines as craft", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* empty = t.Craft(2, {500, 0, 505}, false);
             GameObject* mine = t.Put("PROX", 3, 4, 2, {500, 0, 530});
             GameObject* ownMine = t.Put("PROX", 3, 4, 1, {500, 0, 502});
             t.Refill();
             float r2 = 100.0f * 100.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraftOrMine(unit, &r2), mine);
             r2 = 100.0f * 100.0f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), empty);
             (void)ownMine;
         }},
        {"an inactive recycler makes the nearest silo at any distance the drop-off", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* recycler = t.Put("RCYC", 1, 1, 1, {500, 0, 520});
             GameObject* silo = t.Put("SILO", 2, 2, 1, {500, 0, 800});
             t.Put("SILO", 2, 2, 1, {500, 0, 950});
             t.Put("SILO", 2, 2, 2, {500, 0, 501});  // another team's
             unit->teamRecord->SetSlot(1, recycler);
             EXPECT_EQ(AiUtil_FindDropOff(unit), silo);
             recycler->SetAiProcess(new TestPilot);  // at work
             EXPECT_EQ(AiUtil_FindDropOff(unit), recycler);
             recycler->entity->local.posit.z = 999;  // now the silo lies nearer than the recycler
             EXPECT_EQ(AiUtil_FindDropOff(unit), silo);
             unit->teamRecord->SetSlot(1, nullptr);
             EXPECT_EQ(AiUtil_FindDropOff(unit), silo);
         }},
        {"of two mounts of equal reach the first wins; the reach ends 1 lower", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             Weapon* a = t.Mount(unit, 1, "CANN", t.Shot("BULL", 100.0f, 2.0f, t.Blast(4.0f)));
             t.Mount(unit, 3, "CANN", t.Shot("BULL", 50.0f, 4.0f, t.Blast(9.0f)));
             BestWeaponRange best;
             AI_BestWeaponRange(unit, &best);
             EXPECT_EQ(best.weapon, a);
             EXPECT_FLOAT_EQ(best.reach, 199.0f);
             EXPECT_FLOAT_EQ(best.blastRadius, 4.0f);
             EXPECT_FLOAT_EQ(best.lifetime, 2.0f);
         }},
        {"a dispenser never takes over from another weapon", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             Weapon* gun = t.Mount(unit, 0, "CANN", t.Shot("BULL", 10.0f, 2.0f));
             t.Mount(unit, 1, "DISP", t.Shot("TORP", 100.0f, 5.0f, t.Blast(7.0f)));
             BestWeaponRange best;
             AI_BestWeaponRange(unit, &best);
             EXPECT_EQ(best.weapon, gun);
             EXPECT_FLOAT_EQ(best.reach, 19.0f);
             // Alone, the dispenser's torpedo reaches speed x life.
             GameObject* layer = t.Craft(1, {600, 0, 500});
             Weapon* disp = t.Mount(layer, 0, "DISP", t.Shot("TORP", 100.0f, 5.0f, t.Blast(7.0f)));
             AI_BestWeaponRange(layer, &best);
             EXPECT_EQ(best.weapon, disp);
             EXPECT_FLOAT_EQ(best.reach, 499.0f);
             EXPECT_FLOAT_EQ(best.blastRadius, 7.0f);
             // No selected weapon: the defaults, one lower.
             layer->hardpoints->selected = 0;
             AI_BestWeaponRange(layer, &best);
             EXPECT_EQ(best.weapon, nullptr);
             EXPECT_FLOAT_EQ(best.reach, 9.0f);
             EXPECT_FLOAT_EQ(best.lifetime, 1.0f);
         }},
        {"obstacles: nearest within 50 m, geysers, scrap, pick-ups and flagged objects left out", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             t.Put("GEIZ", 2, 2, 0, {500, 0, 501});
             t.Put("SCRP", 7, 3, 0, {500, 0, 502});
             t.Put("AMMO", 3, 3, 0, {500, 0, 503});
             GameObject* flagged = t.Craft(1, {500, 0, 504});
             flagged->notObstacle = 1;
             GameObject* rock = t.Put("ROCK", 0, 0, 0, {500, 0, 530});
             GameObject* far = t.Put("ROCK", 0, 0, 0, {500, 0, 551});
             t.Refill();
             EXPECT_EQ(AI_FindNearestObstacle(unit, nullptr), rock);
             EXPECT_EQ(AI_FindNearestObstacle(unit, rock), nullptr);  // 51 m is beyond reach
             EXPECT_EQ(AI_FindNearestSolid(unit, Vector{500, 0, 560}), far);
             (void)far;
         }},
        {"a site with one blocked cell is refused; rough and occupied ones too", [](QueryTest& t) {
             HandField::Install(20, 20, 4000);
             PathGrid_Build();
             Matrix at = kIdentityMatrix;
             at.posit = DVector{50, 0, 50};
             const SiteFootprint site{-15.0f, -15.0f, 15.0f, 15.0f};
             t.Refill();
             EXPECT_TRUE(AI_BuildSiteClear(site, at));
             // One vertex 1 higher at the top of the height range stays flat.
             HandField::H(5, 5) = 4001;
             PathGrid_ClassifyAll();
             EXPECT_TRUE(AI_BuildSiteClear(site, at));
             // Rough: a vertex 60 higher (no cell blocked) lifts the variance above 100.
             HandField::H(5, 5) = 4060;
             PathGrid_ClassifyAll();
             EXPECT_FALSE(PathGrid_IsBlocked(5, 5));
             EXPECT_FALSE(AI_BuildSiteClear(site, at));
             // Blocked: a cliff far off the site's cells is harmless; on them it refuses.
             HandField::H(5, 5) = 4000;
             HandField::H(15, 15) = 1000;
             PathGrid_ClassifyAll();
             EXPECT_TRUE(AI_BuildSiteClear(site, at));
             HandField::H(4, 4) = 3500;
             PathGrid_ClassifyAll();
             ASSERT_TRUE(PathGrid_IsBlocked(4, 4));
             EXPECT_FALSE(AI_BuildSiteClear(site, at));
             HandField::H(4, 4) = 4000;
             PathGrid_ClassifyAll();
             // A footprint larger than the whole grid, or not a number, is refused without a walk.
             EXPECT_FALSE(AI_BuildSiteClear(SiteFootprint{-1e30f, -1e30f, 1e30f, 1e30f}, at));
             EXPECT_FALSE(AI_BuildSiteClear(SiteFootprint{std::nanf(""), 0.0f, 1.0f, 1.0f}, at));
             // Occupied: a building whose radius reaches into the box; a craft never counts.
             t.Craft(1, {50, 0, 50});
             t.Refill();
             EXPECT_TRUE(AI_BuildSiteClear(site, at));
             t.Put("BLDG", 2, 4, 1, {70, 0, 50}, 6.0f);
             t.Refill();
             EXPECT_FALSE(AI_BuildSiteClear(site, at));
         }},
        {"labels, classes the team has seen, enemies of a team", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* kit = t.Put("RKIT", 3, 3, 0, {500, 0, 520});
             GameObject* unseen = t.Put("RKIT", 3, 3, 0, {500, 0, 510});
             kit->MarkSeenBy(1);
             kit->SetLabel("kit_1");
             EXPECT_EQ(AI_FindByLabel("kit_1"), kit);
             EXPECT_EQ(AI_FindEntityByLabel("kit_1"), kit->entity);
             EXPECT_EQ(AI_FindByLabel("Kit_1"), nullptr);
             EXPECT_EQ(AI_FindNearestOfClass(unit, Signature("RKIT"), -1, 1e6f), kit);
             EXPECT_EQ(AI_FindNearestOfClass(unit, Signature("RKIT"), 2, 1e6f), nullptr);
             (void)unseen;
             GameObject* enemy = t.Craft(2, {500, 0, 560});
             t.Craft(2, {500, 0, 540}, false);  // empty: not an enemy to fear
             float r2 = 1e6f;
             EXPECT_EQ(AI_FindNearestEnemyOf(1, Vector{500, 0, 500}, &r2), enemy);
             EXPECT_FLOAT_EQ(r2, 3600.0f);
             GameObject* building = t.Put("BLDG", 4, 4, 2, {500, 0, 700});
             EXPECT_EQ(AI_FindNearestEnemyBuilding(unit, 1e6f), building);
             building->objClass->classFlags = 0x04;
             EXPECT_EQ(AI_FindNearestEnemyBuilding(unit, 1e6f), nullptr);
             unit->SetTarget(building);
             EXPECT_EQ(AI_FindNearestEnemyBuilding(unit, 1e6f), building);
         }},
        {"the user's team may take a craft only into a free slot of its class's range", [](QueryTest& t) {
             GameObject* user = t.Build(t.NewClass(), t.NewRoot(1, kEntityUser));
             user->SetTeam(1);
             TeamRecord* own = TeamRecord::Get(1);
             GameObject* spare = t.Craft(0, {500, 0, 500}, false);
             spare->objClass->teamSlotFirst = 5;
             spare->objClass->teamSlotLast = 6;
             EXPECT_TRUE(Team_CanUseObject(own, spare));
             EXPECT_TRUE(Team_CanUseObject(TeamRecord::Get(2), spare));  // not the user's team
             GameObject* a = t.Put("CRFT", 1, 1, 0, {510, 0, 500});
             GameObject* b = t.Put("CRFT", 1, 1, 0, {520, 0, 500});
             own->SetSlot(5, a);
             own->SetSlot(6, b);
             EXPECT_FALSE(Team_CanUseObject(own, spare));
             spare->SetTeam(1);  // no free slot: it joins without one
             EXPECT_FALSE(Team_CanUseObject(own, spare));
             own->SetSlot(6, nullptr);
             spare->SetTeam(1);  // now it holds slot 6
             EXPECT_EQ(spare->teamSlot, 6);
             own->SetSlot(5, nullptr);
             own->SetSlot(5, a);
             EXPECT_TRUE(Team_CanUseObject(own, spare));
             own->SetSlot(5, nullptr);
             own->SetSlot(6, nullptr);
             GameObject_ForgetUser();
         }},
        {"objects not yet joined to their team count by their entity's team", [](QueryTest& t) {
             GameObject* unit = t.Craft(1, {500, 0, 500});
             GameObject* friendCraft = t.Craft(1, {500, 0, 510});
             GameObject* enemy = t.Craft(2, {500, 0, 560});
             for (GameObject* o : {unit, friendCraft, enemy}) {
                 o->LeaveTeam();
                 o->team = -1;
                 o->teamRecord = nullptr;
             }
             t.Refill();
             float r2 = 1e4f;
             EXPECT_EQ(AI_FindNearestEnemyCraft(unit, &r2), enemy);
             EXPECT_TRUE(AI_AllyInLineOfFire(unit, 1e4f, 0.1f));  // the friend ahead
             EXPECT_EQ(AI_FindBestAttackTarget(unit), enemy);
         }},
        {"craft to board and the best target", [](QueryTest& t) {
             GameObject* pilot = t.Put("PERS", 4, 6, 1, {500, 0, 500});
             pilot->SetAiProcess(new TestPilot);
             GameObject* near = t.Craft(1, {500, 0, 510}, false);
             GameObject* next = t.Craft(1, {500, 0, 520}, false);
             t.Refill();
             float r2 = 1e4f;
             EXPECT_EQ(AI_FindNearestFreeCraft(pilot, &r2, nullptr), near);
             near->inUse = 1;
             r2 = 1e4f;
             EXPECT_EQ(AI_FindNearestFreeCraft(pilot, &r2, nullptr), next);
             next->boardExcludedTeams = 1u << 1;
             r2 = 1e4f;
             EXPECT_EQ(AI_FindNearestFreeCraft(pilot, &r2, nullptr), nullptr);
             // The best target: an armed enemy far off beats an unarmed one near by.
             GameObject* unit = t.Craft(1, {100, 0, 100});
             GameObject* armed = t.Craft(2, {100, 0, 300});
             t.Craft(2, {100, 0, 150});
             OrdnanceClass* shell = t.Shot("BULL", 100.0f, 1.0f);
             shell->damage[0] = 600;
             t.Mount(armed, 0, "CANN", shell);
             EXPECT_FLOAT_EQ(AI_WeaponStrength(armed), 600.0f);
             EXPECT_EQ(AI_FindBestAttackTarget(unit), armed);
         }},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.what);
        s.run(*this);
        Clear();
    }
}

}  // namespace

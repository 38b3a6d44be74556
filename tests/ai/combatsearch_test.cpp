#include <gtest/gtest.h>

#include <memory>

#include "ai/combatprocess.h"
#include "ai/unitservices.h"
#include "world_fixture.h"

namespace {

class CombatSearchTest : public WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        UnitAi_ResetServices();
    }
    void TearDown() override {
        UnitAi_ResetServices();
        WorldFixture::TearDown();
    }
};

TEST_F(CombatSearchTest, AScoutsEnemySearchFindsMinesAndATanksDoesNot) {
    GameObject* unit = Craft(1, {500, 0, 500});
    GameObject* foe = Craft(2, {500, 0, 560});
    GameObject* mine = Put("PROX", 3, 4, 2, {500, 0, 530});
    Refill();
    delete unit->aiProcess;  // each brain below takes the searcher in turn
    unit->SetAiProcess(nullptr);
    struct Case {
        WingmanKind kind;
        const char* name;
        GameObject* found;
    } cases[] = {
        {WingmanKind::kScout, "ScoutFriend", mine},
        {WingmanKind::kTank, "TankFriend", foe},
        {WingmanKind::kBomber, "BomberEnemy", foe},
        {WingmanKind::kRocketTank, "RocketTankEnemy", foe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto process = std::make_unique<WingmanProcess>(c.kind, c.name);
        process->Attach(nullptr, unit);
        EXPECT_EQ(process->FindEnemy(100.0f * 100.0f), c.found);
        process.reset();
    }
}

}  // namespace

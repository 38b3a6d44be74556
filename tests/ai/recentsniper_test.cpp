#include <gtest/gtest.h>

#include "ai/unitservices.h"
#include "core/clock.h"
#include "core/registration.h"
#include "process_fixture.h"

namespace {

using RecentSniperTest = ProcessFixture;

TEST_F(RecentSniperTest, ASniperShellThatHitLessThanThreeSecondsAgoNamesItsShooter) {
    CraftClass& cls = NewCraftClass();
    Craft* unit = NewCraft(cls, 1);
    Craft* shooter = NewCraft(cls, 2);
    Clock_SetTime(100.0f);
    struct Case {
        uint32_t signature;
        float shotAgo;
        bool byEnemy;
        bool named;
    } cases[] = {
        {Signature("SNIP"), 1.0f, true, true},
        {Signature("SNIP"), 2.9f, false, true},  // a friend's shell counts as well
        {Signature("SNIP"), 3.0f, true, false},
        {Signature("BLLT"), 1.0f, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shotAgo);
        unit->lastHitOrdnanceSignature = c.signature;
        unit->lastShooter = shooter->GetObjHandle();
        unit->enemyShot = c.byEnemy ? 100.0f - c.shotAgo : kNeverTime;
        unit->friendShot = c.byEnemy ? kNeverTime : 100.0f - c.shotAgo;
        EXPECT_EQ(UnitAi_Services().recentSniper(unit), c.named ? shooter : nullptr);
    }
    unit->enemyShot = 99.0f;
    unit->lastHitOrdnanceSignature = Signature("SNIP");
    unit->lastShooter = 0;
    EXPECT_EQ(UnitAi_Services().recentSniper(unit), nullptr) << "a shooter that is gone";
    EXPECT_EQ(UnitAi_Services().recentSniper(nullptr), nullptr);
}

}  // namespace

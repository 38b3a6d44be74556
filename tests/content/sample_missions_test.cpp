// The sample world's missions put every object on open ground.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Terrain/terrheight.h"
#include "content.h"
#include "core/savegame.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/world_reset.h"
#include "support/sample_world.h"

namespace {

// Under every object of each sample mission the ground is open: across a 16 m square round it the
// terrain rises and falls by less than 5 m. A wall piece (30 m high on one vertex line) under a
// building lifts it onto the wall's top and shows the wall's faces round it.
TEST(SampleMissions, EveryObjectStandsOnOpenGround) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_samplemsn_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string profile = (std::filesystem::temp_directory_path() / "gv_samplemsnp_XXXXXX").string();
    ASSERT_NE(mkdtemp(profile.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;
    for (const char* mission : {"sample.qmn", "fight.qmn", "nocraft.qmn"}) {
        SCOPED_TRACE(mission);
        content::HeadlessWorld world(dir, profile);
        ASSERT_TRUE(world.Ready());
        ASSERT_TRUE(SaveGame_Load(mission));
        int objects = 0;
        for (GameObject* object : GameObject_List()) {
            if (!object) continue;
            ++objects;
            const Vector at = object->GetPosition();
            float low = 1e9f, high = -1e9f;
            for (float dx = -8.0f; dx <= 8.0f; dx += 2.0f)
                for (float dz = -8.0f; dz <= 8.0f; dz += 2.0f) {
                    const float h = Terrain_GetHeight(at.x + dx, at.z + dz);
                    low = std::min(low, h);
                    high = std::max(high, h);
                }
            const char* name = object->GetClass()->defName;
            EXPECT_LT(high - low, 5.0f) << std::string(name, strnlen(name, sizeof object->GetClass()->defName)) << " at "
                                        << at.x << ", " << at.z;
        }
        EXPECT_GT(objects, 3);
    }
    Plat_Shutdown();
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(profile);
}

}  // namespace

// The lock display: stage sounds and the icons on the locked object and the candidate of the
// launchers the user's craft carries, against hand-placed objects behind the display's services.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "interface/combathud.h"
#include "interface/lockdisplay.h"
#include "render/graphicbuffer.h"
#include "render/view.h"
#include "support/world_reset.h"
#include "weapons/launcher.h"

namespace {

class PlainClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

struct Seen {
    GameObject* player = nullptr;
    std::vector<std::string> sounds;
    struct Draw {
        int sprite, x, y;
        uint32_t flags;
    };
    std::vector<Draw> draws;
};
Seen* g_seen = nullptr;

class LockDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        GameObject_PoolInit();
        GameObject_ForgetUser();
        GameObject_SetSerialCounter(1);
        GameObject_List().clear();
        TeamRecord_CreateAll();
        Graphic_InitBuffer(&screen_, 320, 240, nullptr, 0);
        View_Init(&view_, &screen_, 1.3962634f, 1.0f, 300.0f, 1.0f);
        Matrix eye{};
        eye.right = {1, 0, 0}, eye.up = {0, 1, 0}, eye.front = {0, 0, 1};
        View_SetCameraMatrix(&view_, eye);
        Hud_Context().buffer = &screen_;
        Hud_Context().view = &view_;
        seen_ = Seen{};
        g_seen = &seen_;
        CombatHudServices& s = CombatHud_Services();
        s.player = [] { return g_seen->player; };
        s.playSound = [](const char* name) { g_seen->sounds.push_back(name); };
        s.drawSprite = [](GraphicBuffer*, int sprite, int x, int y, uint32_t flags, int) {
            g_seen->draws.push_back({sprite, x, y, flags});
        };
        // The launcher class: three stages with their icons and sounds.
        cls_.lockFrameCount = 3;
        cls_.lockFrames = new int[3]{11, 12, 13};
        cls_.lockedIcon = 20;
        cls_.sprite2 = 5;
        std::snprintf(cls_.lockSound, sizeof cls_.lockSound, "%s", "stage.wav");
        std::snprintf(cls_.lockedSound, sizeof cls_.lockedSound, "%s", "locked.wav");
    }
    void TearDown() override {
        if (player_) {
            delete player_->hardpoints;
            player_->hardpoints = nullptr;
        }
        delete launcher_;
        std::vector<GameObject*> live = GameObject_List();
        for (GameObject* object : live) delete object;
        Entities_RemoveAll();
        for (Entity* e : roots_)
            if (e->state == kEntityAlive && e->id != 0 && !Entity_GetParent(e)) Entity_Release(e);
        EntityAlloc_FreeAll();
        TeamRecord_DestroyAll();
        GameObject_ForgetUser();
        Graphic_FreeBuffer(&screen_);
        Hud_Context() = HudContext{};
        g_seen = nullptr;
        CombatHud_Reset();
    }
    GameObject* Object(Vector at) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        e->local = Matrix_FromPositionDirection(DVector{at.x, at.y, at.z}, Vector{0, 0, 1});
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        GameObject* object = GameObject_New<GameObject>(e, &objectClass_);
        object->pos = at;
        return object;
    }
    // The user's craft with the launcher on mount 2.
    void Arm() {
        player_ = Object(Vector{0, 0, -5});
        seen_.player = player_;
        Entity* part = Entity_New(player_->entity);
        Entity_SetName(part, "hp_gun3");
        Entity* gunEntity = Entity_New(part);
        launcher_ = new Launcher(gunEntity, &cls_);
        player_->hardpoints = new HardpointList(player_);
        player_->hardpoints->SetWeapon(2, part, launcher_);
    }

    GraphicBuffer screen_{};
    RenderView view_{};
    Seen seen_;
    PlainClass objectClass_;
    LauncherClass cls_{"launcher", Signature("LNCH")};
    GameObject* player_ = nullptr;
    Launcher* launcher_ = nullptr;
    std::vector<Entity*> roots_;
};

TEST_F(LockDisplayTest, EachNewStageSoundsOnceAndTheFinalOneSoundsLocked) {
    Arm();
    LockDisplay& display = LockDisplay_Instance();
    display.Start();
    struct Step {
        int32_t stage;
        std::vector<std::string> sounds;
    } steps[] = {
        {0, {}}, {1, {"stage.wav"}}, {1, {"stage.wav"}}, {2, {"stage.wav", "locked.wav"}},
        // Dropping back is silent; rising again sounds again.
        {0, {"stage.wav", "locked.wav"}}, {1, {"stage.wav", "locked.wav", "stage.wav"}},
    };
    for (const Step& s : steps) {
        launcher_->lockStage = s.stage;
        display.Update(0.1f);
        EXPECT_EQ(seen_.sounds, s.sounds) << "stage " << s.stage;
    }
    EXPECT_EQ(display.shownStage[2], 1);
}

TEST_F(LockDisplayTest, TheLockedIconSitsOnTheLockedObjectAndTheStageIconOnAnotherCandidate) {
    Arm();
    GameObject* locked = Object(Vector{0, 0, 50});
    GameObject* candidate = Object(Vector{10, 0, 50});
    GameObject* behind = Object(Vector{0, 0, -50});
    LockDisplay& display = LockDisplay_Instance();
    launcher_->locked = locked->GetObjHandle();
    launcher_->candidate = candidate->GetObjHandle();
    launcher_->lockStage = 1;
    display.Draw();
    ASSERT_EQ(seen_.draws.size(), 2u);
    EXPECT_EQ(seen_.draws[0].sprite, 20);
    EXPECT_EQ(seen_.draws[0].flags, 0x250004u);
    const HudScreenPoint centre = Hud_WorldToScreen(locked->pos, &view_, nullptr);
    EXPECT_EQ(seen_.draws[0].x, centre.x);
    EXPECT_EQ(seen_.draws[0].y, centre.y);
    EXPECT_EQ(seen_.draws[1].sprite, 12) << "the icon of stage 1";
    EXPECT_GT(seen_.draws[1].x, seen_.draws[0].x);

    // The candidate that is the locked object gets no second icon; nothing behind the viewer.
    seen_.draws.clear();
    launcher_->candidate = launcher_->locked;
    display.Draw();
    EXPECT_EQ(seen_.draws.size(), 1u);
    seen_.draws.clear();
    launcher_->locked = behind->GetObjHandle();
    launcher_->candidate = 0;
    display.Draw();
    EXPECT_TRUE(seen_.draws.empty());
    // Without a craft of the user's nothing is drawn.
    seen_.player = nullptr;
    display.Update(0.1f);
    display.Draw();
    EXPECT_TRUE(seen_.draws.empty());
}

}  // namespace

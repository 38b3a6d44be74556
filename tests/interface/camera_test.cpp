// The camera: its stack, its modes and their set-ups, the per-frame steps on a virtual frame
// clock, and what it follows.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/inputsinks.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/proginput.h"
#include "fun3d/teamrecord.h"
#include "interface/camera.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "render/graphicdriver.h"
#include "support/world_reset.h"

namespace {

class PlainClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        Plat_UseVirtualClock(1000);
        GameObject_PoolInit();
        GameObject_ForgetUser();
        GameObject_SetSerialCounter(1);
        GameObject_List().clear();
        TeamRecord_CreateAll();
        Graphic_InitBuffer(&g_graphicDriver.screen, 320, 240, nullptr, 0);
        cls_.label = "thing";
        cls_.health = 100;
        SetFrameTime(100);
    }
    void TearDown() override {
        std::vector<GameObject*> live = GameObject_List();
        for (GameObject* object : live) {
            if (object->entity) object->entity->classData = nullptr;
            delete object;
        }
        Entities_RemoveAll();
        for (Entity* e : roots_)
            if (e->state == kEntityAlive && e->id != 0 && !Entity_GetParent(e)) Entity_Release(e);
        EntityAlloc_FreeAll();
        TeamRecord_DestroyAll();
        GameObject_ForgetUser();
        Graphic_FreeBuffer(&g_graphicDriver.screen);
        g_graphicDriver.screen = GraphicBuffer{};
        Plat_UseRealClock();
        Plat_Shutdown();
    }

    // The frame clock's smoothed step becomes ms.
    static void SetFrameTime(uint32_t ms) {
        for (int i = 0; i < 60; ++i) {
            Plat_AdvanceVirtualClock(ms);
            Clock_Tick();
        }
    }

    // An object at the position, facing along +z turned by yaw, with the radius.
    GameObject* Object(Vector at, float radius = 2.0f, float yaw = 0.0f, uint32_t flags = 0) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        e->flags |= (1u << kEntityTeamShift) | flags;
        e->local = Matrix_FromTwoAngles(0.0f, yaw);
        e->local.posit = DVector{at.x, at.y, at.z};
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        GameObject* object = GameObject_New<GameObject>(e, &cls_);
        object->radius = radius;
        return object;
    }
    GameObject* User(Vector at = {0, 10, 0}) {
        GameObject* object = Object(at);
        Entities_SetUser(object->record);
        return object;
    }

    static Vector EyePosition() {
        Vector p;
        View_GetCameraPosition(&p, Camera_MainView());
        return p;
    }
    static Matrix CameraMatrix() {
        Matrix m;
        Matrix_Invert(m, Camera_Current().view.viewMatrix);
        return m;
    }
    static bool ControlModeKeyDown() {
        int32_t analog[kInputAnalogValues] = {};
        uint32_t discrete[kInputDiscreteWords] = {};
        ProgramInput_Read(nullptr, analog, discrete);
        return (discrete[0] & kProgramKeyControlMode) != 0;
    }
    static void Step(int frames = 1) {
        for (int i = 0; i < frames; ++i)
            if (void (*step)() = Camera_Current().step) step();
    }

    PlainClass cls_;
    std::vector<Entity*> roots_;
};

// ---- the stack ----------------------------------------------------------------------------

TEST_F(CameraTest, EightSavesFitAndTheNinthChangesNothing) {
    EXPECT_FALSE(Camera_HasSaved());
    for (int i = 0; i < 8; ++i) {
        Camera_Current().yaw = static_cast<float>(i);
        EXPECT_EQ(Camera_Save(), 1) << i;
        EXPECT_TRUE(Camera_HasSaved());
    }
    EXPECT_EQ(Camera_StackDepth(), 0);
    Camera_Current().yaw = 99.0f;
    EXPECT_EQ(Camera_Save(), 0);
    EXPECT_EQ(Camera_StackDepth(), 0);
    // Slot 7 holds the first record saved, slot 0 the last; the refused save wrote nowhere.
    for (int slot = 0; slot < 8; ++slot) EXPECT_EQ(Camera_Saved(slot).yaw, static_cast<float>(7 - slot));

    // Restores come back in reverse order until nothing is saved.
    for (int i = 7; i >= 0; --i) {
        EXPECT_EQ(Camera_Restore(), 1);
        EXPECT_EQ(Camera_Current().yaw, static_cast<float>(i));
    }
    EXPECT_FALSE(Camera_HasSaved());
}

TEST_F(CameraTest, ARestoreWithNothingSavedFailsAndKeepsTheCurrentRecord) {
    Camera_Current().yaw = 1.25f;
    Camera_Current().viewKind = kViewKindChase;
    EXPECT_EQ(Camera_Restore(), 0);
    EXPECT_EQ(Camera_Current().yaw, 1.25f);
    EXPECT_EQ(Camera_ViewKind(), kViewKindChase);
    EXPECT_EQ(Camera_StackDepth(), 8);
    EXPECT_FALSE(Camera_HasSaved());
}

TEST_F(CameraTest, ResetNeverChangesTheDepth) {
    Camera_Save();
    Camera_Save();
    Camera_Reset(0);
    EXPECT_EQ(Camera_StackDepth(), 6);
    Camera_Reset(1);
    EXPECT_EQ(Camera_StackDepth(), 6);
    // Saved records keep their own projection when rebuilt.
    EXPECT_EQ(Camera_Saved(7).view.buffer, &g_graphicDriver.screen);
}

TEST_F(CameraTest, ReplacingAnObjectChangesTheCacheAndTheSavedRecordsOnly) {
    GameObject* a = Object({0, 0, 0});
    GameObject* b = Object({10, 0, 0});
    GameObject* c = Object({20, 0, 0});
    Camera_SetMode(a, kCameraChase);  // the cache and the current record follow a
    Camera_Save();                    // slot 7: a
    Camera_Save();                    // slot 6: a
    Camera_Restore();                 // slot 6 is free again, its copy left behind
    Camera_Current().followed = c;    // the current record's own field is not a reference
    ASSERT_EQ(Camera_StackDepth(), 7);

    Camera_ReplaceObject(a, b);
    EXPECT_EQ(Camera_GetTarget(), b);
    EXPECT_EQ(Camera_Saved(7).followed, b);
    EXPECT_EQ(Camera_Saved(6).followed, a);
    EXPECT_EQ(Camera_Current().followed, c);
    // "No object" is never replaced.
    Camera_ReplaceObject(nullptr, c);
    EXPECT_EQ(Camera_GetTarget(), b);
}

// ---- modes --------------------------------------------------------------------------------

TEST_F(CameraTest, EachModeSetsItsViewKindAndSwitches) {
    struct Row {
        int32_t mode;
        int32_t viewKind;
        bool firstPerson, cockpitDrawn, hudShown, ownEntity, controlModeKey;
        bool stepped;
    };
    const Row rows[] = {
        {kCameraCockpit, kViewKindCockpit, true, true, true, true, true, true},
        {kCameraNoCockpit, kViewKindCockpit, true, false, true, false, true, true},
        {kCameraNoHud, kViewKindCockpit, true, false, false, false, true, true},
        {kCameraChase, kViewKindChase, false, false, true, false, false, true},
        {kCameraTrack, kViewKindTrack, false, false, true, false, false, true},
        {kCameraFreeEye, kViewKindFreeEye, false, false, false, false, false, true},
    };
    GameObject* user = User();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        ASSERT_EQ(Camera_SetMode(user, row.mode), 1);
        EXPECT_EQ(Camera_ModeId(), row.mode);
        EXPECT_EQ(Camera_ViewKind(), row.viewKind);
        EXPECT_EQ(Camera_IsFirstPerson(), row.firstPerson);
        EXPECT_EQ(Camera_IsCockpitDrawn(), row.cockpitDrawn);
        EXPECT_EQ(Camera_IsHudShown(), row.hudShown);
        EXPECT_EQ(Camera_Current().ownEntity != 0, row.ownEntity);
        EXPECT_EQ(ControlModeKeyDown(), row.controlModeKey);
        EXPECT_EQ(Camera_ProducerBuildSwitch(), 1);
        EXPECT_EQ(Camera_Current().step != nullptr, row.stepped);
        EXPECT_FLOAT_EQ(Camera_MainView()->fieldOfView, kCameraFieldOfView);
    }
    // The free eye follows nothing; the others follow the object they were given.
    EXPECT_EQ(Camera_Current().followed, nullptr);
    Camera_SetMode(user, kCameraChase);
    EXPECT_EQ(Camera_Current().followed, user);
}

TEST_F(CameraTest, ChoosingTheCurrentModeAgainRerunsItsSetUpAndKeepsThePreviousMode) {
    GameObject* user = User();
    Camera_SetMode(user, kCameraCockpit);
    Camera_SetMode(user, kCameraChase);
    EXPECT_EQ(Camera_PreviousModeId(), kCameraCockpit);
    Camera_Current().pitch = 0.7f;
    Camera_Current().yawTarget = 2.0f;
    EXPECT_EQ(Camera_SetMode(user, kCameraChase), 1);
    EXPECT_EQ(Camera_Current().pitch, 0.0f);  // the chase set-up ran again
    EXPECT_EQ(Camera_Current().yawTarget, 0.0f);
    EXPECT_EQ(Camera_ModeId(), kCameraChase);
    EXPECT_EQ(Camera_PreviousModeId(), kCameraCockpit);
}

TEST_F(CameraTest, RefusedModesChangeNothing) {
    GameObject* user = User();
    Camera_SetMode(user, kCameraChase);
    const int32_t previous = Camera_PreviousModeId();
    // Unknown ids, and the views whose map or editor this game does not have.
    for (int32_t mode : {0, 10, 40, 42, -1, kCameraTwoD, kCameraOverview, kCameraOverviewToggle, kCameraEditorToggle}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(Camera_SetMode(user, mode), 0);
        EXPECT_EQ(Camera_ModeId(), kCameraChase);
        EXPECT_EQ(Camera_PreviousModeId(), previous);
        EXPECT_EQ(Camera_ViewKind(), kViewKindChase);
    }
    // A scripted camera refuses every change, known modes included.
    Camera_Current().viewKind = kViewKindScripted;
    for (int32_t mode : {kCameraCockpit, kCameraChase, kCameraTrack, kCameraFreeEye}) {
        EXPECT_EQ(Camera_SetMode(user, mode), 0);
        EXPECT_EQ(Camera_ViewKind(), kViewKindScripted);
        EXPECT_EQ(Camera_ModeId(), kCameraChase);
    }
}

TEST_F(CameraTest, ASetUpFromTheRestoreKindTakesTheSavedCameraBackFirst) {
    GameObject* user = User();
    Camera_SetMode(user, kCameraChase);
    Camera_Save();
    Camera_Current().viewKind = kViewKindRestoreFirst;
    EXPECT_EQ(Camera_SetMode(user, kCameraCockpit), 1);
    EXPECT_FALSE(Camera_HasSaved());
    EXPECT_EQ(Camera_ViewKind(), kViewKindCockpit);
}

TEST_F(CameraTest, AModeChangeMarksEveryEntityStale) {
    GameObject* user = User();
    EntityTableRecord* record = user->record;
    record->cacheLevel = 3;
    record->cacheStamp = 7;
    Camera_SetMode(user, kCameraTrack);
    EXPECT_EQ(record->cacheLevel, -1);
    EXPECT_EQ(record->cacheStamp, 0);
}

// ---- reset --------------------------------------------------------------------------------

TEST_F(CameraTest, AFullResetEntersTheCockpitOnTheUsersObjectWhenThereIsOne) {
    Camera_SetZoomFactor(4.0f);
    Camera_Current().pitch = 1.0f;
    Camera_Current().distance = 9.0f;
    Camera_Current().ownEntity = 0;
    Camera_Reset(1);
    EXPECT_EQ(Camera_ViewKind(), kViewKindCockpit);
    EXPECT_EQ(Camera_Current().step, nullptr);
    EXPECT_EQ(Camera_Current().followed, nullptr);
    EXPECT_TRUE(Camera_IsFirstPerson());
    EXPECT_EQ(Camera_Current().ownEntity, 1);
    EXPECT_FLOAT_EQ(Camera_Current().pitch, kCameraStartPitch);
    EXPECT_FLOAT_EQ(Camera_Current().pitchTarget, kCameraStartPitch);
    EXPECT_EQ(Camera_Current().distance, kCameraStartDistance);
    EXPECT_EQ(Camera_ZoomFactor(), 1.0f);
    ASSERT_NE(Camera_MainView(), nullptr);
    EXPECT_FLOAT_EQ(Camera_MainView()->farDistance, kCameraFarDistance);
    EXPECT_EQ(Camera_MainView()->aspect, kCameraNearValue);
    EXPECT_EQ(Camera_ModeId(), 0);  // no user: no mode entered

    GameObject* user = User({5, 20, 5});
    Camera_Reset(1);
    EXPECT_EQ(Camera_ModeId(), kCameraCockpit);
    EXPECT_EQ(Camera_Current().followed, user);
    EXPECT_EQ(Camera_Current().step, &Camera_StepCockpit);
    EXPECT_TRUE(Camera_IsCockpitDrawn());
    Step();
    const Vector eye = EyePosition();
    EXPECT_NEAR(eye.x, 5.0f, 1e-4f);
    EXPECT_NEAR(eye.y, 20.0f, 1e-4f);
}

TEST_F(CameraTest, APartialResetRebuildsTheViewForTheNewScreenAndKeepsTheMode) {
    GameObject* user = User();
    Camera_Reset(1);
    Camera_SetMode(user, kCameraChase);
    Step();
    const Vector before = EyePosition();
    Graphic_FreeBuffer(&g_graphicDriver.screen);
    Graphic_InitBuffer(&g_graphicDriver.screen, 640, 480, nullptr, 0);
    Camera_Reset(0);
    EXPECT_EQ(Camera_ModeId(), kCameraChase);
    EXPECT_EQ(Camera_MainView()->centreX, 320.0f);
    const Vector after = EyePosition();  // still looking from the same place
    EXPECT_NEAR(after.x, before.x, 1e-3f);
    EXPECT_NEAR(after.y, before.y, 1e-3f);
    EXPECT_NEAR(after.z, before.z, 1e-3f);
}

// ---- per-frame steps ----------------------------------------------------------------------

TEST_F(CameraTest, TheCockpitZoomKeysScaleTheZoomWithinOneToTen) {
    GameObject* user = User();
    Camera_Reset(1);
    const float t = Clock_GetFrameTime();
    InputSinks& keys = InputSink;

    keys.zoom_factor_plus = 1;
    Step();
    EXPECT_FLOAT_EQ(Camera_ZoomFactor(), t * 0.5f + 1.0f);
    EXPECT_FLOAT_EQ(Camera_MainView()->zoom, Camera_ZoomFactor());
    Step(200);
    EXPECT_EQ(Camera_ZoomFactor(), kCameraMaxZoom);

    keys.zoom_factor_plus = 0;
    keys.zoom_factor_minus = 1;
    Step();
    EXPECT_FLOAT_EQ(Camera_ZoomFactor(), 10.0f - t * 10.0f * 0.5f);
    Step(500);
    EXPECT_EQ(Camera_ZoomFactor(), 1.0f);

    keys = InputSinks{};
    Camera_SetZoomFactor(6.0f);
    keys.zoom_factor_reset = 1;
    keys.zoom_factor_plus = 1;  // reset wins
    Step();
    EXPECT_EQ(Camera_ZoomFactor(), 1.0f);
    EXPECT_EQ(Camera_MainView()->zoom, 1.0f);
    (void)user;
}

TEST_F(CameraTest, TheCockpitLooksFromTheCraftsCockpitNodeElseFromTheObject) {
    GameObject* craft = User({100, 50, 100});
    Entity* node = Entity_New(craft->entity);
    Entity_SetName(node, "cockpit");
    node->type = kTypeCockpitPart;
    node->local.posit = DVector{0, 2, 1};
    PhysBody body{};
    body.cockpitPart = node;
    craft->entity->type = kTypeCraft;
    craft->entity->classData = &body;

    Camera_Reset(1);
    Step();
    Vector eye = EyePosition();
    EXPECT_NEAR(eye.x, 100.0f, 1e-3f);
    EXPECT_NEAR(eye.y, 52.0f, 1e-3f);
    EXPECT_NEAR(eye.z, 101.0f, 1e-3f);

    body.cockpitPart = nullptr;
    Step();
    eye = EyePosition();
    EXPECT_NEAR(eye.y, 50.0f, 1e-3f);
    EXPECT_NEAR(eye.z, 100.0f, 1e-3f);
    craft->entity->classData = nullptr;
}

TEST_F(CameraTest, TheCockpitFollowsAReplacedTargetAndOutlivesADeletedOne) {
    GameObject* user = User({0, 10, 0});
    GameObject* pilot = Object({30, 12, 0});
    Camera_Reset(1);
    Step();
    Camera_ReplaceObject(user, pilot);
    Step();
    EXPECT_EQ(Camera_Current().followed, pilot);
    EXPECT_NEAR(EyePosition().x, 30.0f, 1e-3f);
    EXPECT_EQ(Camera_ModeId(), kCameraCockpit);

    // The followed object goes: the camera falls back to the user's object.
    delete pilot;
    Step();
    EXPECT_EQ(Camera_GetTarget(), user);
    EXPECT_NEAR(EyePosition().x, 0.0f, 1e-3f);
}

TEST_F(CameraTest, TheChaseKeysMoveTheCameraAwayAndCloserWithinOneToTen) {
    GameObject* user = User({0, 100, 0});
    Camera_SetMode(user, kCameraChase);
    const float t = Clock_GetFrameTime();
    InputSinks& keys = InputSink;

    keys.zoom_factor_minus = 1;  // away
    Step();
    EXPECT_FLOAT_EQ(Camera_Current().distanceTarget, 5.5f * (t * 0.5f + 1.0f));
    EXPECT_FLOAT_EQ(Camera_Current().distance, 5.5f + 2.0f * t * (Camera_Current().distanceTarget - 5.5f));
    Step(300);
    EXPECT_EQ(Camera_Current().distanceTarget, kCameraMaxDistance);
    const float far = EyePosition().z;

    keys.zoom_factor_minus = 0;
    keys.zoom_factor_plus = 1;  // closer
    Step(300);
    EXPECT_EQ(Camera_Current().distanceTarget, kCameraMinDistance);
    EXPECT_GT(EyePosition().z, far);

    keys = InputSinks{};
    keys.zoom_factor_reset = 1;
    Step();
    EXPECT_EQ(Camera_Current().distanceTarget, kCameraStartDistance);
}

TEST_F(CameraTest, TheChaseCameraSitsBehindTheObjectAboveTheGround) {
    // Facing +z, radius 2, distance 5.5: 11 behind the look-at point 5 above the object.
    GameObject* user = User({0, 100, 0});
    Camera_SetMode(user, kCameraChase);
    Step();
    Vector eye = EyePosition();
    EXPECT_NEAR(eye.x, 0.0f, 1e-3f);
    EXPECT_NEAR(eye.y, 105.0f, 1e-3f);
    EXPECT_NEAR(eye.z, -11.0f, 1e-3f);
    EXPECT_NEAR(CameraMatrix().front.z, 1.0f, 1e-4f);

    // A huge object: never more than 150 behind.
    user->radius = 1000.0f;
    Step();
    eye = EyePosition();
    EXPECT_NEAR(eye.z, -150.0f, 1e-2f);

    // Below the ground (the flat ground is at 0 here): raised to 0.5 above it.
    user->radius = 2.0f;
    user->entity->local.posit = DVector{0, -40, 0};
    Step();
    eye = EyePosition();
    EXPECT_NEAR(eye.y, Terrain_GetHeight(eye.x, eye.z) + kCameraGroundClearance, 1e-4f);
    EXPECT_GT(eye.y, -35.0f);
}

TEST_F(CameraTest, TheChaseHeadingTurnsSmoothlyAfterTheObject) {
    GameObject* user = User({0, 100, 0});
    Camera_SetMode(user, kCameraChase);
    Step();
    // The object turns a quarter right: the camera follows part of the way each frame.
    user->entity->local = Matrix_FromTwoAngles(0.0f, 1.5707963f);
    user->entity->local.posit = DVector{0, 100, 0};
    Step();
    const Vector front = CameraMatrix().front;
    EXPECT_GT(front.x, 0.1f);
    EXPECT_GT(front.z, 0.1f);
    Step(100);
    EXPECT_NEAR(CameraMatrix().front.x, 1.0f, 1e-3f);
}

TEST_F(CameraTest, TheTrackPitchStaysBetweenOneAndNinetyDegrees) {
    GameObject* user = User({0, 100, 0});
    Camera_SetMode(user, kCameraTrack);
    InputSinks& keys = InputSink;
    keys.track_pitch_delta = 10;
    Step(100);
    EXPECT_FLOAT_EQ(Camera_Current().pitchTarget, kCameraMaxTrackPitch);
    EXPECT_NEAR(Camera_Current().pitch, kCameraMaxTrackPitch, 1e-4f);
    keys.track_pitch_delta = -10;
    Step(100);
    EXPECT_FLOAT_EQ(Camera_Current().pitchTarget, kCameraMinTrackPitch);
    // Pitch and yaw follow their targets with factor 2t.
    keys = InputSinks{};
    keys.track_yaw_delta = 1;
    const float t = Clock_GetFrameTime();
    const float yaw = Camera_Current().yaw;
    Step();
    EXPECT_FLOAT_EQ(Camera_Current().yaw, yaw + 2.0f * t * (Camera_Current().yawTarget - yaw));
}

TEST_F(CameraTest, AYawBeyondTheLimitIsFoldedWithoutAJump) {
    GameObject* user = User({0, 100, 0});
    for (int sign : {1, -1}) {
        SCOPED_TRACE(sign);
        Camera_SetMode(user, kCameraTrack);
        CameraState& c = Camera_Current();
        c.yawTarget = sign * 6282.0f;
        c.yaw = sign * 6281.9f;
        InputSinks& keys = InputSink;
        keys.track_yaw_delta = sign * 10;
        Step();
        const Vector before = CameraMatrix().front;
        const float gap = c.yawTarget - c.yaw;
        Step();  // the target passes the limit here
        EXPECT_GE(c.yawTarget, 0.0f);
        EXPECT_LT(c.yawTarget, 6.2832f);
        EXPECT_LT(std::fabs(c.yawTarget - c.yaw), std::fabs(gap) + 2.0f);  // no turn between them
        const Vector after = CameraMatrix().front;
        EXPECT_GT(Vec3_Dot(before, after), 0.9f);  // the view turned a little, not around
    }
}

TEST_F(CameraTest, TheFreeEyeStaysWhereTheObjectWasWhenChosen) {
    GameObject* user = User({40, 100, 0});
    Camera_SetMode(user, kCameraFreeEye);
    Step(30);
    const Vector eye = EyePosition();
    user->entity->local.posit = DVector{400, 100, 0};
    Step(30);
    const Vector still = EyePosition();
    EXPECT_NEAR(still.x, eye.x, 1e-3f);
    EXPECT_NEAR(still.z, eye.z, 1e-3f);
    EXPECT_NEAR(eye.x, 40.0f, 1e-2f);
}

TEST_F(CameraTest, TheClampedLerpGivesTheEndOutsideZeroToOne) {
    struct Case {
        float a, b, t, expected;
    };
    const Case cases[] = {
        {2, 6, 0, 2}, {2, 6, 0.25f, 3}, {2, 6, 1, 6}, {2, 6, 1.5f, 6}, {2, 6, -0.5f, 6}, {2, 6, NAN, 6},
    };
    for (const Case& c : cases) EXPECT_EQ(Math_LerpClamped(c.a, c.b, c.t), c.expected) << c.t;
}

// What a craft asks of the camera: whether a sphere is in the main view (and how large it looks
// there), and the free eye on its wreck.
TEST_F(CameraTest, TheCraftsViewTestAndWreckCameraGoThroughTheCamera) {
    GameObject* user = User({0, 10, 0});
    Camera_InstallSeam();
    CraftServices& svc = Craft_Services();
    float size = 0.0f;
    EXPECT_FALSE(svc.sphereInView(Vector{0, 10, 50}, 2.0f, &size)) << "no view before the first set-up";
    Camera_SetMode(user, kCameraCockpit);
    Step();
    EXPECT_TRUE(svc.sphereInView(Vector{0, 10, 50}, 2.0f, &size));
    EXPECT_NEAR(size, 2.0f / 50.0f, 0.005f);
    EXPECT_FALSE(svc.sphereInView(Vector{0, 10, -50}, 2.0f, &size)) << "behind the eye";

    Camera_Save();
    svc.cameraFollowWreck(user);
    EXPECT_FALSE(Camera_HasSaved()) << "one saved camera popped";
    EXPECT_EQ(Camera_ModeId(), kCameraFreeEye);
    Craft_ResetServices();
}

}  // namespace

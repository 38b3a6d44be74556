#include "interface/camera.h"

#include <cmath>

#include "Objkr/bspcache.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "fun3d/gameobject.h"
#include "fun3d/proginput.h"
#include "fun3d/objectpool.h"
#include "render/graphicdriver.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr float kChaseRaise = 5.0f;
constexpr float kTrackRaise = 3.0f;

// The program-start record: cockpit, own entity left out, flat reticle.
CameraState StartState() {
    CameraState c{};
    c.firstPerson = 1;
    c.viewKind = kViewKindCockpit;
    c.pitchTarget = c.pitch = kCameraStartPitch;
    c.distanceTarget = c.distance = kCameraStartDistance;
    c.heading = c.previousHeading = Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
    c.eye = kIdentityMatrix;
    c.eyeRadius = 1.0f;
    c.ownEntity = 1;
    c.flatReticle = 1;
    return c;
}

CameraState g_current = StartState();
CameraState g_stack[kCameraStackSize]{};
int g_depth = kCameraStackSize;
float g_zoomFactor = 1.0f;
GameObject* g_cache = nullptr;  // the followed-object cache
uint32_t g_cacheSerial = 0;
int32_t g_modeId = 0;
int32_t g_previousModeId = 0;
bool g_cockpitDrawn = false;
bool g_hudShown = true;
int32_t g_producerSwitch = 1;
Matrix g_headingMatrix = kIdentityMatrix;

// ---- followed objects ---------------------------------------------------------------------

// The pool slot's serial of the object: it changes whenever the slot is freed or reused. (An
// object's own serial can be replaced by a saved one when it is loaded; the slot's cannot.)
uint32_t HandleOf(const GameObject* object) { return GameObject_PoolSerial(GameObject_PoolSlotOf(object)); }

// The object while its slot still holds it; null once it is gone.
GameObject* Live(GameObject* object, uint32_t serial) {
    if (!object || serial == 0) return nullptr;
    const int slot = GameObject_PoolSlotOf(object);
    if (GameObject_PoolObject(slot) != object || GameObject_PoolSerial(slot) != serial) return nullptr;
    return object;
}

GameObject* UserObject() {
    EntityTableRecord* user = Entities_GetUser();
    if (!user || !user->entity) return nullptr;
    GameObject* object = GameObject_FromEntity(user->entity);
    return Live(object, HandleOf(object));
}

void SetCache(GameObject* object) {
    g_cache = object;
    g_cacheSerial = HandleOf(object);
}

void SetFollowed(CameraState& state, GameObject* object) {
    state.followed = object;
    state.followedSerial = HandleOf(object);
}

GameObject* Followed(const CameraState& state) { return Live(state.followed, state.followedSerial); }

Matrix WorldMatrixOf(const GameObject* object) {
    Matrix m = kIdentityMatrix;
    if (object && object->entity) Entity_GetTransformTo(m, object->entity, nullptr);
    return m;
}

// The eye: the world placement of a craft's or a person's cockpit node, else the object's own
// (a person's eye is at its head, not at its feet).
Matrix EyeMatrixOf(const GameObject* object) {
    Entity* e = object ? object->entity : nullptr;
    if (e && (Entity_IsCraft(e->type) || e->type == kTypePerson) && e->classData) {
        const auto* body = static_cast<const PhysBody*>(e->classData);
        if (body->cockpitPart) {
            Matrix m;
            Entity_GetTransformTo(m, body->cockpitPart, nullptr);
            return m;
        }
    }
    return WorldMatrixOf(object);
}

// ---- headings -----------------------------------------------------------------------------

Quaternion Negated(const Quaternion& q) { return Quaternion{-q.x, -q.y, -q.z, -q.w}; }
float Dot(const Quaternion& a, const Quaternion& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// The turn about the vertical of a placement, as a quaternion.
Quaternion HeadingOf(const Matrix& m) {
    float yaw;
    if (std::fabs(m.front.x) + std::fabs(m.front.z) > 1e-6f) {
        yaw = static_cast<float>(std::atan2(m.front.x, m.front.z));
    } else {
        // Looking straight up or down: the right axis still tells the heading.
        yaw = static_cast<float>(std::atan2(-m.right.z, m.right.x));
    }
    return Matrix_ToQuaternion(Matrix_FromTwoAngles(0.0f, yaw));
}

void StartHeading(CameraState& state, const Quaternion& heading) {
    state.heading = heading;
    state.previousHeading = heading;
}

// ---- views --------------------------------------------------------------------------------

GraphicBuffer* ScreenBuffer() { return &g_graphicDriver.screen; }

// Rebuilds a view's projection with new parameters, keeping where it looks from.
void RebuildView(RenderView& view, float fieldOfView, float nearValue, float farDistance, float zoom) {
    const bool built = view.buffer != nullptr;
    Matrix camera = kIdentityMatrix;
    if (built) Matrix_Invert(camera, view.viewMatrix);
    View_Init(&view, ScreenBuffer(), fieldOfView, nearValue, farDistance, zoom);
    if (built) View_SetCameraMatrix(&view, camera);
}

float NearValueOf(const RenderView& view) { return view.buffer ? view.aspect : kCameraNearValue; }
float FarOf(const RenderView& view) { return view.buffer ? view.farDistance : kCameraFarDistance; }

void MarkEntitiesStale() {
    for (int i = 0; i < kEntityTableSize; ++i) {
        EntityTableRecord* record = Entities_Record(i);
        if (record && record->entity) Entity_ResetCache(record);
    }
}

// ---- set-ups ------------------------------------------------------------------------------

bool IsCockpitMode(int32_t mode) { return mode >= kCameraCockpit && mode <= kCameraNoHud; }

void SetProducerSwitch(int32_t mode) {
    const bool editing = mode == kCameraTwoD || mode == kCameraOverview || mode == kCameraEditorToggle;
    g_producerSwitch = editing ? 0 : 1;
}

void SetFlagsFor(int32_t mode) {
    g_cockpitDrawn = mode == kCameraCockpit;
    g_hudShown = !(mode == kCameraNoHud || mode == kCameraFreeEye);
    g_current.ownEntity = mode == kCameraCockpit ? 1 : 0;
    SetProducerSwitch(mode);
}

// What every set-up ends with once its view is built: the switches, the followed object, the
// step and the view kind.
void FinishSetUp(GameObject* object, int32_t mode, int32_t viewKind, void (*step)()) {
    SetFlagsFor(mode);
    SetFollowed(g_current, object);
    SetCache(object);
    g_current.step = step;
    g_current.viewKind = viewKind;
    g_current.firstPerson = viewKind == kViewKindCockpit ? 1 : 0;
    View_SetCurrentMode(viewKind == kViewKindCockpit ? 0 : 1);
}

// The steps modes 1 to 5 and 9 share.
void CommonSetUp(GameObject* object, int32_t mode, int32_t viewKind, void (*step)()) {
    if (g_current.viewKind == kViewKindRestoreFirst) Camera_Restore();
    RenderView& view = g_current.view;
    RebuildView(view, kCameraFieldOfView, NearValueOf(view), FarOf(view),
                IsCockpitMode(mode) ? g_zoomFactor : 1.0f);
    FinishSetUp(object, mode, viewKind, step);
}

void SetUpCockpit(GameObject* object, int32_t mode) {
    CommonSetUp(object, mode, kViewKindCockpit, Camera_StepCockpit);
    StartHeading(g_current, Matrix_ToQuaternion(WorldMatrixOf(object)));
}

void SetUpChase(GameObject* object, int32_t mode) {
    CommonSetUp(object, mode, kViewKindChase, Camera_StepChase);
    g_current.pitch = g_current.pitchTarget = 0.0f;
    g_current.yaw = g_current.yawTarget = 0.0f;
    StartHeading(g_current, HeadingOf(WorldMatrixOf(object)));
}

void SetUpTrack(GameObject* object, int32_t mode) {
    CommonSetUp(object, mode, kViewKindTrack, Camera_StepTrack);
    StartHeading(g_current, HeadingOf(WorldMatrixOf(object)));
}

void SetUpFreeEye(GameObject* object, int32_t mode) {
    // Without an object the eye stays where the camera is.
    Matrix eye = kIdentityMatrix;
    if (object && object->entity) {
        eye = WorldMatrixOf(object);
    } else if (g_current.view.buffer) {
        Matrix_Invert(eye, g_current.view.viewMatrix);
    }
    const float radius = object && object->radius > 0.0f ? object->radius : 1.0f;
    CommonSetUp(nullptr, mode, kViewKindFreeEye, Camera_StepFreeEye);
    g_current.eye = eye;
    g_current.eyeRadius = radius;
    StartHeading(g_current, HeadingOf(eye));
}

void SetUpOverview(GameObject* object, int32_t mode) {
    const CameraViewSource& source = Camera_OverviewSource();
    if (source.enter) source.enter(object);
    RebuildView(g_current.view, kCameraWideFieldOfView, NearValueOf(g_current.view), 1000.0f, source.zoom());
    FinishSetUp(object, mode, kViewKindOverview, Camera_StepOverview);
}

void SetUpTwoD(GameObject* object, int32_t mode) {
    FinishSetUp(object, mode, kViewKindTwoD, nullptr);
    View_SetZoom(&g_current.view, 1.0f);
}

bool RunSetUp(GameObject* object, int32_t mode);

void SetUpOverviewToggle(GameObject* object, int32_t) {
    if (g_current.viewKind == kViewKindOverview) {
        RunSetUp(object, g_previousModeId);
    } else {
        SetUpOverview(object, kCameraOverview);
    }
}

void SetUpEditorToggle(GameObject* object, int32_t mode) {
    const CameraViewSource& editor = Camera_EditorSource();
    if (editor.active && editor.active()) {
        if (editor.leave) editor.leave();
        RunSetUp(object, g_previousModeId);
        return;
    }
    if (editor.enter) editor.enter(object);
    RebuildView(g_current.view, kCameraWideFieldOfView, NearValueOf(g_current.view), 1000.0f, editor.zoom());
    FinishSetUp(object, mode, kViewKindEditor, Camera_StepEditor);
}

struct ModeEntry {
    int32_t id;
    void (*setUp)(GameObject* object, int32_t mode);
    bool (*available)();
};

bool Always() { return true; }
bool OverviewThere() { return Camera_OverviewSource().available(); }
bool EditorThere() { return Camera_EditorSource().available(); }

// Searched in this order.
const ModeEntry kModes[] = {
    {kCameraCockpit, SetUpCockpit, Always},
    {kCameraNoCockpit, SetUpCockpit, Always},
    {kCameraNoHud, SetUpCockpit, Always},
    {kCameraChase, SetUpChase, Always},
    {kCameraTrack, SetUpTrack, Always},
    {kCameraTwoD, SetUpTwoD, Camera_TwoDViewAvailable},
    {kCameraOverview, SetUpOverview, OverviewThere},
    {kCameraEditorToggle, SetUpEditorToggle, EditorThere},
    {kCameraOverviewToggle, SetUpOverviewToggle, OverviewThere},
    {kCameraFreeEye, SetUpFreeEye, Always},
};

const ModeEntry* FindMode(int32_t id) {
    for (const ModeEntry& entry : kModes)
        if (entry.id == id) return &entry;
    return nullptr;
}

bool RunSetUp(GameObject* object, int32_t mode) {
    const ModeEntry* entry = FindMode(mode);
    if (!entry || !entry->available()) return false;
    entry->setUp(object, mode);
    return true;
}

// ---- per-frame helpers --------------------------------------------------------------------

// The held zoom keys move the distance target: minus away, plus closer.
void StepDistance(CameraState& state, const CameraControls& in, float t) {
    if (in.zoomReset) {
        state.distanceTarget = kCameraStartDistance;
    } else if (in.zoomMinus) {
        state.distanceTarget = std::fmin(state.distanceTarget * (t * 0.5f + 1.0f), kCameraMaxDistance);
    } else if (in.zoomPlus) {
        state.distanceTarget = std::fmax(state.distanceTarget - t * state.distanceTarget * 0.5f, kCameraMinDistance);
    }
    state.distance = Math_LerpClamped(state.distance, state.distanceTarget, 2.0f * t);
}

// Pitch and yaw from the track sinks; a yaw target far beyond one turn is brought back by
// whole turns, the same number for the target and the yaw, so the view does not swing.
void StepTrackAngles(CameraState& state, const CameraControls& in, float t) {
    state.pitchTarget += static_cast<float>(in.trackPitchDelta) * t;
    state.pitchTarget = std::fmin(std::fmax(state.pitchTarget, kCameraMinTrackPitch), kCameraMaxTrackPitch);
    state.yawTarget += static_cast<float>(in.trackYawDelta) * t;
    if (std::fabs(state.yawTarget) > kCameraYawFoldLimit) {
        const double turns = std::floor(static_cast<double>(state.yawTarget) / kTwoPi);
        state.yawTarget = static_cast<float>(state.yawTarget - turns * kTwoPi);
        state.yaw = static_cast<float>(state.yaw - turns * kTwoPi);
    }
    state.pitch = Math_LerpClamped(state.pitch, state.pitchTarget, 2.0f * t);
    state.yaw = Math_LerpClamped(state.yaw, state.yawTarget, 2.0f * t);
}

void SmoothHeading(CameraState& state, Quaternion target, float t) {
    if (Dot(target, state.previousHeading) < 0.0f) target = Negated(target);
    const float f = 5.0f * t;
    state.heading = (f >= 0.0f && f <= 1.0f) ? Quaternion_Slerp(state.previousHeading, target, f) : target;
    state.previousHeading = state.heading;
}

// Places the view behind the point, turned by pitch and yaw along the smoothed heading, above
// the ground.
void PlaceBehind(CameraState& state, const DVector& position, float radius, float raise) {
    const Matrix heading = Quaternion_ToMatrix(state.heading);
    const Vector local = Matrix_FromTwoAngles(state.pitch, state.yaw).front;
    const Vector dir{local.x * heading.right.x + local.y * heading.up.x + local.z * heading.front.x,
                     local.x * heading.right.y + local.y * heading.up.y + local.z * heading.front.y,
                     local.x * heading.right.z + local.y * heading.up.z + local.z * heading.front.z};
    const double back = std::fmin(static_cast<double>(state.distance) * radius, kCameraMaxBack);
    const DVector lookAt{position.x, position.y + raise, position.z};
    DVector eye{lookAt.x - dir.x * back, lookAt.y - dir.y * back, lookAt.z - dir.z * back};
    const double ground = Terrain_GetHeight(eye.x, eye.z) + kCameraGroundClearance;
    if (eye.y < ground) eye.y = ground;
    Vector look{static_cast<float>(lookAt.x - eye.x), static_cast<float>(lookAt.y - eye.y),
                static_cast<float>(lookAt.z - eye.z)};
    if (Vec3_Dot(look, look) < 1e-8f) look = dir;
    View_SetCameraMatrix(&state.view, Matrix_FromPositionDirection(eye, look));
}

}  // namespace

// ---- the stack ----------------------------------------------------------------------------

int Camera_Save() {
    if (g_depth < 1) return 0;
    --g_depth;
    g_stack[g_depth] = g_current;
    return 1;
}

int Camera_Restore() {
    if (g_depth >= kCameraStackSize) return 0;
    g_current = g_stack[g_depth];
    ++g_depth;
    return 1;
}

bool Camera_HasSaved() { return g_depth < kCameraStackSize; }
int Camera_StackDepth() { return g_depth; }
const CameraState& Camera_Saved(int slot) { return g_stack[slot < 0 ? 0 : slot % kCameraStackSize]; }

// ---- modes --------------------------------------------------------------------------------

int Camera_SetMode(GameObject* object, int32_t mode) {
    if (g_current.viewKind == kViewKindScripted) return 0;
    const ModeEntry* entry = FindMode(mode);
    // A mode whose map or editor is not there changes nothing, its id included, so that the
    // toggles still go back to the mode the player came from.
    if (!entry || !entry->available()) return 0;
    if (mode != g_modeId) {
        g_previousModeId = g_modeId;
        g_modeId = mode;
    }
    entry->setUp(object, mode);
    MarkEntitiesStale();
    return 1;
}

int32_t Camera_ModeId() { return g_modeId; }
int32_t Camera_PreviousModeId() { return g_previousModeId; }

GameObject* Camera_GetTarget() {
    if (GameObject* cached = Live(g_cache, g_cacheSerial)) return cached;
    SetCache(UserObject());
    return g_cache;
}

void Camera_ReplaceObject(GameObject* oldObject, GameObject* newObject) {
    // "No object" is not an object that can be replaced.
    if (!oldObject) return;
    if (g_cache == oldObject) SetCache(newObject);
    for (int slot = g_depth; slot < kCameraStackSize; ++slot)
        if (g_stack[slot].followed == oldObject) SetFollowed(g_stack[slot], newObject);
}

namespace {

// Without a craft to look from (a map or mission with none for the player) the eye stands over
// the middle of the map, looking north and a little down: the camera's first place, the world's
// origin, may lie under the ground, which shows only the sky and whatever stands above the eye.
constexpr double kOverMapEyeHeight = 20.0;

void PlaceOverMap(RenderView& view) {
    float bounds[6];
    Terrain_GetBounds(bounds);
    const double x = 0.5 * (double(bounds[0]) + double(bounds[3])), z = 0.5 * (double(bounds[2]) + double(bounds[5]));
    const DVector eye{x, double(Terrain_GetHeight(x, z)) + kOverMapEyeHeight, z};
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(eye, Vector{0.0f, -0.25f, 1.0f}));
}

}  // namespace

void Camera_Reset(int full) {
    RebuildView(g_current.view, kCameraFieldOfView, kCameraNearValue, kCameraFarDistance, 1.0f);
    for (int slot = g_depth; slot < kCameraStackSize; ++slot) {
        RenderView& view = g_stack[slot].view;
        RebuildView(view, view.fieldOfView, NearValueOf(view), FarOf(view), view.zoom);
    }
    if (!full) return;
    CameraState& c = g_current;
    c.pitchTarget = c.pitch = kCameraStartPitch;
    c.yawTarget = c.yaw = 0.0f;
    c.distanceTarget = c.distance = kCameraStartDistance;
    SetFollowed(c, nullptr);
    SetCache(nullptr);
    c.firstPerson = 1;
    c.viewKind = kViewKindCockpit;
    c.step = nullptr;
    c.ownEntity = 1;
    g_zoomFactor = 1.0f;
    if (GameObject* user = UserObject()) {
        Camera_SetMode(user, kCameraCockpit);
    } else {
        PlaceOverMap(c.view);
    }
}

float Math_LerpClamped(float a, float b, float t) {
    if (t >= 0.0f && t <= 1.0f) return a + t * (b - a);
    return b;
}

// ---- readers ------------------------------------------------------------------------------

CameraState& Camera_Current() { return g_current; }
RenderView* Camera_MainView() { return g_current.view.buffer ? &g_current.view : nullptr; }
float Camera_ZoomFactor() { return g_zoomFactor; }
void Camera_SetZoomFactor(float zoom) { g_zoomFactor = zoom; }
bool Camera_IsCockpitDrawn() { return g_cockpitDrawn; }
bool Camera_IsHudShown() { return g_hudShown; }
bool Camera_IsFirstPerson() { return g_current.firstPerson != 0; }
int32_t Camera_ViewKind() { return g_current.viewKind; }
int32_t Camera_ProducerBuildSwitch() { return g_producerSwitch; }

void Camera_SetHeadingMatrix(const RenderView* view) {
    if (!view) return;
    Matrix camera;
    Matrix_Invert(camera, view->viewMatrix);
    g_headingMatrix = Quaternion_ToMatrix(HeadingOf(camera));
    g_headingMatrix.posit = camera.posit;
}

const Matrix& Camera_HeadingMatrix() { return g_headingMatrix; }

// ---- per-frame steps ----------------------------------------------------------------------

void Camera_StepCockpit() {
    GameObject* target = Camera_GetTarget();
    if (target != Followed(g_current)) SetUpCockpit(target, IsCockpitMode(g_modeId) ? g_modeId : kCameraCockpit);
    if (!target) return;
    View_SetCameraMatrix(&g_current.view, EyeMatrixOf(target));

    const CameraControls in = Camera_ReadControls();
    const float t = Clock_GetFrameTime();
    if (in.zoomReset) {
        g_zoomFactor = 1.0f;
    } else if (in.zoomPlus) {
        g_zoomFactor = std::fmin(g_zoomFactor * (t * 0.5f + 1.0f), kCameraMaxZoom);
    } else if (in.zoomMinus) {
        g_zoomFactor = std::fmax(g_zoomFactor - t * g_zoomFactor * 0.5f, 1.0f);
    }
    if (g_zoomFactor != g_current.view.zoom) View_SetZoom(&g_current.view, g_zoomFactor);
}

void Camera_StepChase() {
    GameObject* target = Camera_GetTarget();
    if (!target) return;
    const CameraControls in = Camera_ReadControls();
    const float t = Clock_GetFrameTime();
    StepDistance(g_current, in, t);
    const Matrix m = WorldMatrixOf(target);
    SmoothHeading(g_current, HeadingOf(m), t);
    PlaceBehind(g_current, m.posit, target->radius, kChaseRaise);
}

void Camera_StepTrack() {
    GameObject* target = Camera_GetTarget();
    if (!target) return;
    const CameraControls in = Camera_ReadControls();
    const float t = Clock_GetFrameTime();
    StepTrackAngles(g_current, in, t);
    StepDistance(g_current, in, t);
    const Matrix m = WorldMatrixOf(target);
    SmoothHeading(g_current, HeadingOf(m), t);
    PlaceBehind(g_current, m.posit, target->radius, kTrackRaise);
}

void Camera_StepFreeEye() {
    const CameraControls in = Camera_ReadControls();
    const float t = Clock_GetFrameTime();
    StepTrackAngles(g_current, in, t);
    StepDistance(g_current, in, t);
    SmoothHeading(g_current, HeadingOf(g_current.eye), t);
    PlaceBehind(g_current, g_current.eye.posit, g_current.eyeRadius, kTrackRaise);
}

namespace {
void FollowSource(const CameraViewSource& source) {
    View_SetCameraMatrix(&g_current.view, source.cameraMatrix());
    const float zoom = source.zoom();
    if (zoom != g_current.view.zoom) View_SetZoom(&g_current.view, zoom);
}
}  // namespace

void Camera_StepOverview() { FollowSource(Camera_OverviewSource()); }
void Camera_StepEditor() { FollowSource(Camera_EditorSource()); }

// ---- tests --------------------------------------------------------------------------------

void Camera_ResetForTest() {
    g_current = StartState();
    for (CameraState& slot : g_stack) slot = CameraState{};
    g_depth = kCameraStackSize;
    g_zoomFactor = 1.0f;
    g_cache = nullptr;
    g_cacheSerial = 0;
    g_modeId = 0;
    g_previousModeId = 0;
    g_cockpitDrawn = false;
    g_hudShown = true;
    g_producerSwitch = 1;
    g_headingMatrix = kIdentityMatrix;
}

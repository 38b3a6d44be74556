// The camera: where the world is drawn from.
//
// One CameraState record is current; the renderer draws through its view. Eight more can be
// saved on a stack (a scripted sequence saves the player's camera, takes the camera over and
// gives it back). A camera mode is a set-up, run once when the mode is chosen, and a per-frame
// step kept in the record and run by the frame loop while the record is current.
//
// Objects are followed by pointer; each pointer is kept with its pool slot's serial and is used
// only while the slot still holds that object, so a followed object that is torn down (or a
// mission that ends) never leaves the camera reading a dead object.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "render/view.h"

class GameObject;

// View kinds: what the display elements choose their layers by.
constexpr int32_t kViewKindCockpit = 0;
constexpr int32_t kViewKindChase = 1;
constexpr int32_t kViewKindOverview = 3;
constexpr int32_t kViewKindRestoreFirst = 4;  // a set-up restores the saved camera first
constexpr int32_t kViewKindScripted = 5;      // mode changes are refused
constexpr int32_t kViewKindFreeEye = 6;
constexpr int32_t kViewKindTrack = 7;
constexpr int32_t kViewKindTwoD = 9;
constexpr int32_t kViewKindEditor = 10;

// Mode ids (the view game keys' numbers).
constexpr int32_t kCameraCockpit = 1;
constexpr int32_t kCameraNoCockpit = 2;
constexpr int32_t kCameraNoHud = 3;
constexpr int32_t kCameraChase = 4;
constexpr int32_t kCameraTrack = 5;
constexpr int32_t kCameraTwoD = 6;
constexpr int32_t kCameraOverview = 7;
constexpr int32_t kCameraOverviewToggle = 8;
constexpr int32_t kCameraFreeEye = 9;
constexpr int32_t kCameraEditorToggle = 41;

constexpr int kCameraStackSize = 8;
constexpr float kCameraFieldOfView = 1.3962634f;  // 80 degrees
constexpr float kCameraWideFieldOfView = 1.5707963f;
constexpr float kCameraNearValue = 1.0f;  // the view's aspect; the near distance is a constant
constexpr float kCameraFarDistance = 300.0f;
constexpr float kCameraStartPitch = 0.5235988f;  // 30 degrees
constexpr float kCameraStartDistance = 5.5f;     // in radii of the followed object
constexpr float kCameraMaxDistance = 10.0f;
constexpr float kCameraMinDistance = 1.0f;
constexpr float kCameraMaxZoom = 10.0f;
constexpr float kCameraMaxBack = 150.0f;
constexpr float kCameraGroundClearance = 0.5f;
constexpr float kCameraMinTrackPitch = 0.017453292f;  // 1 degree
constexpr float kCameraMaxTrackPitch = 1.5707963f;    // 90 degrees
constexpr float kCameraYawFoldLimit = 6283.1855f;

struct CameraState {
    void (*step)();      // the mode's per-frame step; null for none
    int32_t firstPerson;  // 1 in the cockpit views and after a full reset
    int32_t viewKind;
    RenderView view;
    GameObject* followed;  // null for none
    uint32_t followedSerial;  // its pool slot's serial when it was stored
    float pitchTarget, pitch;  // radians
    float yawTarget, yaw;
    float distanceTarget, distance;  // radii of the followed object
    Quaternion heading;              // smoothed heading
    Quaternion previousHeading;
    // The free eye's own placement and scale, copied at set-up.
    Matrix eye;
    float eyeRadius;
    int32_t ownEntity;    // the render frame leaves the user's entity out of the world pass
    int32_t flatReticle;  // the aiming sight draws its flat reticle
};

// ---- the stack ----------------------------------------------------------------------------
// Copies the current record into the next free slot (downwards from 7); 0 when all 8 are used.
int Camera_Save();
// Copies the last saved record back; 0 when nothing is saved.
int Camera_Restore();
bool Camera_HasSaved();
int Camera_StackDepth();  // 8 when nothing is saved
const CameraState& Camera_Saved(int slot);  // slot 0..7

// ---- modes --------------------------------------------------------------------------------
// Switches the camera to the mode for the object; 0 when refused (a scripted camera, an
// unknown id, or a mode whose map or editor is not there).
int Camera_SetMode(GameObject* object, int32_t mode);
int32_t Camera_ModeId();
int32_t Camera_PreviousModeId();
// The followed object; when none is cached, the user's object, which is then cached.
GameObject* Camera_GetTarget();
// Every reference to old as followed object (the cache and the saved records) becomes new.
void Camera_ReplaceObject(GameObject* oldObject, GameObject* newObject);
// Rebuilds the views (after a display change); full also puts the camera back to its start
// and enters the cockpit on the user's object.
void Camera_Reset(int full);
// a + t (b - a) for t in 0..1, else b.
float Math_LerpClamped(float a, float b, float t);

// ---- what the frame, the renderer and the cockpit read --------------------------------------
CameraState& Camera_Current();
// The current record's view; null until the camera has been set up once.
RenderView* Camera_MainView();
float Camera_ZoomFactor();
void Camera_SetZoomFactor(float zoom);
bool Camera_IsCockpitDrawn();
bool Camera_IsHudShown();
bool Camera_IsFirstPerson();
int32_t Camera_ViewKind();
// The switch the producers read (1 while the world runs, 0 in the editor and overview views).
int32_t Camera_ProducerBuildSwitch();
// The heading-only placement of the view last drawn (the render frame sets it).
void Camera_SetHeadingMatrix(const RenderView* view);
const Matrix& Camera_HeadingMatrix();

// The per-frame steps of the modes.
void Camera_StepCockpit();
void Camera_StepChase();
void Camera_StepTrack();
void Camera_StepFreeEye();
void Camera_StepOverview();
void Camera_StepEditor();

// ---- what the camera reads of its neighbours (camera_inputs.cpp) ----------------------------
// The camera's control values of this frame: the zoom keys (held) and the track deltas
// (whole units per second, -10..10).
struct CameraControls {
    uint8_t zoomPlus;
    uint8_t zoomMinus;
    uint8_t zoomReset;
    int32_t trackPitchDelta;
    int32_t trackYawDelta;
};
CameraControls Camera_ReadControls();

// A camera a later view provides: the overview map, the editors.
struct CameraViewSource {
    bool (*available)();
    bool (*active)();  // the editor is open
    void (*enter)(GameObject* object);
    void (*leave)();
    Matrix (*cameraMatrix)();
    float (*zoom)();
};
CameraViewSource& Camera_OverviewSource();
CameraViewSource& Camera_EditorSource();
bool Camera_TwoDViewAvailable();

// ---- start-up and tests -------------------------------------------------------------------
// Fills the render seam's main view and heading matrix, the cockpit seam's camera entries, the
// entity layer's user change and projection rebuild.
void Camera_InstallSeam();
// Program-start state: an empty stack, no mode, zoom 1, nothing followed (tests).
void Camera_ResetForTest();

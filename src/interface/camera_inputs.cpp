// What the camera reads of its neighbours, in one place: the control values, the view keys,
// the overview map's and the editors' cameras, and the seams it fills at start-up.
#include "Objkr/entity.h"
#include "core/cmdline.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"
#include "interface/inputdevices.h"

namespace {

CameraControls g_controls{};

// PENDING(9.101) the sinks zoom_factor_plus, zoom_factor_minus, zoom_factor_reset,
// track_pitch_delta and track_yaw_delta; until the input mapping fills them they hold what a
// test sets (nothing pressed in the game).
CameraControls ReadSinks() { return g_controls; }

bool NotThere() { return false; }
bool NotActive() { return false; }
void NoEnter(GameObject*) {}
void NoLeave() {}
Matrix NoMatrix() { return kIdentityMatrix; }
float NoZoom() { return 1.0f; }

// PENDING(9.142) the command view's camera: the overview map is not available.
CameraViewSource g_overview = {NotThere, NotActive, NoEnter, NoLeave, NoMatrix, NoZoom};
// PENDING(13.102) the terrain editor's camera: the editor is not available.
CameraViewSource g_editor = {NotThere, NotActive, NoEnter, NoLeave, NoMatrix, NoZoom};

// PENDING(13.120) the two-dimensional editor view needs the mission editor as well as "edit".
bool MissionEditorThere() { return false; }

// The view keys' rule: with a user object the camera takes the mode for it; without one a
// cockpit, chase or track key only brings an editor camera back, as a free eye.
void ViewKey(int32_t mode) {
    EntityTableRecord* user = Entities_GetUser();
    GameObject* object = user ? GameObject_FromEntity(user->entity) : nullptr;
    if (object || mode == kCameraFreeEye) {
        Camera_SetMode(object, mode);
    } else if (Camera_ModeId() > 9) {
        Camera_SetMode(nullptr, kCameraFreeEye);
    }
}

// Typed-key codes of F1 to F12.
constexpr uint16_t kTypedF1 = 177;

}  // namespace

CameraControls Camera_ReadControls() { return ReadSinks(); }
CameraControls& Camera_ControlsForTest() { return g_controls; }
CameraViewSource& Camera_OverviewSource() { return g_overview; }
CameraViewSource& Camera_EditorSource() { return g_editor; }
bool Camera_TwoDViewAvailable() { return CmdLine_Globals().editor && MissionEditorThere(); }

// PENDING(9.104) the game keys: F1 to F5 choose the cockpit, no-cockpit, no-HUD, chase and
// track views and F9 the free eye, straight from the keyboard's typed keys.
void Camera_ViewKeysStandIn() {
    for (;;) {
        uint16_t code = 0;
        KeyboardDevice.nextKey(&code);
        if (code == 0) return;
        const int key = code - kTypedF1 + 1;
        if (key >= 1 && key <= 5) ViewKey(key);
        if (key == 9) ViewKey(kCameraFreeEye);
    }
}

void Camera_InstallSeam() {
    RenderSeam& render = Seam_Render();
    render.mainView = Camera_MainView;
    render.setHeadingMatrix = [](RenderView* view) { Camera_SetHeadingMatrix(view); };

    CockpitSeam& cockpit = Seam_Cockpit();
    cockpit.cameraReset = Camera_Reset;
    cockpit.cameraGetStep = []() -> void (*)() { return Camera_Current().step; };
    cockpit.cameraViewState = [] { return static_cast<int>(Camera_ViewKind()); };
    cockpit.cameraOwnEntitySwitch = [] { return Camera_Current().ownEntity != 0; };
    cockpit.cameraInsideViewSwitch = Camera_IsCockpitDrawn;
    cockpit.gameKeyProcess = Camera_ViewKeysStandIn;  // PENDING(9.104) the game keys

    EntityServices& entities = Objkr_Services();
    entities.cameraSetUser = [](EntityTableRecord* oldUser, EntityTableRecord* newUser) {
        auto objectOf = [](EntityTableRecord* r) { return r ? GameObject_FromEntity(r->entity) : nullptr; };
        Camera_ReplaceObject(objectOf(oldUser), objectOf(newUser));
    };
    entities.cameraReset = Camera_Reset;
}

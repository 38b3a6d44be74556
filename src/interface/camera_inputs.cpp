// What the camera reads of its neighbours, in one place: the control sinks, the overview map's
// and the editors' cameras, and the seams it fills at start-up.
#include <cmath>

#include "Objkr/entity.h"
#include "ai/unitservices.h"
#include "core/cmdline.h"
#include "core/inputsinks.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"

namespace {

CameraControls ReadSinks() {
    CameraControls in{};
    in.zoomPlus = InputSink.zoom_factor_plus;
    in.zoomMinus = InputSink.zoom_factor_minus;
    in.zoomReset = InputSink.zoom_factor_reset;
    in.trackPitchDelta = InputSink.track_pitch_delta;
    in.trackYawDelta = InputSink.track_yaw_delta;
    return in;
}

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

}  // namespace

CameraControls Camera_ReadControls() { return ReadSinks(); }
CameraViewSource& Camera_OverviewSource() { return g_overview; }
CameraViewSource& Camera_EditorSource() { return g_editor; }
bool Camera_TwoDViewAvailable() { return CmdLine_Globals().editor && MissionEditorThere(); }

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
    cockpit.cameraPosition = [](Vector* out) {
        const RenderView* view = Camera_MainView();
        if (!view) return false;
        *out = Vector{float(view->cameraPosition.x), float(view->cameraPosition.y), float(view->cameraPosition.z)};
        return true;
    };
    cockpit.cameraTargetPosition = [](float out[3]) {
        GameObject* target = Camera_GetTarget();
        if (!target) return false;
        const Vector p = target->GetPosition();
        out[0] = p.x, out[1] = p.y, out[2] = p.z;
        return true;
    };
    cockpit.cameraTarget = Camera_GetTarget;

    // Units keep their voice replies back while a scripted camera runs.
    UnitAi_Services().scriptedCameraActive = Camera_HasSaved;

    CraftServices& craft = Craft_Services();
    // The wreck of the user's craft is watched from outside: back one saved camera, then the free
    // eye on the craft.
    craft.cameraFollowWreck = [](GameObject* object) {
        if (Camera_HasSaved()) Camera_Restore();
        Camera_SetMode(object, kCameraFreeEye);
    };
    // A sphere in the main view, and how large it looks there (radius over distance).
    craft.sphereInView = [](const Vector& centre, float radius, float* apparentSize) {
        const RenderView* view = Camera_MainView();
        if (!view) return false;
        Vector inView{};
        View_TransformPoint(&inView, view, centre.x, centre.y, centre.z);
        if (View_CullSphere(view, inView, radius) == 1) return false;
        const double distance = std::sqrt(double(inView.x) * inView.x + double(inView.y) * inView.y +
                                          double(inView.z) * inView.z);
        if (apparentSize) *apparentSize = distance > radius ? float(radius / distance) : 1.0f;
        return true;
    };

    EntityServices& entities = Objkr_Services();
    entities.cameraSetUser = [](EntityTableRecord* oldUser, EntityTableRecord* newUser) {
        auto objectOf = [](EntityTableRecord* r) { return r ? GameObject_FromEntity(r->entity) : nullptr; };
        Camera_ReplaceObject(objectOf(oldUser), objectOf(newUser));
    };
    entities.cameraReset = Camera_Reset;
}

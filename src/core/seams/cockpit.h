// What the core calls of the cockpit's input layer and force feedback.
#pragma once
#include <cstdio>

#include "core/mathlib.h"
#include "platform/window.h"

class GameObject;

struct CockpitSeam {
    void (*forceFeedbackStart)();
    void (*forceFeedbackEnable)(bool on);
    void (*forceFeedbackClose)();
    void (*buildKeyNames)();
    void (*mouseCapture)();
    void (*mouseRelease)();
    void (*mouseRequestReset)();  // the mouse re-reads its state (after a display-mode change)
    void (*inputClose)();
    // Replaces out (at least 256 characters) with the "label.map" text of section/entry when
    // there is one; returns whether it did.
    bool (*labelMapGetLabel)(const char* section, const char* entry, char* out);
    void (*keyboardClearState)();
    void (*keyboardOnMessage)(uint32_t message, WParam wParam, LParam lParam);
    void (*mouseOnMessage)(uint32_t message, WParam wParam, LParam lParam);

    // The game loop and the frame.
    void (*inputInit)();  // opens the input maps and the keyboard
    void (*inputRead)();
    void (*gameKeyProcess)();
    void (*hudInitAll)();
    void (*hudStartAll)();
    void (*hudEndAll)();
    void (*hudStep)(int viewState, float frameTime);
    void (*hudDrawLayer)();
    bool (*hudIsOn)();
    void (*hudSetOn)(bool on);  // the "render.cfg" "Debug" "HUD" switch
    // The screen tint: a fading colour wash (amount, decay rate per second, colour) and the
    // one-frame white flash (explosions near the camera, glare).
    void (*screenTintFlash)(float amount, float rate, int red, int green, int blue);
    void (*screenTintAddLevel)(float amount);
    // Building placement's ground marker for this frame: rect (min x, min z, max x, max z) in
    // the building's frame, colour 0 green, 1 yellow, 2 red.
    void (*groundMarkerSet)(const float rect[4], const Matrix& placement, int colour);
    // The mission timer's fields in the mission script state; false at the first failed field.
    bool (*missionTimerSave)(FILE* stream);
    bool (*missionTimerLoad)();
    // The scripts' mission timer: a countdown from seconds (the two colour thresholds warn and
    // alert), and the whole seconds it shows.
    void (*missionTimerStart)(int32_t seconds, int32_t warn, int32_t alert);
    int32_t (*missionTimerTime)();
    bool (*radarIsOn)();  // the radar toggle of the game keys
    void (*radarDrawFrame)();
    void (*radarDrawSweep)();
    void (*commandMenuReset)();
    void (*cameraReset)(int full);
    void (*(*cameraGetStep)())();  // the current camera mode's per-frame step, or null
    int (*cameraViewState)();
    bool (*cameraOwnEntitySwitch)();
    bool (*cameraInsideViewSwitch)();
    void (*sightPausedStep)(float frameTime);
    // The insets (target view, sniper scope) the software frame draws after the 3-D scene.
    void (*insetViewsRender)();
    // The warning voice's panel and craft lines on the user's craft (6 hull critical, 8 out of
    // ammunition).
    void (*voiceReportPanel)(GameObject* craft, int message);
    void (*voiceReportCraft)(GameObject* craft, int message);
    // The warning voice: a building of the user's team destroyed; the user's powered towers
    // went to none or came back.
    void (*voiceReportBuilding)(GameObject* building);
    void (*voiceReportTower)();
    void (*writeMapImage)();  // "shellmap" / "largemap"
    // The world position of the object the camera follows; false when it follows none.
    bool (*cameraTargetPosition)(float out[3]);

    // Game objects.
    // The cheat bits (0x2 free building, 0x4 unlimited ammunition, 0x8 invulnerability, 0x200
    // every object visible); 0 in a network game.
    uint32_t (*cheatFlags)();
    void (*unitGroupsDropHandle)(uint32_t handle);
    // An object of the user's side was shot by an enemy.
    void (*reportUnderAttack)(GameObject* object);
    // Queues one of the warning voice's messages (10: the team's pilots reached 0).
    void (*queueWarning)(int message);
    // The unit display shows the user's allies anew (after an alliance change).
    void (*unitDisplayRefresh)();
    // The camera's world position; false while there is none.
    bool (*cameraPosition)(Vector* out);
    // The object the camera follows, or null.
    GameObject* (*cameraTarget)();
    // Where the user aims: the selected target's position, else the point the aiming sight
    // rests on; false when there is neither.
    bool (*userAimPoint)(Vector* out);
};

CockpitSeam& Seam_Cockpit();

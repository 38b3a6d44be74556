// The simplest display elements: the screen tint (a fading colour wash and a one-frame white
// flash over the view) and the mission timer (a minutes-and-seconds clock at the top centre).
#pragma once
#include <cstdint>
#include <cstdio>

#include "interface/hudelement.h"

class ScreenTint : public HudElement {
public:
    ScreenTint();
    void Start() override;
    void Draw() override;
    void Flash(float amount, float rate, int red, int green, int blue);
    void AddLevel(float amount);
    void Reset();
    void PlaceLayers();  // the update and draw lists of layers 0..8, priority 5

    float white = 0, level = 0, rate = 0;
    uint8_t colour[3] = {};
    // The last frame's parts (0..224) and the Direct3D alpha, for the diagnostics and tests.
    int lastWhite = 0, lastTint = 0;
};

// What the tint reaches of the renderer; tests replace entries.
struct ScreenTintServices {
    bool (*hardware)();
    float (*frameTime)();
    // One translucent rectangle over the view, colour 0xAARRGGBB, at the 2-D depth 0.1.
    void (*fillHardware)(uint32_t argb, int left, int top, int right, int bottom);
    const uint8_t* (*palette)();                // the current 768-byte palette
    void (*showPalette)(uint8_t* rgb);          // applies the brightness curve and shows it
};
ScreenTintServices& ScreenTint_Services();
ScreenTint& ScreenTint_Instance();
void ScreenTint_Flash(float amount, float rate, int red, int green, int blue);
// The combined Direct3D alpha of a white and a tint part.
int ScreenTint_Alpha(int white, int tint);
// The software path's palette: a copy of rgb with the white part, then the tint part.
void ScreenTint_TintPalette(uint8_t* rgb, int white, int tint, const uint8_t colour[3]);

class MissionTimer : public HudElement {
public:
    MissionTimer();
    void Init() override;
    void Start() override;
    void Update(float dt) override;
    void Draw() override;
    void End() override;

    void Show();
    void Hide();
    void PlaceLayers();  // the update lists of layers 0..8
    // The fields under their names: "frac", "timer", "warn", "alert", "countdown", "active",
    // "show". Both stop at the first field that fails and return false then. A loaded shown
    // timer is listed again at the next world start.
    bool Save(FILE* stream) const;
    bool Load();
    // The colour set in use: 0 green, 1 yellow, 2 red.
    int ColourSet() const;
    // The four digits (minutes tens, minutes units, seconds tens, seconds units).
    void Digits(int out[4]) const;

    int labelSprite = 0;
    int digitSprites[3] = {};  // green, yellow, red: the digit 0, then 1..9 and the colon at +10
    float frac = 0;
    int32_t timer = 0;
    int32_t warn = INT32_MIN, alert = INT32_MIN;
    uint8_t countdown = 1, active = 0, show = 0;
};
MissionTimer& MissionTimer_Instance();
void MissionTimer_Start(int32_t seconds, int32_t warn, int32_t alert);
void MissionTimer_Show();
void MissionTimer_Hide();
void MissionTimer_Toggle();
// The one timer's save and load, for the mission script state.
bool MissionTimer_Save(FILE* stream);
bool MissionTimer_Load();

// Builds the display elements in the display-element table's order (once).
void Hud_CreateElements();
// The developer tools' tuning list is built in its place among them by this maker.
void Hud_SetTuningListMaker(void (*make)());
// After the layers were emptied (tests): the built elements back in their layers, cleared.
void HudBasic_Reset();

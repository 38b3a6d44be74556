// Game switches that the weapons and effects read and that no screen sets yet: the effects
// switch, the effect detail level, the settings flag word (value 4 picks the richer standard
// explosions and the ground shake) and the user-state word (bit 0x400 lets the user's own craft
// take the AI-style trigger calls) and the switch for four remote charges. Tests and the range tool
// set them.
#pragma once
#include <cstdint>

constexpr uint32_t kSettingsRichExplosions = 0x4;
constexpr uint32_t kUserStateAiTriggers = 0x400;

struct GameSettings {
    bool effectsOn = true;
    int32_t effectDetail = 1;
    uint32_t flags = 0;
    uint32_t userState = 0;
    // The user's craft may keep four remote charges out at once instead of one.
    bool userMultiCharge = false;
};

GameSettings& Game_Settings();
// Back to the defaults: effects on, detail 1, every flag clear.
void GameSettings_Reset();

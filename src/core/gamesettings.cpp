#include "core/gamesettings.h"

namespace {
GameSettings g_settings;
}  // namespace

GameSettings& Game_Settings() { return g_settings; }
void GameSettings_Reset() { g_settings = GameSettings{}; }

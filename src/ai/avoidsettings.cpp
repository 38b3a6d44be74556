#include "ai/avoidsettings.h"

namespace {
AvoidanceSettings g_settings;
}  // namespace

AvoidanceSettings& Avoidance_Settings() { return g_settings; }
void Avoidance_ResetSettings() { g_settings = AvoidanceSettings{}; }

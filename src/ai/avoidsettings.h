// The collision-avoidance tuning record: the settings of "Collision.cfg" with their built-in
// defaults. Unit tasks read the route switch distance, the stuck delay, the two attraction
// coefficients and the repulsion cut-off from it; the avoidance itself reads the rest.
#pragma once
#include <cstdint>

struct AvoidanceSettings {
    int32_t revision = 1;  // COLLISION_CONFIG_FILE_REVISION
    int32_t usingRangeSearch = 1;
    float gridXSize = 100.0f;
    float gridZSize = 100.0f;
    int32_t lateralRepulsion = 1;
    int32_t fullPotentialField = 1;
    int32_t realCollisions = 1;
    int32_t directRepulsion = 1;
    float lateralAvoidanceMultiplier = 3.0f;
    float lateralDangerWidth = 2.0f;
    float lookAheadTime = 2.5f;
    float safetyCoeff = 1.3f;
    int32_t cheap2DCollide = 0;
    float extraGoalAttraction = 2.0f;    // EXTRA_GOAL_ATTRACTION
    float repulsiveCoefficient = 1000.0f;
    float attractiveCoefficient = 1.0f;  // ATTRACTIVE_COEFFICIENT
    float defaultRepulsionCutoff = 40.0f;  // DEFAULT_REPULSION_CUTOFF
    float distanceOfInfluence = 40.0f;
    float cliffRepulsionCoefficient = 0.5f;
    float switchToNextPointDistance = 15.0f;  // SWITCH_TO_NEXT_POINT_DISTANCE
    float extraStuckTime = 10.0f;             // EXTRA_STUCK_TIME
};

AvoidanceSettings& Avoidance_Settings();
// The built-in defaults again.
void Avoidance_ResetSettings();

// "gvtool plan DATA MAP X1 Z1 X2 Z2 [MOVER [SIDE]]": loads the map, builds the path grid and
// plans a route with AiPath_Plan; prints "kind=K points=N" and one "X Z" line per route point.
#pragma once
#include <cstdio>
#include <string>

namespace content {

struct PlanRequest {
    std::string dataDir, map;
    float x1 = 0, z1 = 0, x2 = 0, z2 = 0;
    int mover = 0, side = 1;
};

// Parses the arguments after "plan"; false (error set) on a missing or malformed one.
bool ParsePlanRequest(int argc, char** argv, PlanRequest* out, std::string* error);
// Loads the map through the data root's index and plans; false (error set) when the map
// cannot be loaded.
bool RunPlan(const PlanRequest& request, FILE* out, std::string* error);
// The map only (terrain start-up and environment), for tools and benchmarks.
bool LoadMapForPlanning(const std::string& dataDir, const std::string& map, std::string* error);
// Frees the map, closes the file system and removes the scratch profile.
void UnloadMapForPlanning();

}  // namespace content

// Running the game's simulation without the game: the passes of one frame (the collision pass,
// the objects' updates and post-updates, the object grid and the visibility pass) on a world
// that a HeadlessWorld holds. For `gvtool sim`, tests and benchmarks.
#pragma once
#include <cstdio>
#include <functional>
#include <string>

class Craft;
class HoverCraft;

namespace content {

// Before the world is loaded: installs the entity layer's and the collision's seams and starts
// the collision lists, so that every entity the load makes joins them.
void Simulation_Prepare();
// After the load: the object grid, and the frame clock on virtual time.
void Simulation_Begin();
// One frame of 1/30 s: the clock's tick, the collision pass, Game_Simulate, Game_PostUpdate.
void Simulation_Frame();
// The same frame with the mission's step between the collision pass and the objects' updates,
// as the game runs it.
void Simulation_MissionFrame();
// The same with the unit AI's step (run after the mission's) for units the caller drives.
void Simulation_MissionFrame(const std::function<void()>& unitAi);
// Ends the object grid and the virtual clock (the collision lists end with Collision_Shutdown
// once the world's entities are gone).
void Simulation_End();

// Gives the craft of any kind (hover craft, walker ...) a process (so it drives) that writes the
// controls into it every frame.
void Simulation_Drive(Craft* craft, float throttle, float steering);

// The options of `gvtool sim`.
struct SimOptions {
    float throttle = 0.0f;
    float steering = 0.0f;
    bool moveUser = false;  // -at X Z: the user's craft to the ground at (x, z) first
    float atX = 0.0f, atZ = 0.0f;
    bool report = false;  // -report: the map's AI data, then the objects once a second
    // -telemetry: after the run, the twelve lines the telemetry display draws for the user's craft.
    bool telemetry = false;
    // -go CLASS X1 Z1 X2 Z2: a team-1 craft of the class built on the ground at (x1, z1) and
    // driven by a go-to task to (x2, z2), which the tool updates every frame.
    bool go = false;
    std::string goClass;
    float goFromX = 0.0f, goFromZ = 0.0f, goToX = 0.0f, goToZ = 0.0f;
};

// `gvtool sim` as the maintainers' headless mission runner: loads FILE, sets up the playable
// rectangle, runs FRAMES frames with the mission's step (its processes and the keep-in-bounds
// push), and prints one line per object at the end. With report set it first prints
// "bounds XMIN XMAX ZMIN ZMAX", one "path" line per named path and one "aoi" line per area,
// then at t = 0 and after each whole second one line per craft, person and power-up. With go
// set the go-to craft's lines show its task, and a last line "go CLASS task=STATE
// finished=SECONDS pos=X,Z goal=X,Z distance=D" tells where it ended (finished "-" while the task
// runs; once it is done the craft brakes and holds).
int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, const SimOptions& options,
                    FILE* out, std::string* error);

// `gvtool sim`: loads FILE through DATA as `gvtool mission` does, drives the user's craft with
// the controls, runs the frames and prints one line per object. 0 on success, else 1 with the
// error.
int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, float throttle, float steering,
                    FILE* out, std::string* error);

}  // namespace content

// Running the game's simulation without the game: the passes of one frame (the collision pass,
// the objects' updates and post-updates, the object grid and the visibility pass) on a world
// that a HeadlessWorld holds. For `gvtool sim`, tests and benchmarks.
#pragma once
#include <cstdio>
#include <string>

class HoverCraft;

namespace content {

// Before the world is loaded: installs the entity layer's and the collision's seams and starts
// the collision lists, so that every entity the load makes joins them.
void Simulation_Prepare();
// After the load: the object grid, and the frame clock on virtual time.
void Simulation_Begin();
// One frame of 1/30 s: the clock's tick, the collision pass, Game_Simulate, Game_PostUpdate.
void Simulation_Frame();
// Ends the object grid and the virtual clock (the collision lists end with Collision_Shutdown
// once the world's entities are gone).
void Simulation_End();

// Gives the craft a process (so it drives) that writes the controls into it every frame.
void Simulation_Drive(HoverCraft* craft, float throttle, float steering);

// `gvtool sim`: loads FILE through DATA as `gvtool mission` does, drives the user's craft with
// the controls, runs the frames and prints one line per object. 0 on success, else 1 with the
// error.
int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, float throttle, float steering,
                    FILE* out, std::string* error);

}  // namespace content

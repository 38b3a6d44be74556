// Plays the real game loop, headless, on the generated sample world: a fixed random seed, frames
// of 1/30 s on the virtual clock, a timed event script fed in through the headless backend (so
// keys travel the whole input path), and the player's object, the camera and the last presented
// frame read back at the start of every frame (paused frames too). Use it inside an AppFixture test (profile and data root set).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/mathlib.h"
#include "platform/surface.h"

struct GameRunFrame {
    uint32_t frame = 0;  // the game clock's frame count (this frame's; the state is the last one's)
    float time = 0.0f;   // game seconds
    bool hasUser = false;
    DVector position{};   // the user's object
    Vector front{};       // its facing, in the world
    float speed = 0.0f;
    float floor = 0.0f;   // the collision floor under it
    float throttle = 0.0f, steering = 0.0f;  // its craft controls (0 for other objects)
    int32_t cameraMode = 0;
    DVector cameraPosition{};
    int screenMode = 0;  // 2 while the Pause key holds the game
    bool paused = false;  // the player's pause setting
};

struct GameRunOptions {
    std::string commandLine = "-nointro sample.qmn";
    std::string events;  // the event script's text (see the README); empty for none
    int frames = 90;     // the window closes after this many frames
    uint32_t seed = 1;
    int frameMs = 33;
    // Runs once, at the start of the first frame with the user's object (to place it, say).
    std::function<void(class GameObject* user)> atStart;
};

struct GameRunResult {
    int exitCode = -1;
    std::string scriptError;  // a script that did not parse plays nothing
    std::vector<GameRunFrame> frames;
    PlatFrame lastFrame;      // the last frame presented before the window closed
    std::vector<std::vector<uint8_t>> presented;  // every frame presented, when kept
};

// Runs the program once with the start-up wiring installed; keepFrames keeps every presented
// frame (for comparing two runs).
GameRunResult GameRun_Play(const GameRunOptions& options, bool keepFrames = false);

// Plays the real game loop, headless, on the generated sample world: a fixed random seed, frames
// of 1/30 s on the virtual clock, a timed event script fed in through the headless backend (so
// keys travel the whole input path), and the player's object, the camera and the last presented
// frame read back at the start of every frame (paused frames too). Use it inside an AppFixture test (profile and data root set).
// For fights it can also keep every object's state each frame, the events between frames
// (shots, hits, explosions, deaths, new and removed objects) and the sound mixed headless.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/mathlib.h"
#include "platform/surface.h"

// One game object as a frame starts.
struct GameRunObject {
    uint32_t handle = 0;
    std::string cls;  // the class's definition name
    int32_t team = 0;
    int32_t teamSlot = -1;
    int32_t category = 0;  // the class's category
    DVector position{};
    float speed = 0.0f;
    float health = 0.0f, maxHealth = 0.0f;
    int32_t ammo = 0, maxAmmo = 0;
    int32_t command = 0;           // the current command's code
    uint32_t commandTarget = 0;    // and its target's handle
    std::string process;           // the AI process's factory name; empty for none
    int32_t state = -1;            // the unit process's state; -1 without one
    std::string task;              // the unit task's factory name; empty for none
    uint32_t target = 0;           // the selected target's handle
    uint32_t lastShooter = 0;
    bool dead = false;             // the entity carries the dead flag
    bool user = false;
};

enum class GameRunEventKind {
    Created,    // object: the new object; what: its class
    Shot,       // object: the shooter (0 when none); what: the ordnance class (a round launched
                // and spent within one frame is not seen)
    Hit,        // object: the object hit; other: its last shooter; amount: the health it lost
    Explosion,  // object: the owner (0 when none); what: the explosion class
    Died,       // object: the dead object (its entity took the dead flag)
    Removed,    // object: the object gone from the object list
};

// Something that happened during the frame before `frame` (seen as `frame` starts).
struct GameRunEvent {
    uint32_t frame = 0;
    float time = 0.0f;
    GameRunEventKind kind = GameRunEventKind::Created;
    uint32_t object = 0;
    uint32_t other = 0;
    std::string what;
    float amount = 0.0f;
    DVector position{};
};

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
    // With GameRunOptions::keepObjects: every listed object, in list order, and the live debris
    // chunks.
    std::vector<GameRunObject> objects;
    int debris = 0;
    // The sound the headless mixer mixed during the frame before (16-bit stereo): its samples
    // per channel and each channel's root mean square.
    int soundFrames = 0;
    float soundLeft = 0.0f, soundRight = 0.0f;
    size_t soundEnd = 0;  // with keepSound: GameRunResult::sound's size after this frame's samples

    // The object of the handle in `objects`, or null.
    const GameRunObject* Find(uint32_t handle) const;
};

struct GameRunOptions {
    std::string commandLine = "-nointro sample.qmn";
    std::string events;  // the event script's text (see the README); empty for none
    int frames = 90;     // the window closes after this many frames
    uint32_t seed = 1;
    int frameMs = 33;
    // Runs once, at the start of the first frame with the user's object (to place it, say).
    std::function<void(class GameObject* user)> atStart;
    // Keeps every object's state in each frame and the events between frames.
    bool keepObjects = false;
    // Keeps the whole mixed sound (GameRunResult::sound).
    bool keepSound = false;
    // Runs at the start of every frame, after the frame was read, with the game's state at hand
    // (its objects through GameObject_List): to script what the event script cannot.
    std::function<void(const GameRunFrame& frame)> everyFrame;
    // Which frames the software driver draws, by the run's frame number (the event script's:
    // 1 to `frames`). Drawing is much of a frame's cost and the simulation runs the same without
    // it, so a run draws only what its test looks at: null draws nothing (the window presents
    // nothing), GameRun_DrawEvery() every frame, GameRun_DrawLast() only the frame that ends up as
    // GameRunResult::lastFrame. A frame that is not drawn is not presented either.
    // Some of the picture moves on only in the frames drawn (the clouds drift, the radar sweeps,
    // dust puffs age): a test that checks a picture as the player sees it draws every frame up to
    // it; one that looks only at what each frame draws whole (the head-up display, the sky plane)
    // may draw the last frame alone.
    std::function<bool(int frame)> draw;
};

struct GameRunResult {
    int exitCode = -1;
    std::string scriptError;  // a script that did not parse plays nothing
    std::vector<GameRunFrame> frames;
    PlatFrame lastFrame;      // the last frame presented before the window closed
    std::vector<std::vector<uint8_t>> presented;  // every frame presented, when kept
    std::vector<GameRunEvent> events;  // with keepObjects, in the order seen
    std::vector<int16_t> sound;        // with keepSound: interleaved stereo at soundRate
    int soundRate = 0;
};

// Runs the program once with the start-up wiring installed; keepFrames keeps every presented
// frame (for comparing two runs).
GameRunResult GameRun_Play(const GameRunOptions& options, bool keepFrames = false);

// Draws every frame (for runs that keep or compare all the frames presented).
std::function<bool(int frame)> GameRun_DrawEvery();
// Draws the frames from `first` on.
std::function<bool(int frame)> GameRun_DrawFrom(int first);
// Draws only the frame that the window shows last in a run of `frames` frames: the one drawn two
// frames before the window closes (a frame is presented as the next one starts, and the window
// closes within the last frame).
std::function<bool(int frame)> GameRun_DrawLast(int frames);

// For a test that runs the program itself and looks at no picture: from now on the software
// driver draws and presents nothing (AppFixture's TearDown puts the render seam back).
void GameRun_DrawNothing();

// An atStart that puts the user's craft on the ground at (x, z), facing along (fx, 0, fz), at rest.
std::function<void(class GameObject* user)> GameRun_PlaceAt(float x, float z, float fx, float fz);

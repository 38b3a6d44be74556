// One software frame of a map as the game draws it: the sky, the terrain, whatever the scene
// adds (the sample objects of the snapshot), then the render queue's flush, into a 640 x 480
// 8-bit buffer. The random generator is seeded with a fixed value and the platform clock is a
// virtual one, so the same request always gives the same picture.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct RenderView;

namespace content {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr uint32_t kFrameRandomSeed = 1234;

struct FrameRequest {
    std::string map;              // the map name ("sample")
    double x = 0, z = 0;          // the camera's ground position, metres
    float eye = 3;                // metres above the ground there
    float heading = 0;            // degrees: 0 along +z, 90 along +x
    float pitch = 0;              // degrees, positive upwards
    int drawingOption = 3;        // the terrain detail option
    int skyDetail = 3;            // the sky detail option
    // After the map is loaded (objects placed); false with an error ends the frame.
    std::function<bool(std::string* error)> setUp;
    // After the terrain is drawn, before the flush.
    std::function<void(RenderView* view)> draw;
};

struct Frame {
    std::vector<uint8_t> pixels;   // palette indices, row by row
    std::vector<uint8_t> palette;  // 768 bytes: the map's palette
    int polygons = 0;              // terrain polygons queued
};

// Draws the frame from the world in the data root (the file system must be started).
bool DrawFrame(const FrameRequest& request, Frame* out, std::string* error);
// A binary PPM ("P6\n640 480\n255\n", then red, green, blue per pixel).
std::string FramePpm(const Frame& frame);
// Starts the file system on dataDir, draws the frame and writes the picture.
bool WriteFrame(const std::string& dataDir, const FrameRequest& request, const std::string& outPath, Frame* out,
                std::string* error);

}  // namespace content

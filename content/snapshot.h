// A picture of the sample objects: one object of each sample model in a row on the flat ground
// of the sample map, seen by a fixed camera, drawn through the entity draw passes, the render
// queue and the software rasteriser into a 640 x 480 8-bit frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Objkr/entity.h"

namespace content {

constexpr int kSnapshotWidth = 640;
constexpr int kSnapshotHeight = 480;

struct Snapshot {
    std::vector<uint8_t> pixels;   // palette indices, row by row
    std::vector<uint8_t> palette;  // 768 bytes, the sample palette
};

struct ModelDef;

// An empty entity layer ready for models: table, allocator, geometry and texture caches,
// animation objects following the table, no cached trees.
void StartEntityWorld();
// A root read from the sample model and entered in the table at the position (null when the
// file cannot be read).
EntityTableRecord* EnterSampleModel(const ModelDef& model, const DVector& position);

// Draws the scene from the world in the data root (the file system must be started).
// animationSeconds: how long the comm tower's dish sequence plays before the frame is drawn.
bool DrawSnapshot(Snapshot* out, float animationSeconds, std::string* error);
// A binary PPM ("P6\n640 480\n255\n", then red, green, blue per pixel).
std::string SnapshotPpm(const Snapshot& snapshot);
// Starts the file system on dataDir, draws the scene and writes the picture.
bool WriteSnapshot(const std::string& dataDir, const std::string& outPath, std::string* error);

}  // namespace content

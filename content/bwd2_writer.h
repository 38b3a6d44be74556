// Writers of "BWD2" chunk files: structure (".sdf") and vehicle (".vdf") definitions, their
// part records and chunks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/mathlib.h"

namespace content {

struct Bwd2Chunk {
    std::string tag;   // up to 4 characters, zero-padded
    std::string data;  // what follows the 8-byte header
};

// One chunk: tag, u32 size of the whole chunk, data.
std::string Bwd2ChunkBytes(const Bwd2Chunk& chunk);
// "BWD2", "REV" with the revision, the body chunks, "EXIT".
std::string Bwd2FileBytes(uint32_t revision, const std::vector<Bwd2Chunk>& body);

struct PartRecord {
    std::string name;  // the part (and, with ".geo", its geometry file) name; up to 8 characters
    float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // right, up, front
    Vector position{0, 0, 0};
    std::string parent = "world";
    Vector centre{0, 0, 0};
    float radius = 0;
    Vector half{0, 0, 0};
    int32_t type = 0;
    uint32_t flags = 0;
    float spinValue = 0;          // 120-byte records only
    float spinRate[3] = {0, 0, 0};  // 120-byte records only
};

// A part record of 100 (vehicle) or 120 (structure) bytes.
std::string PartRecordBytes(const PartRecord& record, size_t size);

// A part of a model: its record at level 0, state 0, and the geometry names of the other levels
// and states (an empty name writes "null": the part shows nothing there).
struct ModelPart {
    PartRecord record;
    // geometry[level][state]; missing entries are empty.
    std::vector<std::vector<std::string>> geometry;
};

struct ModelLocator {
    char kind = 0;  // '(' cockpit, '*' eye point, '&' headlight mask, others: a child entity
    Vector position{0, 0, 0};
};

struct ModelLight {
    int kind = 0;  // 0 point, 1 spot
    Vector direction{0, 0, 1};
    Vector position{0, 0, 0};
    float cone = 0.5f;
    float range = 30.0f;
};

struct ModelDef {
    std::string file;  // "name.sdf" or "name.vdf"
    bool vehicle = false;
    std::string objectGeometry;  // the "SOBJ" name; empty writes "null"
    float extra[5] = {0, 0, 0, 0, 0};  // the 20 extra bytes
    float mass = 0;                    // vehicles
    std::vector<ModelPart> parts;
    std::vector<ModelLocator> locators;  // vehicles
    std::vector<ModelLight> lights;
    std::string animation;  // the data of an "ANIM" chunk, none when empty
    bool collision = false;  // vehicles: a "COLP" chunk with collisionValues
    float collisionValues[12] = {};
};

// Chunk data of the model's chunks.
std::string SdfcData(const ModelDef& model);
std::string VdfcData(const ModelDef& model);
std::string NameData(const std::string& name);  // "SOBJ": 8 name bytes
std::string GeoRecordsData(const ModelDef& model);  // "SGEO" or "VGEO"
std::string LocatorData(const ModelLocator& locator);
std::string LightData(const ModelLight& light);
std::string CollisionData(const float values[12]);
// One sequence of an "ANIM" block: its key, length in frames, loop count, speed, and the turn
// about y every part makes from the sequence's first frame to its last.
struct AnimSequence {
    int key = 0;
    int length = 2;
    int loops = 0;
    float speed = 10.0f;
    float angle = 0.0f;
};
// An "ANIM" block: header, the sequences laid end to end on one timeline (the first starts at
// frame 0), one track per part name with two rotation keys a sequence (identity at its first
// frame, then its turn at its last).
std::string AnimationData(const std::vector<std::string>& trackNames, const std::vector<AnimSequence>& sequences);
// The block of a single sequence.
std::string AnimationData(const std::vector<std::string>& trackNames, int key, int length, int loops, float speed,
                          float angle);

// The whole file, revision 8 for a structure and 7 for a vehicle.
std::string ModelFileBytes(const ModelDef& model);

}  // namespace content

// Structure (".sdf") and vehicle (".vdf") definition files: chunk files of the "BWD2" container.
//
// A file is a run of chunks, each an 8-byte header (4-character tag, u32 size of the whole
// chunk) and its data: "BWD2" (size 8), "REV" (the revision), the body chunks, "EXIT". Reading
// one builds an object's entity tree under a fresh root: one child per part, named, placed and
// parented by name, with its geometry for every level of detail and state, plus locators,
// lights, animations and collision data.
//
// The reader walks the file's chunks against a table of the expected chunks in order; chunks a
// file leaves out are skipped, and each entry's flags say what a missing or failed chunk means.
#pragma once
#include <cstddef>
#include <cstdint>

#include "Objkr/entity.h"

// Flags of a chunk-table entry.
constexpr uint32_t kChunkSkipped = 0x1;         // listed, never handled
constexpr uint32_t kChunkPassData = 0x2;        // on the first entry: handlers get the data, not the chunk
constexpr uint32_t kChunkFatal = 0x4;           // a failed chunk ends the program
constexpr uint32_t kChunkWarn = 0x8;            // a failed chunk is reported with a warning
constexpr uint32_t kChunkStopOnFail = 0x10;     // a failed chunk ends the read at its position
constexpr uint32_t kChunkFailOnFail = 0x20;     // a failed chunk ends the read with failure
constexpr uint32_t kChunkMandatory = 0x40;      // the file must hold this chunk
constexpr uint32_t kChunkSeen = 0x80;           // set by the reader
constexpr uint32_t kChunkCount = 0x100;         // starts a counted run
constexpr uint32_t kChunkCounted = 0x200;       // belongs to a counted run
constexpr uint32_t kChunkRepeat = 0x400;        // consecutive chunks of this tag are all read
constexpr uint32_t kChunkArgResult = 0x800;     // handler argument: the caller's result record
constexpr uint32_t kChunkArgEntry = 0x1000;     // handler argument: the table entry
constexpr uint32_t kChunkArgFileName = 0x2000;  // handler argument: the file name

constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kVehiclePartSize = 100;
constexpr size_t kStructurePartSize = 120;
constexpr int kStructureLevels = 3, kStructureStates = 2;
constexpr int kVehicleLevels = 7, kVehicleStates = 4;

// chunk: the chunk from its header (or its data, see kChunkPassData); end: the end of the
// chunk's bytes. Nonzero on success.
using ObjLoadHandler = int (*)(const uint8_t* chunk, void* argument, const uint8_t* end);

struct ObjLoadChunkEntry {
    char tag[4];
    uint32_t unused;
    ObjLoadHandler handler;  // null: the chunk is passed over
    uint32_t flags;
};

// The caller zeroes it; the readers fill it.
struct ObjLoadResult {
    Entity* root;
    uint8_t* extraData;  // where a definition's 20 extra bytes go; the readers point it
    int32_t collisionGiven;
    float collision[12];  // the "COLP" values s0..s11
    uint8_t extra[kEntityExtraSize];
    int32_t extraGiven;
    uint8_t vehicleScratch[kEntityExtraSize];  // the vehicle reader's extra bytes go here
};

// The attached collision record made from a result's collision values: the vehicle's
// collision box, slab counts then slab bounds per axis (the collision layer's box record).
struct ObjLoadCollision {
    int32_t counts[3];  // 4, 4, 4
    float values[12];   // s7, s6, s5, s4, s11, s10, s9, s8, s3, s2, s1, s0
};
static_assert(sizeof(ObjLoadCollision) == 60);

// The tables of the readers (copied before each read; the reader marks the copies).
extern const ObjLoadChunkEntry kObjLoadHeaderTable[2];
extern const ObjLoadChunkEntry kObjLoadStructureTable[7];
extern const ObjLoadChunkEntry kObjLoadVehicleTable[14];

// Reads a structure file (the name with its extension) into the root. A null name or one
// beginning with "null" succeeds without reading. Nonzero on success.
int ObjLoad_ReadSdf(Entity* root, ObjLoadResult* result, const char* fileName);
// Reads "<file part of path, less any extension>.vdf" into the root.
int ObjLoad_ReadVdf(Entity* root, ObjLoadResult* result, const char* path);
// Takes the file's image from the file cache, reads the header chunks and then the body chunks
// against the table (a working copy), and unlocks the image. 0 when the file is missing or the
// read fails.
int ObjLoad_ReadFile(const char* name, const ObjLoadChunkEntry* table, int entries, void* argument);
// Reads chunks from at against the table; returns where reading stopped, null on failure.
const uint8_t* ObjLoad_ReadChunks(const uint8_t* at, const uint8_t* end, ObjLoadChunkEntry* table, int entries,
                                  void* argument, const char* fileName);
// The revision expected for a file extension (".sdf" 8, ".vdf" 7 ...), -1 when unknown.
int ObjLoad_ExpectedRevision(const char* extension);
int ObjLoad_CheckRevision(const uint8_t* chunk, void* fileName, const uint8_t* end);

// out (at least 8 + strlen(extension) + 1 bytes): up to 8 characters of name with bit 7 cleared,
// stopping at a zero byte, then the extension (or zeros up to 8 characters without one). False
// (out empty) for an empty name or one beginning with "null".
bool ObjLoad_MakeName(char* out, const uint8_t* name, const char* extension);
// A new child of parent (or a root) from a part record of recordSize bytes; name8, when given,
// replaces the record's name. classOnly leaves bounds and spinner values alone.
Entity* ObjLoad_MakeEntity(Entity* parent, const uint8_t* record, size_t recordSize, const char* name8,
                           bool classOnly);
// Depth first from root (an entity, its children, then its next sibling).
Entity* ObjLoad_FindByName(Entity* root, uint32_t word1, uint32_t word2);
Entity* ObjLoad_FindByName(Entity* root, const char* name);
// A new attached record (C heap) from the result's collision values.
ObjLoadCollision* ObjLoad_NewMatrix(const ObjLoadResult& result);

// What the reader asks of its neighbours; ObjLoad_ResetServices puts the defaults back.
struct ObjLoadServices {
    // The entity type of the object class named by a part of type 1, 3 or 6.
    int32_t (*objectClassType)(const char name[8], int32_t type);
    // The renderer's current lighting setting; 1 suppresses headlight masks.
    int (*lightingSetting)();
    void (*lightCreate)(Entity* owner, int kind, float range, float cone, const Vector& direction,
                        const Vector& position);
    // Lists a headlight mask with the terrain's entities (Terrain_InstallSeam fills it).
    void (*terrainAddEntity)(Entity* entity);
    // Hands an "ANIM" chunk (size bytes from its header) to the animation objects; 0 on success.
    int (*animAdd)(const uint8_t* chunk, uint32_t size, Entity* owner);
};
ObjLoadServices& ObjLoad_Services();
void ObjLoad_ResetServices();

// The animation blocks the default animAdd keeps, and their release.
int ObjLoad_KeptAnimBlocks();
Entity* ObjLoad_KeptAnimOwner(int index);
void ObjLoad_ClearKeptAnimBlocks();

// Geometry files (".geo"), the geometry cache and the geometry lists of entities.
//
// A ".geo" file holds one drawable part: vertices, per-vertex normals and polygonal faces with
// colour, texture name and plane. Loaded geometries are shared through a cache of 1024 entries,
// found by their 8-character name, with a use count each. An entity keeps a list of the
// geometries it may show, keyed by state and level; one of them is its current geometry.
#pragma once
#include <cstddef>
#include <cstdint>

#include "Objkr/entity.h"
#include "Objkr/geomtypes.h"

constexpr int kGeomCacheSize = 1024;
constexpr size_t kGeoHeaderSize = 36;
constexpr size_t kGeoFaceHeaderSize = 55;
constexpr size_t kGeoVertexRefSize = 16;
constexpr int kGeoTextureChars = 15;

struct GeomCacheEntry {
    uint32_t name[2];     // the 8-character name as two little-endian words
    Geometry* geometry;   // null: entry free
    int32_t useCount;
    uint32_t fileSize;
    uint32_t unused;
};

// ---- the cache ----------------------------------------------------------------------------

// The cached geometry of that name with one more use; else loads "<name>.geo" through the
// index. Null when the file is missing or not a geometry, and (with a warning) when all 1024
// entries hold geometries that are in use.
Geometry* GeomCache_Get(uint32_t word1, uint32_t word2);
// One use less (never below 0); the geometry stays cached.
void Geom_Unref(Geometry* geometry);
// Every entry free, count 0; frees nothing (mission start, after GeomCache_FreeAll).
void GeomCache_Reset();
// Frees every cached geometry and empties the entries (mission end).
void GeomCache_FreeAll();
// Frees the largest unused geometry (use count 0 or less) and returns its entry, or null.
GeomCacheEntry* GeomCache_EvictLargest();
int GeomCache_Count();
const GeomCacheEntry* GeomCache_Entry(int index);  // null outside 0..1023

// ---- parsing ------------------------------------------------------------------------------

// Builds a geometry from a ".geo" image. Null when the signature is not "OEG." or when a count,
// size or vertex index does not fit the image. NaN vertices and normals are repaired (messages
// through Debug_Trace).
Geometry* Geom_Parse(const void* data, size_t size);
// A zeroed block for geometry built in code: vertex and normal arrays of `vertices` entries,
// room for `faces` faces (faceStore) and `references` corners (refStore).
Geometry* Geom_AllocBlock(int references, int faces, int vertices);
// Frees a geometry made by Geom_Parse or Geom_AllocBlock.
void Geom_Free(Geometry* geometry);

// ---- keys and names -----------------------------------------------------------------------

inline int32_t Geom_MakeKey(int state, int level) {
    return static_cast<int32_t>((static_cast<uint32_t>(state) << 16) | (static_cast<uint32_t>(level) & 0xFFFF));
}
inline void Geom_SplitKey(int32_t key, int* state, int* level) {
    *state = static_cast<int>(static_cast<uint32_t>(key) >> 16);
    *level = static_cast<int>(static_cast<uint32_t>(key) & 0xFFFF);
}
// name: 8 characters NUL-padded from the '.'; extension: the 4 bytes from the '.' (zeros when
// there is none).
void Geom_SplitName(const char* fileName, char name[8], char extension[4]);
// out (13 bytes): the name up to 8 characters or a NUL, the extension's bytes, a NUL.
void Geom_JoinName(char out[13], const char name[8], const char extension[4]);
// A name without '.' or with the extension ".map" (any case).
bool Geom_IsMapFile(const char* name);

// ---- lists --------------------------------------------------------------------------------

// Adds the geometry of the file name under (state, level); 1 when it was found. A null name or
// one beginning with "null" only clears the current geometry (at state 0, level 0).
int GeomList_Add(Entity* entity, const char* name, int state, int level);
// The entity gets a copy of the source's list with every geometry looked up again.
void GeomList_CopyFromDef(const Entity* source, Entity* entity);
void GeomList_Free(Entity* entity);
void GeomList_FreeTree(Entity* entity);
// The item with exactly that key and a geometry becomes the current geometry; 0 when none.
int GeomList_Select(Entity* entity, int state, int level);
// Level or state change with the fall-back to level 0 (never for level 1); 0 and no current
// geometry when nothing fits.
int GeomList_SetLevel(Entity* entity, int level);
int GeomList_SetState(Entity* entity, int state);
// On the entity and all its descendants; 1 when any of them has a geometry afterwards.
int GeomList_SetStateTree(Entity* entity, int state);
// Selects the level and returns the first face texture name that is not a ".map" name.
const char* GeomList_TextureName(Entity* entity, int level);

// ---- faces and views ----------------------------------------------------------------------

// The plane of a face over the geometry's vertices (see the source for the choice of points).
Plane Geom_FacePlane(const GeomFace& face, const Vector* vertices);
// Writes the geometry's vertices, normals and faces to "objtest.txt" through the debug log.
void Geom_Dump(const Geometry* geometry);

// What the geometry code asks of rendering. Objkr_ResetServices does not touch it;
// Geom_ResetServices puts the defaults back.
struct GeomServices {
    int (*paletteFindNearest)(float red, float green, float blue);
    bool (*fileExists)(const char* name);  // the index's look-up of a texture file
};
GeomServices& Geom_Services();
void Geom_ResetServices();

// The geometry records an entity refers to: the shared geometry of a model part (vertices,
// normals and polygonal faces) and the list of geometries an entity may show, keyed by state
// and level.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct GeomCacheEntry;

// One corner of a face: the vertex it uses and its texture coordinates.
struct GeomVertexRef {
    int32_t vertex;  // index into the geometry's vertex (and normal) array
    int32_t word;    // carried from the file, not read here
    float u, v;
};

// A face name holds up to 15 characters plus a 4-character extension and a NUL.
constexpr int kGeomTextureNameSize = 20;

struct GeomFace {
    GeomFace* next;  // the next face in file order
    int32_t vertexCount;
    int32_t colourIndex;  // the palette entry nearest to red, green, blue
    uint8_t red, green, blue;
    uint8_t kept[3];  // carried from the file, not read here
    Plane plane;      // through the face; d = -(normal . centroid)
    char texture[kGeomTextureNameSize];  // lower case with ".tmt" or ".map", or empty
    Vector centroid;
    GeomVertexRef* refs;  // vertexCount entries
};

struct Geometry {
    GeomCacheEntry* cacheEntry;  // the cache entry the geometry belongs to; null when built in code
    int32_t vertexCount;
    int32_t normalCount;
    Vector* vertices;
    Vector* normals;  // normal i belongs to vertex i
    GeomFace* firstFace;
    int32_t faceCount;
    // Storage of the faces and their corner records inside the same block (Geom_AllocBlock).
    GeomFace* faceStore;
    GeomVertexRef* refStore;
};

// Key = (state << 16) | level.
struct GeomItem {
    int32_t key;
    Geometry* geometry;  // null when the file was missing
    char name[8];
};

struct GeomList {
    int32_t count;
    int32_t capacity;
    int32_t currentKey;
    GeomItem* items;
};

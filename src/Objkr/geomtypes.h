// The geometry records an entity refers to: the shared geometry of a model part and the list of
// geometries an entity may show, keyed by state and level.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct GeomFace;

struct Geometry {
    void* cacheEntry;  // the cache entry the geometry belongs to
    int32_t vertexCount;
    int32_t normalCount;
    Vector* vertices;
    Vector* normals;
    GeomFace* firstFace;
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

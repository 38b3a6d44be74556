// What the shot tests build their worlds from: placements, an open sky with nothing to hit, a
// flat 1280 m map with a 1 m cube shape served from a scratch archive, a target that counts its
// hits, a drawing stand-in that finds every sprite and sees along +z, and a network stand-in
// that keeps the ordnance messages it is handed.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/geometry.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/odf.h"
#include "core/seams/render.h"
#include "core/seams/net.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectslot.h"
#include "fun3d/particlebuffer.h"
#include "geo_writer.h"
#include "weapon_definitions.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/ordnance.h"
#include "terrain_writer.h"

// The height of the flat map's ground and the middle of the map along both axes.
constexpr float kGround = 10.0f;
constexpr float kMid = 640.0f;

inline Matrix Aim(float x, float y, float z, Vector front) {
    return Matrix_FromPositionDirection(DVector{x, y, z}, front);
}
inline Vector Pos(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

// A target that counts what hits it.
class CountingTarget : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo*, const Vector*) override {
        ++hits;
        return false;
    }
    int hits = 0;
};

// No map: bounds 10 km wide around the origin, 0 to 100 m high, an empty object grid, and the
// clock at 10 s.
inline void OpenSky() {
    TerrainBounds.minXm = TerrainBounds.minZm = -5000.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 5000.0f;
    TerrainBounds.lowest = 0.0f;
    TerrainBounds.highest = 100.0f;
    GameObject_CreateGrid();
    Clock_SetTime(10.0f);
}

// The archive records of the flat map "flat" at kGround and of the 1 m cube "chunk1.geo".
inline std::vector<content::ArchiveRecord> FlatMapRecords() {
    content::TerrainMapSpec spec;
    spec.name = "flat";
    spec.width = 1280;
    spec.depth = 1280;
    spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
    std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
    content::GeoStyle style;
    records.push_back({"chunk1.geo", content::GeoBytes(content::GeoBox("chunk1", Vector{-0.5f, -0.5f, -0.5f},
                                                                      Vector{0.5f, 0.5f, 0.5f}, style))});
    return records;
}

// Loads the flat map from the installed records; a failure is a test failure.
inline void LoadFlatMap() {
    Terrain_SetBaseHeight(0);
    Terrain_SetFileName("flat");
    ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
    ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
    Terrain_Init(0);
}

// Frees the flat map and the shapes loaded over it.
inline void UnloadFlatMap() {
    GeomCache_FreeAll();
    Terrain_FreeAll();
    Terrain_ClearEntityList();
    Terrain_SetFileName("");
}

// The ordnance messages handed to the network stand-in.
inline std::vector<std::vector<uint8_t>> g_queued;

// The parts of the network stand-in every shot test wants: 512-byte messages, no debug output,
// ordnance messages kept in g_queued, nothing to clear.
inline void StubOrdnanceNet(NetSeam& net) {
    net.maxMessageSize = [] { return 512; };
    net.debugFlag = [] { return false; };
    net.debugLog = [](const char*) {};
    net.queueOrdnance = [](const uint8_t* m, int n) {
        g_queued.emplace_back(m, m + n);
        return 0;
    };
    net.clearQueuedOrdnance = [] {};
}

// The parts of the drawing stand-in every shot test wants: every named sprite exists, each under
// a number of its own, and the view sits at the origin looking along +z, so depth is z.
inline void StubSpritesAndView(RenderSeam& r) {
    r.spriteFind = [](const char* name) -> int {
        return name && name[0] ? 100 + static_cast<int>(Text_HashNoCase(name) % 5000) : 0;
    };
    r.sphereViewDepth = [](const RenderView*, const float* c, float, float* depth) {
        if (c[2] <= 0.0f) return false;
        if (depth) *depth = c[2];
        return true;
    };
}

// The archive record "<name>.odf" of an explosion class.
inline void AddExplosionRecord(std::vector<content::ArchiveRecord>& records, const std::string& name,
                               const content::ExplosionValues& v) {
    std::string text, error;
    ASSERT_TRUE(content::ExplosionDefinitionText(v, &text, &error)) << error;
    records.push_back({name + ".odf", text});
}

// Ends every shot, particle, effect and flying chunk a test left behind.
inline void ClearShotsAndEffects() {
    Ordnance_DeleteAll();
    ParticleBuffer_Clear();
    EffectList::Clear();
    Chunk_Effect().MissionCleanup();
    Chunk_Effect().Forget();
}

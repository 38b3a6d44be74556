// Debris chunks: pieces thrown from destroyed objects that spin, fall, bounce off the terrain,
// trail smoke and explode when they come to rest. Each chunk is an entity of type code 53 under
// one root entity ("chunk") entered in the world's entity table, so the entity drawing draws
// them and the world's teardown releases whatever is left; the module forgets them at the next
// mission start.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "core/phasehook.h"
#include "fun3d/particlebuffer.h"

struct Entity;

constexpr int kChunkMax = 1024;
constexpr int kChunkGeometryMax = 64;
constexpr int32_t kTypeChunk = 53;
// A chunk entity's flag: it trails smoke.
constexpr uint32_t kChunkSmoking = 0x8;

struct Chunk {
    Entity* entity;
    float smokeTimer;
    Vector velocity;
    Vector spin;  // turn per second about the chunk's own axes
};

struct ChunkSettings {
    char smokeSprite[16];
    int32_t smokeFrames;
    float smokeLifetime;
    float smokeInterval;
    float smokeSize;
    float smokeSpread;
    float smokeInherit;
    int32_t geometryCount;  // 0..64
};

class ChunkEffect : public PhaseHook {
public:
    // Forgets the last mission's chunks, reads "chunk.odf", makes the root and the geometry
    // templates.
    void MissionSetup() override;
    // Registers the chunk trail's smoke kind.
    void PostLoad() override;
    // Releases the geometry templates.
    void MissionCleanup() override;
    // Explodes the chunks that came to rest, moves, bounces and smokes the others.
    void Simulate(float frameTime) override;
    // Chunks are entities: the entity drawing draws them.
    void Render(RenderView*) override {}

    // One new chunk of a random geometry; none with 1024 live or no geometry to throw.
    Chunk* Spawn(const Vector& position, const Vector& velocity, bool smoking);
    // The part becomes a chunk; a part without geometry, or one more than the table holds, is
    // released instead.
    Chunk* TakeOverPart(Entity* part, const Vector& velocity, bool smoking);
    // Every part of the entity's tree that has a parent becomes a chunk, pushed away from the
    // first entity's position.
    void SpawnFromEntityList(Entity* first, const Vector& velocity, bool smoking);
    // The same for a building's part tree: an entity's sub-entities and its tree of parts are
    // one child-and-sibling tree here, so both walk it alike.
    void SpawnFromPartTree(Entity* first, const Vector& velocity, bool smoking) {
        SpawnFromEntityList(first, velocity, smoking);
    }

    int LiveCount() const { return liveCount; }
    Chunk& At(int i) { return chunks[i]; }
    Entity* Root() const { return chunkRoot; }
    int GeometryCount() const { return geometryCount; }
    const ChunkSettings& Settings() const { return settings; }
    // Forgets everything without touching an entity (tests' state reset).
    void Forget();

private:
    Chunk* Store(Entity* e, const Vector& velocity);
    void Explode(Chunk& c);
    void Move(Chunk& c, float dt);

    Chunk chunks[kChunkMax] = {};
    int liveCount = 0;
    ChunkSettings settings{};
    ParticleKind* smokeKind = nullptr;
    Entity* chunkRoot = nullptr;
    Entity* templates[kChunkGeometryMax] = {};
    int geometryCount = 0;
};

ChunkEffect& Chunk_Effect();
PhaseHook& ChunkEffect_Member();

#include "weapons/chunkeffect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/classfnc.h"
#include "Terrain/terrheight.h"
#include "core/odf.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "platform/random.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/firedue.h"

namespace {

constexpr uint32_t kOdfSmokeSprite = 0x88f1ef89;
constexpr uint32_t kOdfSmokeFrames = 0xdd33060c;
constexpr uint32_t kOdfSmokeLifetime = 0x567840fc;
constexpr uint32_t kOdfSmokeInterval = 0x01f6a810;
constexpr uint32_t kOdfSmokeSize = 0x8566cba4;
constexpr uint32_t kOdfSmokeSpread = 0xbb8ad7d1;
constexpr uint32_t kOdfSmokeInherit = 0x40a86add;
constexpr uint32_t kOdfGeometryCount = 0x26c0023a;
// The geometry keys are this hash state continued over the number.
constexpr uint32_t kOdfGeometrySeed = 0x3acf08fb;

constexpr uint32_t kChunkRootFlags = 0x101;
constexpr float kGravity = 9.8f;
constexpr float kRestSpeed = 0.5f;
// More puffs than this in one update come from a broken interval or a huge step.
constexpr int kMaxPuffsPerUpdate = 64;

constexpr float kPi = 3.14159265358979f;

Vector Position(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

void Turn(Matrix& m, const Vector& spin, float dt) {
    if (spin.x == 0.0f && spin.y == 0.0f && spin.z == 0.0f) return;
    const DVector posit = m.posit;
    const Matrix turn = Matrix_FromEuler(spin.x * dt, spin.y * dt, spin.z * dt, 0.0, 0.0, 0.0);
    Matrix_Multiply(m, turn, m);
    m.posit = posit;
}

float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The standard explosion for a chunk of this radius; none for the smallest.
ExplosionClass* ExplosionFor(float radius) {
    ExplosionManager& m = Explosion_Manager();
    if (radius > 10.0f) return m.stdExplosionBld;
    if (radius > 2.0f) return m.stdExplosionCar;
    if (radius > 0.5f) return m.stdExplosionSec;
    return nullptr;
}

void SetBoundsFromGeometry(Entity* e) {
    Vector lo{}, hi{};
    Entity_ComputeExtents(e, lo, hi);
    e->boxMin = lo;
    e->boxMax = hi;
    e->boundsCentre = Vector{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    e->boundsRadius = Entity_ComputeRadius(e, e->boundsCentre.x, e->boundsCentre.y, e->boundsCentre.z);
}

}  // namespace

void ChunkEffect::Forget() {
    liveCount = 0;
    chunkRoot = nullptr;
    smokeKind = nullptr;
    std::fill(std::begin(templates), std::end(templates), nullptr);
    geometryCount = 0;
}

void ChunkEffect::MissionSetup() {
    // The last mission's chunks went with the world's entities.
    liveCount = 0;
    OdfFile odf("chunk.odf");
    ChunkSettings& s = settings;
    odf.GetString(kOdfSmokeSprite, s.smokeSprite, sizeof s.smokeSprite, "bsmoke.0");
    odf.GetInt(kOdfSmokeFrames, &s.smokeFrames, 16);
    odf.GetFloat(kOdfSmokeLifetime, &s.smokeLifetime, 1.6f);
    odf.GetFloat(kOdfSmokeInterval, &s.smokeInterval, 0.1f);
    odf.GetFloat(kOdfSmokeSize, &s.smokeSize, 0.8f);
    odf.GetFloat(kOdfSmokeSpread, &s.smokeSpread, 1.5f);
    odf.GetFloat(kOdfSmokeInherit, &s.smokeInherit, 0.5f);
    odf.GetInt(kOdfGeometryCount, &s.geometryCount, 2);
    // A negative or huge count would allocate or loop without end.
    s.geometryCount = std::clamp(s.geometryCount, 0, kChunkGeometryMax);

    chunkRoot = Entity_New(nullptr);
    Entity_SetName(chunkRoot, "chunk");
    chunkRoot->flags = kChunkRootFlags;
    chunkRoot->type = kTypeChunk;
    Entities_Add(chunkRoot, Entities_NewInstanceNumber(Entity_NameWord(chunkRoot, 0), Entity_NameWord(chunkRoot, 1)),
                 nullptr, nullptr);

    // Templates left from a mission that never cleaned up are released first.
    MissionCleanup();
    for (int i = 1; i <= s.geometryCount; ++i) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "chunk%d.geo", i);
        char name[16];
        odf.GetString(Text_HashNumbered(kOdfGeometrySeed, i), name, sizeof name, fallback);
        Entity* t = Entity_New(nullptr);
        GeomList_Add(t, name, 0, 0);
        GeomList_Select(t, 0, 0);
        SetBoundsFromGeometry(t);
        templates[geometryCount++] = t;
    }
}

void ChunkEffect::PostLoad() {
    const ChunkSettings& s = settings;
    const float rate = s.smokeLifetime > 0.0f ? static_cast<float>(s.smokeFrames) / s.smokeLifetime : 0.0f;
    smokeKind = EffectList::Add(Seam_Render().spriteFind(s.smokeSprite), s.smokeFrames, rate, s.smokeSize, 1.0f);
}

void ChunkEffect::MissionCleanup() {
    for (int i = 0; i < geometryCount; ++i) Entity_Release(templates[i]);
    std::fill(std::begin(templates), std::end(templates), nullptr);
    geometryCount = 0;
}

Chunk* ChunkEffect::Store(Entity* e, const Vector& v) {
    Chunk& c = chunks[liveCount++];
    c.entity = e;
    c.smokeTimer = 0.0f;
    const float r1 = RandomTable_Next(), r2 = RandomTable_Next(), r3 = RandomTable_Next();
    c.velocity = Vector{10.0f * r1 + v.x, 10.0f * r2 + v.y + 5.0f, 10.0f * r3 + v.z};
    const float s1 = RandomTable_Next(), s2 = RandomTable_Next(), s3 = RandomTable_Next();
    c.spin = Vector{5.0f * s1, 5.0f * s2, 5.0f * s3};
    return &c;
}

Chunk* ChunkEffect::Spawn(const Vector& position, const Vector& velocity, bool smoking) {
    if (liveCount >= kChunkMax || geometryCount < 1 || !chunkRoot) return nullptr;
    Entity* e = Entity_New(chunkRoot);
    e->type = kTypeChunk;
    e->flags = smoking ? kChunkSmoking : 0;
    const float r1 = RandomTable_Next(), r2 = RandomTable_Next();
    const float yaw = static_cast<float>(Random_Next()) * (2.0f * kPi / static_cast<float>(GV_RAND_MAX));
    e->local = Matrix_FromEuler(r2 * kPi / 2.0f, yaw, r1 * kPi / 20.0f, position.x, position.y, position.z);
    const Entity* t = templates[Random_Next() % geometryCount];
    GeomList_CopyFromDef(t, e);
    GeomList_Select(e, 0, 0);
    e->boxMin = t->boxMin;
    e->boxMax = t->boxMax;
    e->boundsCentre = t->boundsCentre;
    e->boundsRadius = t->boundsRadius;
    return Store(e, velocity);
}

Chunk* ChunkEffect::TakeOverPart(Entity* part, const Vector& velocity, bool smoking) {
    if (!part) return nullptr;
    if (!part->geometry || liveCount >= kChunkMax || !chunkRoot) {
        Entity_Release(part);
        return nullptr;
    }
    Classfnc_FreeData(part->type, part->classData);
    part->classData = nullptr;
    part->owner = nullptr;
    part->type = kTypeChunk;
    Matrix world;
    Entity_GetTransformTo(world, part, nullptr);
    part->local = world;
    part->flags = smoking ? kChunkSmoking : 0;
    Entity_Detach(part);
    Entity_AttachChild(part, chunkRoot);
    return Store(part, velocity);
}

void ChunkEffect::SpawnFromEntityList(Entity* first, const Vector& velocity, bool smoking) {
    if (!first) return;
    float centre[3];
    Entity_GetWorldPos(centre, first);
    // The parts are listed first (children before their parent) and taken over afterwards:
    // taking one over changes the links the walk follows.
    Entity* parts[kChunkMax];
    int count = 0;
    auto collect = [&](auto&& self, Entity* e) -> void {
        for (Entity* c = e->child; c; c = c->next) self(self, c);
        Entity* parent = Entity_GetParent(e);
        if (!parent) return;
        if (e->type == 60 && !Entity_GetParent(parent)) return;
        if (count < kChunkMax) parts[count++] = e;
    };
    collect(collect, first);
    for (int i = 0; i < count; ++i) {
        Chunk* c = TakeOverPart(parts[i], velocity, smoking);
        if (!c) continue;
        const Vector p = Position(c->entity);
        c->velocity.x += 2.0f * (p.x - centre[0]);
        c->velocity.y += p.y - centre[1];
        c->velocity.z += 2.0f * (p.z - centre[2]);
    }
}

void ChunkEffect::Explode(Chunk& c) {
    if (ExplosionClass* cls = ExplosionFor(c.entity->boundsRadius)) cls->Build(c.entity->local, nullptr);
    Entity_Release(c.entity);
    c = chunks[--liveCount];
}

void ChunkEffect::Move(Chunk& c, float dt) {
    Entity* e = c.entity;
    Turn(e->local, c.spin, dt);
    c.velocity.y -= kGravity * dt;
    const DVector from = e->local.posit;
    const Vector step{c.velocity.x * dt, c.velocity.y * dt, c.velocity.z * dt};
    float t = 1.0f;
    Vector n{};
    if (Terrain_RayCast(from.x, from.y, from.z, step.x, step.y, step.z, &t, &n)) {
        e->local.posit.x += static_cast<double>(step.x * t);
        e->local.posit.y += static_cast<double>(step.y * t);
        e->local.posit.z += static_cast<double>(step.z * t);
        const float vn = Dot(c.velocity, n);
        c.velocity = Vector{0.25f * c.velocity.x - 0.5f * vn * n.x, 0.25f * c.velocity.y - 0.5f * vn * n.y,
                            0.25f * c.velocity.z - 0.5f * vn * n.z};
        const float rest = (1.0f - t) * dt;
        e->local.posit.x += static_cast<double>(c.velocity.x * rest);
        e->local.posit.y += static_cast<double>(c.velocity.y * rest);
        e->local.posit.z += static_cast<double>(c.velocity.z * rest);
        // Too slow to bounce again: it explodes in the next update.
        if (c.velocity.y < kRestSpeed) e->flags |= kEntityDead;
    } else {
        e->local.posit.x += static_cast<double>(step.x);
        e->local.posit.y += static_cast<double>(step.y);
        e->local.posit.z += static_cast<double>(step.z);
    }

    if (!(e->flags & kChunkSmoking) || !smokeKind) return;
    c.smokeTimer += dt;
    // The clock runs down to the next puff; each puff leaves where the chunk was when it fell due.
    float clock = settings.smokeInterval - c.smokeTimer;
    const Vector here = Position(e);
    FireDue(clock, settings.smokeInterval, kMaxPuffsPerUpdate, [&] {
        const float age = -clock;
        const Vector at{here.x - c.velocity.x * age, here.y - c.velocity.y * age, here.z - c.velocity.z * age};
        const float r1 = RandomTable_Next(), r2 = RandomTable_Next(), r3 = RandomTable_Next();
        const Vector v{settings.smokeSpread * r1 + settings.smokeInherit * c.velocity.x,
                       settings.smokeSpread * r2 + settings.smokeInherit * c.velocity.y,
                       settings.smokeSpread * r3 + settings.smokeInherit * c.velocity.z};
        ParticleBuffer_Add(*smokeKind, at, v, age);
    });
    c.smokeTimer = settings.smokeInterval - clock;
}

void ChunkEffect::Simulate(float dt) {
    for (int i = 0; i < liveCount;) {
        Chunk& c = chunks[i];
        if (c.entity->flags & kEntityDead) {
            // The last chunk takes this slot and is processed next.
            Explode(c);
            continue;
        }
        Move(c, dt);
        ++i;
    }
}

ChunkEffect& Chunk_Effect() {
    static ChunkEffect effect;
    return effect;
}

PhaseHook& ChunkEffect_Member() { return Chunk_Effect(); }

// Weapons that act on an area: three explosion kinds (the planar blast, a flat ring that grows
// along the ground; the quake blast, which shakes the view and throws a ring of shards; the shock
// blast, which adds an expanding shock ring) and the seismic wave, a shot that travels along the
// ground lifting the terrain in a moving bump and shaking, kicking, damaging and tilting what
// stands on it.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "weapons/explosion.h"
#include "weapons/ordnance.h"

// The most shards one quake blast throws; a larger count from a file is lowered to it.
constexpr int kQuakeMostShards = 256;
// The quake blast's starting magnitude.
constexpr float kQuakeStartMagnitude = 5.0f;
// Seen from further than this (view x and z, metres) a planar blast is always a flat square.
constexpr float kPlanarPointSpriteRange = 80.0f;

// ---- explosion kinds --------------------------------------------------------------------------

class PlanarExplosionClass : public ExplosionClass {
public:
    using ExplosionClass::ExplosionClass;
    ExplosionClass* ReadOdf(const ClassName& name) override;
    Explosion* MakeObject(Entity* entity) override;
};

// Grows from the inner to the outer radius over its life.
class PlanarExplosion : public Explosion {
public:
    using Explosion::Explosion;
    void Start(const Matrix& matrix, Entity* owner) override;
    void Update(float dt) override;
    void Render(RenderView* view) override;

    float growth = 0.0f;  // metres a second
};

class QuakeBlastClass : public ExplosionClass {
public:
    QuakeBlastClass(const char* classLabel, uint32_t classSignature) : ExplosionClass(classLabel, classSignature) {}
    QuakeBlastClass(QuakeBlastClass* from, const ClassName& name);
    ExplosionClass* ReadOdf(const ClassName& name) override;
    Explosion* MakeObject(Entity* entity) override;

    int32_t shardCount = 0;
    OrdnanceClass* shardClass = nullptr;
};

class QuakeBlast : public Explosion {
public:
    using Explosion::Explosion;
    void Start(const Matrix& matrix, Entity* owner) override;
    void Update(float dt) override;
    void Remove() override;

    float magnitude = 0.0f;
    float decay = 0.0f;  // magnitude lost a second
};

class ShockBlastClass : public ExplosionClass {
public:
    using ExplosionClass::ExplosionClass;
    ExplosionClass* ReadOdf(const ClassName& name) override;
    Explosion* MakeObject(Entity* entity) override;
};

class ShockBlast : public Explosion {
public:
    using Explosion::Explosion;
    void Start(const Matrix& matrix, Entity* owner) override;
};

// The prototype of an area blast label, or null for other labels.
std::unique_ptr<ExplosionClass> AreaBlast_MakeExplosionPrototype(const char* label, uint32_t signature);
// The explosion's life in seconds: frame count over frame rate (infinite for a rate of 0 or less).
float Explosion_Lifetime(const ExplosionClass& cls);

// ---- seismic wave -----------------------------------------------------------------------------

class SeismicClass : public OrdnanceClass {
public:
    SeismicClass(const char* classLabel, uint32_t classSignature);
    SeismicClass(SeismicClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    // Side of the change buffer: the most cells the wave's rectangle can span along one axis.
    int BufferSide() const;

    float waveRadius = 50.0f;
    float invRadius = 1.0f / 50.0f;
    float falloff = -2.5f / (50.0f * 50.0f);
    float waveHeight = 6.0f;
    float launchOffset = 0.0f;
    float rampUpTime = 5.0f;
    float invRampUp = 1.0f / 5.0f;
    float rampDownTime = 2.0f;
    float invRampDown = 1.0f / 2.0f;
    float tiltSpin = 100.0f;
    float kickSpeed = 50.0f;
    float wobbleRate = 3.0f;
    float wobbleSpin = 2.0f;
    float wobbleKick = 5.0f;
    float walkerFactor = 1.0f;
    float turretFactor = 1.0f;
    float spinDamp = 0.0f;
    float levelSpin = 0.0f;
    float buildingDamage = 1.0f;
};

// The wave's cell rectangle, inclusive, already clipped to the terrain; empty when max < min.
struct SeismicRect {
    int minX = 0, minZ = 0, maxX = -1, maxZ = -1;
    bool Empty() const { return maxX < minX || maxZ < minZ; }
};

class SeismicWave : public Ordnance {
public:
    SeismicWave(Entity* entity, OrdnanceClass* ordnanceClass);
    void Launch(const Matrix& matrix, Entity* owner) override;
    void Step(float dt) override;
    void Remove() override;

    SeismicClass& Class() const { return *static_cast<SeismicClass*>(ordnanceClass); }
    // The rectangle around the wave's position, clipped to the terrain and to the buffer.
    SeismicRect ComputeRect() const;
    // The stored change of a cell of the rectangle (0 outside it).
    int ChangeAt(int x, int z) const;

    float strength = 0.0f;
    SeismicRect rect;
    int side = 0;                 // the change buffer is side x side
    std::vector<int16_t> change;  // row by row from the rectangle's corner

private:
    void Lower();
    void Raise();
    void ShakeObjects(float dt);
};

std::unique_ptr<OrdnanceClass> AreaBlast_MakeOrdnancePrototype(const char* label, uint32_t signature);

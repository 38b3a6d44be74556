#include "weapons/areablast.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"

namespace {

// Definition keys.
constexpr uint32_t kOdfShardCount = 0x46b7241d;
constexpr uint32_t kOdfShardClass = 0x3bc0709e;
constexpr uint32_t kOdfWaveRadius = 0x6ba8d14a;
constexpr uint32_t kOdfWaveHeight = 0x5ad61a27;
constexpr uint32_t kOdfLaunchOffset = 0x971beda4;
constexpr uint32_t kOdfRampUpTime = 0x3a74c50d;
constexpr uint32_t kOdfRampDownTime = 0x5ba4f6b0;
constexpr uint32_t kOdfTiltSpin = 0xad935b02;
constexpr uint32_t kOdfKickSpeed = 0xbe57c368;
constexpr uint32_t kOdfWobbleRate = 0xdee4f011;
constexpr uint32_t kOdfWobbleSpin = 0xce21ecf8;
constexpr uint32_t kOdfWobbleKick = 0xf57df3d2;
constexpr uint32_t kOdfWalkerFactor = 0x9ebf26a7;
constexpr uint32_t kOdfTurretFactor = 0x3b226d18;
constexpr uint32_t kOdfSpinDamp = 0x2fc331e2;
constexpr uint32_t kOdfLevelSpin = 0x762c10d0;
constexpr uint32_t kOdfBuildingDamage = 0x02168f61;

constexpr uint32_t kSpriteFlags = 4;
constexpr float kSmallestWaveRadius = 0.0001f;
// Objects are found by their positions in the grid; this much more than the wave's reach lets
// the largest bodies whose surface (not their centre) is in reach take part.
constexpr float kLargestBodyRadius = 30.0f;
// The object effect never takes more than this much time in one step.
constexpr float kLongestShake = 0.2f;

constexpr uint32_t Sig(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

float CellSize() { return TerrainCellSize > 0.0f ? TerrainCellSize : 10.0f; }

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Mul(const Vector& a, float s) { return Vector{a.x * s, a.y * s, a.z * s}; }

// A ramp of length 0 or less (or not a number) is instant: its reciprocal is infinite.
float Reciprocal(float t) { return t > 0.0f ? 1.0f / t : std::numeric_limits<float>::infinity(); }

// cos(pi sqrt(m)) for m in [0, 1] as the power series in m (an entire function of m, so no square
// root): sum of (-pi^2 m)^k / (2k)!, eleven terms, within 1e-9 of the cosine.
constexpr int kBumpTerms = 11;
constexpr std::array<double, kBumpTerms> BumpCoefficients() {
    std::array<double, kBumpTerms> c{};
    double term = 1.0;
    const double pi2 = std::numbers::pi * std::numbers::pi;
    for (int k = 0; k < kBumpTerms; ++k) {
        c[k] = term;
        term *= -pi2 / ((2.0 * k + 1.0) * (2.0 * k + 2.0));
    }
    return c;
}
constexpr std::array<double, kBumpTerms> kBump = BumpCoefficients();
double CosPiSqrt(double m) {
    double c = kBump[kBumpTerms - 1];
    for (int k = kBumpTerms - 2; k >= 0; --k) c = c * m + kBump[k];
    return c;
}

// Rounds half away from zero, as lround does, without the library call.
long RoundHalfAway(float v) { return v >= 0.0f ? static_cast<long>(v + 0.5f) : -static_cast<long>(0.5f - v); }

// Walks the height words of one row of cells left to right, looking a block up only where the
// row enters it (blocks are 128 cells wide and start at multiples of 128). Cells of blocks that
// hold no zone (the shared default blocks in holes of the map) come back null: a wave must not
// write to them.
class RowCursor {
public:
    RowCursor(int x, int z) : z_(z) { Seek(x); }
    uint16_t* At(int x) {
        if (x != next_ || (x & (kZoneCells - 1)) == 0) Seek(x);
        ++next_;
        return present_ ? word_++ : nullptr;
    }

private:
    void Seek(int x) {
        word_ = Terrain_GetCell(x, z_);
        next_ = x;
        const int xs = std::clamp(x, kCellMin, kCellMax) - kCellMin, zs = std::clamp(z_, kCellMin, kCellMax) - kCellMin;
        present_ = LightBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)] != 0;
    }
    int z_;
    int next_ = 0;
    uint16_t* word_ = nullptr;
    bool present_ = false;
};

// v turned about the world's vertical axis by angle a.
Vector TurnY(const Vector& v, float a) {
    const float c = std::cos(a), s = std::sin(a);
    return Vector{v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}

}  // namespace

float Explosion_Lifetime(const ExplosionClass& cls) {
    if (!(cls.frameRate > 0.0f)) return std::numeric_limits<float>::infinity();
    return static_cast<float>(cls.frameCount) / cls.frameRate;
}

// ---- planar blast ------------------------------------------------------------------------------

ExplosionClass* PlanarExplosionClass::ReadOdf(const ClassName& name) { return new PlanarExplosionClass(this, name); }
Explosion* PlanarExplosionClass::MakeObject(Entity* e) { return new PlanarExplosion(e, this); }

void PlanarExplosion::Start(const Matrix& matrix, Entity* ownerEntity) {
    Explosion::Start(matrix, ownerEntity);
    // The blast grows from the inner radius (its size after the start) to the outer one.
    const float life = Explosion_Lifetime(*explosionClass);
    growth = std::isfinite(life) && life > 0.0f ? (explosionClass->outerRadius - explosionClass->innerRadius) / life : 0.0f;
}

void PlanarExplosion::Update(float dt) {
    entity->boundsRadius += growth * dt;
    Explosion::Update(dt);
}

void PlanarExplosion::Render(RenderView* view) {
    RenderSeam& render = Seam_Render();
    const int sprite = static_cast<int>(std::lround(frame));
    const float size = entity->boundsRadius;
    const Matrix& m = entity->local;
    float centre[3] = {static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
    float inView[3];
    if (!render.viewPoint(view, centre, inView)) return;
    const float near2 = kPlanarPointSpriteRange * kPlanarPointSpriteRange;
    if (render.simpleSprites() && inView[0] * inView[0] + inView[2] * inView[2] < near2) {
        render.queuePointSprite(inView, size, sprite, kSpriteFlags);
        return;
    }
    centre[1] += 0.1f;
    if (!render.sphereViewDepth(view, centre, size, nullptr)) return;
    const Vector& r = m.right;
    const Vector& f = m.front;
    const float dirs[4][2] = {{1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}, {-1.0f, -1.0f}};  // (r, f) signs
    float corners[4][3];
    for (int i = 0; i < 4; ++i) {
        corners[i][0] = centre[0] + size * (dirs[i][0] * r.x + dirs[i][1] * f.x);
        corners[i][1] = centre[1] + size * (dirs[i][0] * r.y + dirs[i][1] * f.y);
        corners[i][2] = centre[2] + size * (dirs[i][0] * r.z + dirs[i][1] * f.z);
    }
    render.queueQuad(view, corners, sprite, kSpriteFlags);
}

// ---- quake blast -------------------------------------------------------------------------------

QuakeBlastClass::QuakeBlastClass(QuakeBlastClass* from, const ClassName& name) : ExplosionClass(from, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfShardCount, &shardCount, from->shardCount);
    shardCount = std::clamp(shardCount, 0, kQuakeMostShards);
    char shard[8];
    const char none[8] = {};
    odf.GetName8(kOdfShardClass, shard, none);
    char text[9] = {};
    std::memcpy(text, shard, 8);
    shardClass = text[0] ? OrdnanceClass::Find(text) : from->shardClass;
}

ExplosionClass* QuakeBlastClass::ReadOdf(const ClassName& name) { return new QuakeBlastClass(this, name); }
Explosion* QuakeBlastClass::MakeObject(Entity* e) { return new QuakeBlast(e, this); }

void QuakeBlast::Start(const Matrix& matrix, Entity* ownerEntity) {
    Explosion::Start(matrix, ownerEntity);
    const auto& cls = static_cast<const QuakeBlastClass&>(*explosionClass);
    if (cls.shardClass && cls.shardCount > 0) {
        const float step = 2.0f * std::numbers::pi_v<float> / static_cast<float>(cls.shardCount);
        for (int i = 0; i < cls.shardCount; ++i) {
            Matrix at = matrix;
            const float a = step * static_cast<float>(i);
            at.right = TurnY(matrix.right, a);
            at.up = TurnY(matrix.up, a);
            at.front = TurnY(matrix.front, a);
            Ordnance* shard = cls.shardClass->Build(at, ownerEntity);
            if (shard) shard->netState = kOrdnanceNotSent;
        }
    }
    magnitude = kQuakeStartMagnitude;
    const float life = Explosion_Lifetime(cls);
    // A blast without a positive life ends after its first update: its shake is gone by then.
    decay = life > 0.0f ? kQuakeStartMagnitude / life : std::numeric_limits<float>::infinity();
    Quake_Effect().Start(magnitude);
}

void QuakeBlast::Update(float dt) {
    Quake_Effect().SetMagnitude(magnitude);
    // The shake fades to nothing and stays there: a negative magnitude would turn the rumble's
    // volume negative.
    magnitude = std::max(0.0f, magnitude - decay * dt);
    if (!(magnitude >= 0.0f)) magnitude = 0.0f;
    Explosion::Update(dt);
}

void QuakeBlast::Remove() {
    Quake_Effect().Stop();
    Explosion::Remove();
}

// ---- shock blast -------------------------------------------------------------------------------

ExplosionClass* ShockBlastClass::ReadOdf(const ClassName& name) { return new ShockBlastClass(this, name); }
Explosion* ShockBlastClass::MakeObject(Entity* e) { return new ShockBlast(e, this); }

void ShockBlast::Start(const Matrix& matrix, Entity* ownerEntity) {
    Explosion::Start(matrix, ownerEntity);
    const Vector at{static_cast<float>(matrix.posit.x), static_cast<float>(matrix.posit.y),
                    static_cast<float>(matrix.posit.z)};
    // The ring refuses a life that is not a finite positive time.
    Shockwave_Effect().Add(at, explosionClass->innerRadius, explosionClass->outerRadius,
                           0.5f * Explosion_Lifetime(*explosionClass));
}

std::unique_ptr<ExplosionClass> AreaBlast_MakeExplosionPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "planarexpl") == 0) return std::make_unique<PlanarExplosionClass>(label, signature);
    if (std::strcmp(label, "quakeblast") == 0) return std::make_unique<QuakeBlastClass>(label, signature);
    if (std::strcmp(label, "shockblast") == 0) return std::make_unique<ShockBlastClass>(label, signature);
    return nullptr;
}

// ---- seismic class -----------------------------------------------------------------------------

SeismicClass::SeismicClass(const char* classLabel, uint32_t classSignature) : OrdnanceClass(classLabel, classSignature) {
    ordIntParam = 200;
    ordFloatParam = 0.0f;
}

SeismicClass::SeismicClass(SeismicClass* from, const ClassName& name) : OrdnanceClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfWaveRadius, &waveRadius, from->waveRadius);
    if (!(waveRadius >= kSmallestWaveRadius)) waveRadius = kSmallestWaveRadius;
    invRadius = 1.0f / waveRadius;
    falloff = -2.5f / (waveRadius * waveRadius);
    odf.GetFloat(kOdfWaveHeight, &waveHeight, from->waveHeight);
    odf.GetFloat(kOdfLaunchOffset, &launchOffset, from->launchOffset);
    odf.GetFloat(kOdfRampUpTime, &rampUpTime, from->rampUpTime);
    invRampUp = Reciprocal(rampUpTime);
    odf.GetFloat(kOdfRampDownTime, &rampDownTime, from->rampDownTime);
    invRampDown = Reciprocal(rampDownTime);
    odf.GetFloat(kOdfTiltSpin, &tiltSpin, from->tiltSpin);
    odf.GetFloat(kOdfKickSpeed, &kickSpeed, from->kickSpeed);
    odf.GetFloat(kOdfWobbleRate, &wobbleRate, from->wobbleRate);
    odf.GetFloat(kOdfWobbleSpin, &wobbleSpin, from->wobbleSpin);
    odf.GetFloat(kOdfWobbleKick, &wobbleKick, from->wobbleKick);
    odf.GetFloat(kOdfWalkerFactor, &walkerFactor, from->walkerFactor);
    odf.GetFloat(kOdfTurretFactor, &turretFactor, from->turretFactor);
    odf.GetFloat(kOdfSpinDamp, &spinDamp, from->spinDamp);
    odf.GetFloat(kOdfLevelSpin, &levelSpin, from->levelSpin);
    odf.GetFloat(kOdfBuildingDamage, &buildingDamage, from->buildingDamage);
}

OrdnanceClass* SeismicClass::ReadOdf(const ClassName& name) { return new SeismicClass(this, name); }
Ordnance* SeismicClass::MakeObject(Entity* e) { return new SeismicWave(e, this); }

int SeismicClass::BufferSide() const {
    // floor(a - R/c) .. ceil(a + R/c) holds at most ceil(2R/c) + 2 cells.
    const double span = std::ceil(2.0 * static_cast<double>(waveRadius) / CellSize());
    return static_cast<int>(std::min(span, 4.0 * kZoneCells)) + 2;
}

// ---- seismic wave ------------------------------------------------------------------------------

SeismicWave::SeismicWave(Entity* e, OrdnanceClass* cls) : Ordnance(e, cls) {
    side = Class().BufferSide();
    change.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
}

SeismicRect SeismicWave::ComputeRect() const {
    const SeismicClass& cls = Class();
    const double c = CellSize();
    const double x = entity->local.posit.x, z = entity->local.posit.z;
    const double r = cls.waveRadius;
    SeismicRect out;
    if (!std::isfinite(x) || !std::isfinite(z)) return out;
    const auto cell = [](double v) { return static_cast<int>(std::clamp(v, double(kCellMin), double(kCellMax))); };
    out.minX = std::max(cell(std::floor((x - r) / c)), TerrainBounds.minX);
    out.minZ = std::max(cell(std::floor((z - r) / c)), TerrainBounds.minZ);
    out.maxX = std::min({cell(std::ceil((x + r) / c)), TerrainBounds.maxX, out.minX + side - 1});
    out.maxZ = std::min({cell(std::ceil((z + r) / c)), TerrainBounds.maxZ, out.minZ + side - 1});
    if (out.Empty()) out = SeismicRect{};
    return out;
}

int SeismicWave::ChangeAt(int x, int z) const {
    if (rect.Empty() || x < rect.minX || x > rect.maxX || z < rect.minZ || z > rect.maxZ) return 0;
    return change[static_cast<size_t>(z - rect.minZ) * side + static_cast<size_t>(x - rect.minX)];
}

void SeismicWave::Launch(const Matrix& matrix, Entity* ownerEntity) {
    const SeismicClass& cls = Class();
    Matrix start = matrix;
    start.posit.x += static_cast<double>(matrix.front.x) * cls.launchOffset;
    start.posit.y += static_cast<double>(matrix.front.y) * cls.launchOffset;
    start.posit.z += static_cast<double>(matrix.front.z) * cls.launchOffset;
    Ordnance::Launch(start, ownerEntity);
    const float speed = cls.ordFloatParam;
    motion.velocity = Mul(entity->local.front, speed);
    motion.speed = speed;
    strength = 0.0f;
    std::fill(change.begin(), change.end(), int16_t{0});
    rect = ComputeRect();
}

// Both walks clear the flatness flags (bits 14-15) of every cell of the rectangle as they go, as
// Terrain_ClearCellBits does, so that the terrain rebuilds them; one walk instead of two.
constexpr uint16_t kFlatnessFlags = 0xC000;

void SeismicWave::Lower() {
    if (rect.Empty()) return;
    for (int z = rect.minZ; z <= rect.maxZ; ++z) {
        int16_t* row = &change[static_cast<size_t>(z - rect.minZ) * side];
        RowCursor cells(rect.minX, z);
        for (int x = rect.minX; x <= rect.maxX; ++x) {
            int16_t& d = row[x - rect.minX];
            uint16_t* word = cells.At(x);
            if (word) {
                const int h = std::clamp(int(*word & kHeightMask) - d, 0, int(kHeightMask));
                *word = static_cast<uint16_t>((*word & ~kHeightMask & ~kFlatnessFlags) | h);
            }
            d = 0;
        }
    }
}

void SeismicWave::Raise() {
    if (rect.Empty()) return;
    const SeismicClass& cls = Class();
    const float c = CellSize();
    const float amplitude = cls.waveHeight * strength * 10.0f;
    const Matrix& at = entity->local;
    const float inv = cls.invRadius;
    // Offsets are taken in double (positions may be far from the origin), the bump in float.
    const auto across = [&](int cell, double centre) { return static_cast<float>((cell * static_cast<double>(c) - centre) * inv); };
    for (int cz = rect.minZ; cz <= rect.maxZ; ++cz) {
        int16_t* row = &change[static_cast<size_t>(cz - rect.minZ) * side];
        const float w = across(cz, at.posit.z);
        const float w2 = w * w;
        RowCursor cells(rect.minX, cz);
        for (int cx = rect.minX; cx <= rect.maxX; ++cx) {
            uint16_t* word = cells.At(cx);
            const float u = across(cx, at.posit.x);
            const float uw = u * u + w2;
            // Outside the disc the height cannot bring m below 1.
            row[cx - rect.minX] = 0;
            if (!word) continue;
            *word &= static_cast<uint16_t>(~kFlatnessFlags);
            if (!(uw < 1.0f)) continue;
            const int h = *word & kHeightMask;
            const float v = static_cast<float>((h * 0.1 - at.posit.y) * inv);
            const float m = uw + v * v;
            if (!(m < 1.0f)) continue;
            const long r = RoundHalfAway(static_cast<float>((CosPiSqrt(m) + 1.0) * 0.5 * amplitude));
            const int raised = static_cast<int>(std::clamp<long>(h + r, 0, kHeightMask));
            row[cx - rect.minX] = static_cast<int16_t>(raised - h);
            *word = static_cast<uint16_t>((*word & ~kHeightMask) | raised);
        }
    }
}

void SeismicWave::ShakeObjects(float dt) {
    BucketGrid* grid = GameObject_Grid();
    if (!grid || !(strength > 0.0f)) return;
    const SeismicClass& cls = Class();
    const Matrix& m = entity->local;
    const Vector front = m.front;
    const Vector centre{static_cast<float>(m.posit.x) + front.x * cls.waveRadius * 0.5f,
                        static_cast<float>(m.posit.y) + front.y * cls.waveRadius * 0.5f,
                        static_cast<float>(m.posit.z) + front.z * cls.waveRadius * 0.5f};
    const float reach = 1.5f * cls.waveRadius;
    const float shake = strength * std::min(dt, kLongestShake);
    const float t = Clock_GetTime() * cls.wobbleRate;
    Vector groundNormal{0.0f, 1.0f, 0.0f};
    Terrain_GetHeightNormal(m.posit.x, m.posit.z, nullptr, &groundNormal);

    BucketGridQuery query;
    grid->Query(centre.x, centre.z, reach + kLargestBodyRadius, &query);
    const BucketGridEntry* item = nullptr;
    while (query.Next(&item)) {
        GameObject* object = GameObject::FromHandleRaw(item->value);
        if (!object || !object->objClass || (object->entity->flags & kEntityDead)) continue;
        const Vector p = object->GetPosition();
        const float dx = p.x - centre.x, dy = p.y - centre.y, dz = p.z - centre.z;
        const float d2 = dx * dx + dy * dy + dz * dz;
        const float within = reach + object->radius;
        if (d2 > within * within) continue;
        const float f = std::exp(cls.falloff * d2) * shake;
        const int32_t kind = object->objClass->category;
        if (kind == 1 || kind == 3 || kind == 6) {
            Vector n{0.0f, 1.0f, 0.0f};
            Terrain_GetHeightNormal(p.x, p.z, nullptr, &n);
            const Vector dir = Vec3_Normalize(Add(Add(n, front), Vector{0.0f, 1.0f, 0.0f}));
            DamageInfo hit = damageInfo;
            hit.amount = damageInfo.amount * f;
            object->TakeDamage(&hit, &dir);
            const Matrix& om = object->entity->local;
            const Vector tilt = Vec3_Cross(n, Mul(dir, cls.tiltSpin * f));
            Vector s{Vec3_Dot(tilt, om.right), Vec3_Dot(tilt, om.up), Vec3_Dot(tilt, om.front)};
            s = Add(s, Mul(Vector{Noise_Gradient1D(t + 8.53f), 0.5f * Noise_Gradient1D(t + 17.67f),
                                  Noise_Gradient1D(t + 5.19f)},
                           cls.wobbleSpin * f));
            const uint32_t sig = object->objClass->signature;
            if (sig == Sig("TURR")) s = Mul(s, cls.turretFactor);
            if (sig == Sig("WALK")) s = Mul(s, cls.walkerFactor);
            Vector& spin = object->euler.angularVelocity;
            s = Add(s, Mul(spin, -cls.spinDamp * f));
            s.x -= Vec3_Dot(om.front, n) * f * cls.levelSpin;
            s.z += Vec3_Dot(om.right, n) * f * cls.levelSpin;
            spin = Add(spin, s);
            const Vector kick = Add(Mul(dir, cls.kickSpeed * f),
                                    Mul(Vector{Noise_Gradient1D(t), 0.5f * Noise_Gradient1D(t + 2.27f),
                                               Noise_Gradient1D(t + 23.41f)},
                                        cls.wobbleKick * f));
            object->SetVelocity(Add(object->euler.velocity, kick));
        } else if (kind == 2 || kind == 5 || kind == 7 || kind == 10) {
            DamageInfo hit = damageInfo;
            hit.amount = damageInfo.amount * cls.buildingDamage * f;
            object->TakeDamage(&hit, &groundNormal);
            const int32_t type = object->entity->type;
            if (type == 8 || type == 9 || type == 10) continue;
            float height = 0.0f;
            Vector n{0.0f, 1.0f, 0.0f};
            Terrain_GetHeightNormal(p.x, p.z, &height, &n);
            Matrix seat = Matrix_FromFrontUp(n, object->entity->local.front);
            seat.posit = DVector{p.x, height, p.z};
            object->SetMatrix(seat);
        }
    }
}

void SeismicWave::Step(float dt) {
    const SeismicClass& cls = Class();
    const float step = std::max(0.0f, std::min(dt, lifeLeft));
    if (!(lifeLeft > 0.0f)) {
        entity->flags |= kEntityDead;
    } else if (lifeLeft < cls.rampDownTime) {
        strength = std::max(0.0f, strength - step * cls.invRampDown);
    } else {
        strength = std::min(1.0f, strength + step * cls.invRampUp);
    }
    // An instant ramp at dt 0 gives 0 x infinity.
    if (std::isnan(strength)) strength = lifeLeft < cls.rampDownTime ? 0.0f : 1.0f;

    Lower();

    Matrix& m = entity->local;
    const float speed = cls.ordFloatParam;
    m.posit.x += static_cast<double>(m.front.x) * step * speed;
    m.posit.z += static_cast<double>(m.front.z) * step * speed;
    float height = 0.0f;
    Vector normal{0.0f, 1.0f, 0.0f};
    Terrain_GetHeightNormal(m.posit.x, m.posit.z, &height, &normal);
    m.posit.y = height;
    const DVector posit = m.posit;
    m = Matrix_FromFrontUp(normal, m.front);
    m.posit = posit;
    rect = ComputeRect();

    Raise();
    ShakeObjects(step);
    lifeLeft -= step;
}

void SeismicWave::Remove() {
    Lower();
    rect = SeismicRect{};
    Ordnance::Remove();
}

std::unique_ptr<OrdnanceClass> AreaBlast_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "seismic") == 0) return std::make_unique<SeismicClass>(label, signature);
    return nullptr;
}

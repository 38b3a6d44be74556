#include "weapons/sceneeffects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/configfile.h"
#include "core/game.h"
#include "core/helpers.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "platform/random.h"

namespace {

constexpr const char* kRumble = "gquak01.wav";
constexpr float kVolumePerMagnitude = 10.0f;

constexpr const char* kLightningSection = "LightningBolt";
// Bolts are placed this far above the view.
constexpr float kBoltHeight = 100.0f;
constexpr float kWidthUnit = 0.005f;
constexpr uint8_t kBranchWidth = 50;
// The game state in which nothing of the lightning is drawn.
constexpr int32_t kNoLightningState = 3;

int RandomInt() { return Random_Next(); }

Vector EntityPosition(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

// The height a bolt aimed at the entity ends at: three quarters up its box.
float TopOf(const Entity* e) {
    const float base = static_cast<float>(e->local.posit.y) + e->boxMin.y;
    return base + 0.75f * (e->boxMax.y - e->boxMin.y);
}

}  // namespace

uint32_t Lightning_RandomMask() {
    // Three draws of 15 bits cover the 32.
    const uint32_t a = static_cast<uint32_t>(RandomInt());
    const uint32_t b = static_cast<uint32_t>(RandomInt());
    const uint32_t c = static_cast<uint32_t>(RandomInt());
    return a | b << 15 | c << 30;
}

// ---- earthquake -----------------------------------------------------------------------------

void QuakeEffect::Start(float m) {
    magnitude = m;
    AudioSeam& audio = Seam_Audio();
    if (rumble) audio.soundLoopSet(rumble, m * kVolumePerMagnitude, 1.0f);
    else rumble = audio.soundLoopStart(kRumble, nullptr, m * kVolumePerMagnitude);
}

void QuakeEffect::SetMagnitude(float m) {
    magnitude = m;
    if (rumble) Seam_Audio().soundLoopSet(rumble, m * kVolumePerMagnitude, 1.0f);
}

void QuakeEffect::Stop() {
    magnitude = 0.0f;
    if (rumble) Seam_Audio().soundLoopStop(rumble);
    rumble = nullptr;
}

void QuakeEffect::Simulate(float dt) {
    if (!(magnitude > 0.0f)) return;
    // The noise depends on the time alone: every object at the same height gets the same kick.
    const float t = 2.0f * Clock_GetTime();
    const float spin[3] = {Noise_Gradient1D(t + 8.53f), Noise_Gradient1D(t + 17.67f), Noise_Gradient1D(t + 5.19f)};
    const float push[3] = {Noise_Gradient1D(t), Noise_Gradient1D(t + 2.27f), Noise_Gradient1D(t + 23.41f)};
    for (GameObject* object : GameObject_List()) {
        if (!object || !object->entity) continue;
        const Vector p = EntityPosition(object->entity);
        const float h = p.y - Terrain_GetHeight(p.x, p.z);
        const float s = dt * magnitude / (h * h * 0.5f + 1.0f);
        EntityDynamics& m = object->euler;
        m.angularVelocity.x += spin[0] * s;
        m.angularVelocity.y += spin[1] * s * 0.3f;
        m.angularVelocity.z += spin[2] * s;
        const Vector v{m.velocity.x + push[0] * 5.0f * s, m.velocity.y + push[1] * 2.0f * s,
                       m.velocity.z + push[2] * 5.0f * s};
        object->SetVelocity(v);
    }
}

// ---- lightning ------------------------------------------------------------------------------

void LightningEffect::Clear() {
    for (int i = 0; i < activeCount; ++i) {
        if (bolts[i].target) Entity_Unref(bolts[i].target);
        bolts[i].target = nullptr;
    }
    activeCount = 0;
    settings = LightningSettings{};
}

void LightningEffect::Forget() {
    for (LightningBolt& bolt : bolts) bolt.target = nullptr;
    activeCount = 0;
    settings = LightningSettings{};
}

void LightningEffect::Shutdown() { Clear(); }

void LightningEffect::PostLoad() {
    Clear();
    const char* file = Terrain_GetFileName();
    LightningSettings& s = settings;
    s.bolts = Cfg_GetProfileInt(kLightningSection, "Bolts", 0, file);
    if (s.bolts > kLightningBoltMax) s.bolts = kLightningBoltMax;
    // A colour takes all 32 bits, so it is parsed here rather than as a signed integer.
    char colour[16];
    Cfg_GetProfileString(kLightningSection, "Color", "", colour, sizeof colour, file);
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(colour, &end, 0);
    s.colour = end != colour ? static_cast<uint32_t>(parsed) : kRenderDefaultLineColour;
    s.minDelay = 0.001f * static_cast<float>(Cfg_GetProfileInt(kLightningSection, "minDelay", 5000, file));
    s.maxDelay = 0.001f * static_cast<float>(Cfg_GetProfileInt(kLightningSection, "maxDelay", 10000, file));
    s.duration = 0.001f * static_cast<float>(Cfg_GetProfileInt(kLightningSection, "Duration", 200, file));
    s.distance = static_cast<float>(Cfg_GetProfileInt(kLightningSection, "Distance", 100, file));
    Cfg_GetProfileString(kLightningSection, "Sound", "", s.sound, sizeof s.sound, file);
    for (int i = 0; i < s.bolts; ++i) AddBolt(nullptr);
}

void LightningEffect::Arm(LightningBolt& bolt) {
    bolt.flashCount = 0;
    bolt.flashes = 1;
    bolt.bottom = bolt.target ? TopOf(bolt.target) : 0.0f;
    const float r = static_cast<float>(RandomInt());
    bolt.delay = settings.minDelay + r * (settings.maxDelay - settings.minDelay) / static_cast<float>(GV_RAND_MAX);
    bolt.flashTime = settings.duration;
}

void LightningEffect::AddBolt(Entity* target) {
    if (activeCount >= kLightningBoltMax) return;
    LightningBolt& bolt = bolts[activeCount++];
    bolt.branching = 0;
    bolt.segmentCount = 0;
    bolt.pointCount = 0;
    // The bolt keeps its target alive until it lets go of it.
    bolt.target = target;
    if (target) Entity_AddRefTree(target);
    Arm(bolt);
}

void LightningEffect::Remove(int index) {
    if (bolts[index].target) Entity_Unref(bolts[index].target);
    bolts[index].target = nullptr;
    if (index != activeCount - 1) bolts[index] = bolts[activeCount - 1];
    bolts[activeCount - 1].target = nullptr;
    --activeCount;
}

void LightningEffect::RemoveBolts(Entity* target) {
    for (int i = 0; i < activeCount;) {
        if (bolts[i].target == target) Remove(i);  // the last bolt fills the gap and is looked at next
        else ++i;
    }
}

void LightningEffect::Branch(LightningBolt& bolt, int from, int steps, int depth, float lean) {
    if (steps <= 0 || depth <= 0) return;
    // A branch that would pass the point limit is not added.
    if (bolt.pointCount + steps > kBoltPointMax) return;
    const float stepHeight = (bolt.top.y - bolt.bottom) / static_cast<float>(kZigzagPoints);
    const uint32_t mask = Lightning_RandomMask();
    const int first = bolt.pointCount;
    int previous = from;
    for (int i = 0; i < steps; ++i) {
        const float side = ((mask >> (i & 31)) & 1 ? 1.0f : -1.0f) + lean;
        const Vector& p = bolt.points[previous];
        const int index = bolt.pointCount++;
        bolt.points[index] = Vector{p.x + side * bolt.direction[0], p.y - stepHeight, p.z + side * bolt.direction[1]};
        bolt.segments[bolt.segmentCount++] = BoltSegment{static_cast<uint8_t>(previous), static_cast<uint8_t>(index),
                                                         kBranchWidth, static_cast<uint8_t>(settings.colour & 0xff)};
        previous = index;
    }
    const int sideBranches = 1 + (RandomInt() & 3);
    for (int b = 0; b < sideBranches; ++b) {
        const int at = RandomInt() % steps;
        const int remaining = steps - at;
        const int length = remaining / 4 + (RandomInt() & 3);
        const float sideLean = (RandomInt() & 1) ? 1.0f : -1.0f;
        Branch(bolt, first + at, length, depth - 1, sideLean);
    }
}

void LightningEffect::Shape(LightningBolt& bolt, bool branching) {
    bolt.branching = branching ? 1 : 0;
    bolt.pointCount = 1;
    bolt.segmentCount = 0;
    bolt.points[0] = bolt.top;
    if (branching) {
        const int depth = 2 + (RandomInt() & 3);
        Branch(bolt, 0, kZigzagPoints, depth, 0.0f);
        return;
    }
    const float stepHeight = (bolt.top.y - bolt.bottom) / static_cast<float>(kZigzagPoints);
    const uint32_t xs = Lightning_RandomMask();
    const uint32_t zs = Lightning_RandomMask();
    for (int k = 1; k < kZigzagPoints; ++k) {
        const Vector& p = bolt.points[k - 1];
        const float dx = (xs >> k) & 1 ? 1.0f : -1.0f;
        const float dz = (zs >> k) & 1 ? 1.0f : -1.0f;
        bolt.points[k] = Vector{p.x + dx, p.y - stepHeight, p.z + dz};
        // Thick at the top, thinning towards the ground.
        const int width = 150 - 100 * k / kZigzagPoints;
        bolt.segments[bolt.segmentCount++] = BoltSegment{static_cast<uint8_t>(k - 1), static_cast<uint8_t>(k),
                                                         static_cast<uint8_t>(width),
                                                         static_cast<uint8_t>(settings.colour & 0xff)};
    }
    bolt.pointCount = kZigzagPoints;
}

void LightningEffect::Strike(LightningBolt& bolt, const RenderView* view) {
    float eye[3] = {0.0f, 0.0f, 0.0f};
    float forward[3] = {0.0f, 0.0f, 1.0f};
    Seam_Render().viewEye(view, eye, forward);
    // Across the view: the horizontal perpendicular of its forward direction.
    float ax = forward[2], az = -forward[0];
    const float length = std::sqrt(ax * ax + az * az);
    if (length > 0.0f) {
        ax /= length;
        az /= length;
    } else {
        ax = 1.0f;
        az = 0.0f;
    }
    bolt.direction[0] = ax;
    bolt.direction[1] = az;
    if (bolt.target) {
        const Vector p = EntityPosition(bolt.target);
        bolt.top = Vector{p.x, eye[1] + kBoltHeight, p.z};
        bolt.bottom = TopOf(bolt.target);
    } else {
        const float r1 = Rand_Signed(), r2 = Rand_Signed();
        bolt.top = Vector{eye[0] + r1 * settings.distance, eye[1] + kBoltHeight, eye[2] + r2 * settings.distance};
    }
    Shape(bolt, !bolt.target && RandomInt() >= 0x4000);
    if (settings.sound[0]) Seam_Audio().soundPlay(settings.sound, bolt.target, 0, 0);
}

void LightningEffect::Simulate(float dt) {
    const RenderView* view = Seam_Render().mainView();
    for (int i = 0; i < activeCount;) {
        LightningBolt& bolt = bolts[i];
        bolt.delay -= dt;
        if (bolt.delay > 0.0f) {
            ++i;
            continue;
        }
        if (bolt.flashCount == 0) {
            // A target its owner let go of is gone: so is the bolt aimed at it.
            if (bolt.target && !Entity_UnrefIfShared(bolt.target)) {
                bolt.target = nullptr;
                Remove(i);
                continue;
            }
            Strike(bolt, view);
        }
        if (bolt.flashCount < bolt.flashes) {
            ++bolt.flashCount;
            bolt.delay += bolt.flashTime;
        } else {
            Arm(bolt);
        }
        ++i;
    }
}

void LightningEffect::Render(RenderView* view) {
    if (Game_GetState() == kNoLightningState) return;
    const RenderSeam& render = Seam_Render();
    for (int i = 0; i < activeCount; ++i) {
        const LightningBolt& bolt = bolts[i];
        if (bolt.flashCount == 0) continue;  // waiting for its strike
        for (int k = 0; k < bolt.segmentCount; ++k) {
            const BoltSegment& s = bolt.segments[k];
            const Vector& a = bolt.points[s.from];
            const Vector& b = bolt.points[s.to];
            const float from[3] = {a.x, a.y, a.z};
            const float to[3] = {b.x, b.y, b.z};
            render.queueLine(view, from, to, static_cast<float>(s.width) * kWidthUnit, settings.colour);
        }
    }
}

// ---- members --------------------------------------------------------------------------------

QuakeEffect& Quake_Effect() {
    static QuakeEffect effect;
    return effect;
}

LightningEffect& Lightning_Effect() {
    static LightningEffect effect;
    return effect;
}

PhaseHook& QuakeEffect_Member() { return Quake_Effect(); }
PhaseHook& LightningEffect_Member() { return Lightning_Effect(); }

#include "render/light.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/objload.h"
#include "Terrain/terrheight.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/seams/cockpit.h"
#include "render/view.h"

namespace {

struct LightSet {
    int lightsOff;
    float sunAngle;  // radians
    float sunIntensity;
    float ambient;
};

constexpr LightSet kLightSets[kLightSetCount] = {
    {0, 0.5236f, 0.09375f, 0.0f}, {0, 1.2217f, 0.03125f, 0.0f}, {1, 1.3090f, 0.625f, 0.0f},
    {1, 0.9599f, 1.0f, 0.0f},     {1, 0.1745f, 1.0f, 0.0f},     {1, 0.7854f, 1.0f, 0.0f},
    {1, 1.2217f, 1.0f, 0.0f},     {1, 1.3090f, 1.0f, 0.0f},
};
constexpr Vector kSunAxis = {0.0f, 0.0f, 1.0f};

// The block the world's start and end empty together. The frame's lists hold indices into the
// table, kept in step when a light is removed.
struct LightState {
    int set = 0;
    int count = 0;
    int activeCount = 0;
    int selectedCount = 0;
    int active[kLightActiveMax] = {};
    int selected[kLightSelectMax] = {};
    LightSource lights[kLightMax] = {};
};
LightState g_state;
bool g_textureLocked = false;
Vector g_sun = {0.0f, 1.0f, 0.0f};
float g_fadeSlope = 0.01f;
float g_fadeOffset = -1.0f;

float DefaultGroundHeight(double x, double z) { return Terrain_GetHeight(x, z); }
int DefaultViewState() { return Seam_Cockpit().cameraViewState(); }
constexpr LightServices kDefaultServices = {DefaultGroundHeight, DefaultViewState};
LightServices g_services = kDefaultServices;

const LightSet& CurrentSet() { return kLightSets[g_state.set]; }
bool LightsOff() { return CurrentSet().lightsOff == 1; }

float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(const Vector& v) { return std::sqrt(Dot(v, v)); }
Vector Sub(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector Scale(const Vector& v, float k) { return {v.x * k, v.y * k, v.z * k}; }
Vector ToVector(const DVector& d) { return {float(d.x), float(d.y), float(d.z)}; }
// A direction carried by a placement's rotation: v.x right + v.y up + v.z front.
Vector Rotate(const Vector& v, const Matrix& m) {
    return {v.x * m.right.x + v.y * m.up.x + v.z * m.front.x, v.x * m.right.y + v.y * m.up.y + v.z * m.front.y,
            v.x * m.right.z + v.y * m.up.z + v.z * m.front.z};
}

// 1 / (|d|^2 k + 1): the distance attenuation.
float Attenuate(const LightSource& light, const Vector& d) { return 1.0f / (Dot(d, d) * light.attenuation + 1.0f); }

int IndexOf(const Entity* owner) {
    for (int i = 0; i < g_state.count; ++i)
        if (g_state.lights[i].owner == owner) return i;
    return -1;
}

// A list of table indices after table[removed] went and table[moved] took its slot.
void MendList(int* list, int* count, int removed, int moved) {
    int kept = 0;
    for (int i = 0; i < *count; ++i) {
        int index = list[i];
        if (index == removed) continue;
        list[kept++] = index == moved ? removed : index;
    }
    *count = kept;
}

void UnlockTexture() {
    if (g_textureLocked) Cache_UnlockItem(kLightSetTexture);
    g_textureLocked = false;
}

}  // namespace

// ---- The world's light set -----------------------------------------------------------------

void Light_InitWorld(int hour) {
    UnlockTexture();
    g_state = LightState{};
    g_fadeOffset = -1.0f;
    g_fadeSlope = 0.01f;
    // The map's hour is not checked: any value is taken round the clock.
    int h = ((hour % 24) + 24) % 24;
    g_state.set = ((h + 2) % 24) * 8 / 24;
    g_textureLocked = Cache_UseItem(kLightSetTexture) != nullptr;
    Matrix turn = Matrix_FromAxisAngle(CurrentSet().sunAngle, kSunAxis.x, kSunAxis.y, kSunAxis.z);
    g_sun = Rotate(Vector{0.0f, 1.0f, 0.0f}, turn);
}

void Light_CloseWorld() {
    UnlockTexture();
    g_state = LightState{};
}

void Light_Reset() {
    Light_CloseWorld();
    g_sun = {0.0f, 1.0f, 0.0f};
    g_fadeSlope = 0.01f;
    g_fadeOffset = -1.0f;
    g_services = kDefaultServices;
}

int Light_GetCurrentSet() { return g_state.set; }
int Light_GetLightsOff() { return CurrentSet().lightsOff; }
float Light_GetSunAngle() { return CurrentSet().sunAngle; }
float Light_GetSunIntensity() { return CurrentSet().sunIntensity; }
float Light_GetAmbient() { return CurrentSet().ambient; }
Vector Light_GetSunAxis() { return kSunAxis; }
Vector Light_GetSunDirection() { return g_sun; }

float Light_Fade(float z) { return std::clamp(g_fadeSlope * z + g_fadeOffset, 0.0f, 1.0f); }

float Light_Pow(float x, float y) { return x <= 0.001f ? 0.0f : std::pow(x, y); }

void Light_SetServices(const LightServices* services) {
    g_services = kDefaultServices;
    if (!services) return;
    if (services->groundHeight) g_services.groundHeight = services->groundHeight;
    if (services->viewState) g_services.viewState = services->viewState;
}

// ---- The mission's lights ------------------------------------------------------------------

void Light_Add(Entity* owner, int kind, float range, float coneAngle, const Vector* direction, const Vector* offset) {
    if (LightsOff()) return;
    if (g_state.count >= kLightMax) {
        Error_Warning("Too many lights sources in this mission");
        return;
    }
    if (IndexOf(owner) >= 0) {
        Error_Warning("Object \"%.8s\" with more than one light source", owner ? owner->name : "");
        return;
    }
    // Written so that a NaN from a file takes the minimum too.
    if (!(range >= kLightMinRange)) range = kLightMinRange;
    if (!(coneAngle >= kLightMinCone)) coneAngle = kLightMinCone;
    // ((1 + cos cone) / 2) to the exponent is about one half.
    double half = (std::cos(std::min<double>(coneAngle, 1.5707963)) + 1.0) * 0.5;
    float exponent = static_cast<float>(std::floor(-0.69315 / std::log(half)));

    LightSource& light = g_state.lights[g_state.count++];
    light = LightSource{};
    light.owner = owner;
    const bool spot = kind == 1;
    light.flags = (spot ? kLightSpot : 0u) | kLightEnabled;
    light.exponent = exponent;
    light.attenuation = 1.0f / (range * range);
    light.range = range;
    if (offset) light.offset = *offset;
    if (spot) {
        Vector beam = direction ? *direction : (owner ? owner->local.front : Vector{0.0f, 0.0f, 1.0f});
        light.direction = Scale(beam, -1.0f);
    }
}

void Light_Remove(Entity* owner) {
    int index = IndexOf(owner);
    if (index < 0) return;
    int last = --g_state.count;
    g_state.lights[index] = g_state.lights[last];
    g_state.lights[last] = LightSource{};
    MendList(g_state.active, &g_state.activeCount, index, last);
    MendList(g_state.selected, &g_state.selectedCount, index, last);
}

void Light_Enable(Entity* owner, bool on) {
    int index = IndexOf(owner);
    if (index < 0) return;
    if (on) g_state.lights[index].flags |= kLightEnabled;
    else g_state.lights[index].flags &= ~kLightEnabled;
}

int Light_Count() { return g_state.count; }

const LightSource* Light_Get(int index) {
    return index >= 0 && index < g_state.count ? &g_state.lights[index] : nullptr;
}

const LightSource* Light_Find(const Entity* owner) { return Light_Get(IndexOf(owner)); }

// ---- Per frame -----------------------------------------------------------------------------

void Light_CollectVisible(const RenderView* view) {
    g_state.activeCount = 0;
    if (LightsOff() || !view) return;
    for (int i = 0; i < g_state.count && g_state.activeCount < kLightActiveMax; ++i) {
        LightSource& light = g_state.lights[i];
        if (!(light.flags & kLightEnabled) || !light.owner) continue;
        Matrix world;
        Entity_GetTransformTo(world, light.owner, nullptr);
        DVector at = Matrix_TransformPoint(light.offset, world);
        Vector inView;
        View_TransformPoint(&inView, view, at.x, at.y, at.z);
        if (View_CullSphere(view, inView, light.range * 3.0f) >= 1) continue;
        light.worldPosition = ToVector(at);
        light.viewPosition = inView;
        light.worldDirection = Rotate(light.direction, light.owner->local);
        const Matrix& v = view->viewMatrix;
        const Vector& wd = light.worldDirection;
        light.viewDirection = {v.right.x * wd.x + v.up.x * wd.y + v.front.x * wd.z,
                               v.right.y * wd.x + v.up.y * wd.y + v.front.y * wd.z,
                               v.right.z * wd.x + v.up.z * wd.y + v.front.z * wd.z};
        light.heightLift = 0.0f;
        light.lightingPosition = light.worldPosition;
        float ground = g_services.groundHeight(at.x, at.z);
        if (light.lightingPosition.y - ground < kLightLift) {
            light.lightingPosition.y += kLightLift;
            light.heightLift = -kLightLift;
        }
        g_state.active[g_state.activeCount++] = i;
    }
}

int Light_ActiveCount() { return g_state.activeCount; }

const LightSource* Light_Active(int index) {
    return index >= 0 && index < g_state.activeCount ? &g_state.lights[g_state.active[index]] : nullptr;
}

void Light_SelectForObject(const Entity* entity) {
    g_state.selectedCount = 0;
    if (LightsOff() || !entity) return;
    float at[3];
    Entity_GetWorldPos(at, entity);
    const Vector p = {at[0], at[1], at[2]};
    // The strongest four, strongest first; a later light must beat an earlier one to pass it.
    float strength[kLightSelectMax] = {};
    for (int k = 0; k < g_state.activeCount; ++k) {
        const int index = g_state.active[k];
        const LightSource& light = g_state.lights[index];
        const Vector d = Sub(p, light.worldPosition);
        float s = Attenuate(light, d);
        if (light.flags & kLightSpot)
            s *= std::pow((1.0f - Dot(d, light.worldDirection) / (Length(d) + 0.5f)) * 0.5f, light.exponent);
        if (!(s == s)) s = 0.0f;
        int& n = g_state.selectedCount;
        int slot = n;
        while (slot > 0 && s > strength[slot - 1]) --slot;
        if (slot >= kLightSelectMax) continue;
        for (int j = std::min(n, kLightSelectMax - 1); j > slot; --j) {
            strength[j] = strength[j - 1];
            g_state.selected[j] = g_state.selected[j - 1];
        }
        strength[slot] = s;
        g_state.selected[slot] = index;
        if (n < kLightSelectMax) ++n;
    }
}

int Light_SelectedCount() { return g_state.selectedCount; }

const LightSource* Light_Selected(int index) {
    return index >= 0 && index < g_state.selectedCount ? &g_state.lights[g_state.selected[index]] : nullptr;
}

void Light_ShadeVertices(float* out, const Vector* positions, const Vector* normals, const Matrix& objectRotation,
                         const Matrix& lightRotation, int count) {
    if (!out || !positions || !normals) return;
    if (LightsOff()) {
        const bool flat = g_services.viewState() == 3;
        for (int i = 0; i < count; ++i) out[i] = flat ? 0.3f : 0.3f + 0.7f * Light_Fade(positions[i].z);
        return;
    }
    const LightSet& set = CurrentSet();
    const Vector sun = Rotate(g_sun, objectRotation);
    for (int i = 0; i < count; ++i) {
        const Vector& p = positions[i];
        const Vector& n = normals[i];
        float sum = std::max(0.0f, -Dot(n, sun) * set.sunIntensity);
        for (int k = 0; k < g_state.selectedCount; ++k) {
            const LightSource& light = g_state.lights[g_state.selected[k]];
            const Vector d = Sub(p, light.viewPosition);
            const float a = Attenuate(light, d);
            const Vector unit = Scale(d, 1.0f / (Length(d) + 0.5f));
            if (light.flags & kLightSpot) {
                float m = -Dot(n, Rotate(light.worldDirection, objectRotation));
                if (m > 0.0f)
                    sum += m * a * Light_Pow((1.0f - Dot(unit, light.viewDirection)) * 0.5f, light.exponent) * 1.25f;
            } else {
                sum += std::max(0.0f, Dot(n, Rotate(unit, lightRotation)) * a);
            }
        }
        float value = std::min(1.0f, (1.0f - Light_Fade(p.z)) * (sum + set.ambient));
        out[i] = value == value ? value : 0.0f;
    }
}

Vector Light_GetShadowDirection(const Entity* entity, const Vector& point) {
    if (LightsOff() || !entity) return g_sun;
    const Vector at = ToVector(Matrix_TransformPoint(point, entity->local));
    const LightSource* best = nullptr;
    float bestStrength = 0.0f, bestCone = 1.0f;
    for (int k = 0; k < g_state.activeCount; ++k) {
        const LightSource& light = g_state.lights[g_state.active[k]];
        if (light.owner == entity) continue;
        const Vector d = Sub(light.lightingPosition, at);
        float c = 1.0f;
        if (light.flags & kLightSpot) {
            const Vector lifted = {d.x, d.y + light.heightLift, d.z};
            const float length = Length(lifted);
            // A light on the entity's point has no direction to weigh: it counts whole.
            if (length > 0.0f)
                c = Light_Pow((Dot(lifted, light.worldDirection) / length + 1.0f) * 0.5f, light.exponent / 4.0f);
        }
        const float s = Attenuate(light, d) * c;
        if (s > bestStrength) {
            bestStrength = s;
            best = &light;
            bestCone = c;
        }
    }
    if (!best || !(bestStrength > 1.5f * CurrentSet().sunIntensity)) return g_sun;
    Vector toLight = Sub(best->lightingPosition, at);
    toLight.y -= 15.0f * bestCone;
    const float length = Length(toLight);
    if (!(length > 0.0f) || !std::isfinite(length)) return g_sun;
    return Scale(toLight, 1.0f / length);
}

// ---- Start-up --------------------------------------------------------------------------------

void Light_InstallServices() {
    Objkr_Services().removeLight = [](Entity* entity) { Light_Remove(entity); };
    ObjLoadServices& load = ObjLoad_Services();
    // Vehicles get their headlight masks unless the map's light set has the lights off.
    load.lightingSetting = Light_GetLightsOff;
    load.lightCreate = [](Entity* owner, int kind, float range, float cone, const Vector& direction,
                          const Vector& position) { Light_Add(owner, kind, range, cone, &direction, &position); };
}

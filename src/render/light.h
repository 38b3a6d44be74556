// Light sources: the time-of-day light set of the world, the mission's point and spot lights
// (one per owning entity, only in the two night sets), the lights that reach the view this frame,
// the few that shade one object, per-vertex light values and the direction of a shadow.
//
// Light sets, one per three hours of the day: set = ((hour + 2) mod 24) x 8 / 24. Sets 0 and 1
// are night (lights on); sets 2 to 7 are lights-off: Light_Add adds nothing there and shading
// uses the set's fixed values. Every set locks the sprite page "sprite_a.map" in the file cache
// while it is current.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct Entity;
struct RenderView;

constexpr int kLightSetCount = 8;
constexpr int kLightMax = 512;       // lights of a mission
constexpr int kLightActiveMax = 24;  // lights that reach the view in one frame
constexpr int kLightSelectMax = 4;   // lights that shade one object
constexpr float kLightMinRange = 20.0f;
constexpr float kLightMinCone = 0.17453292f;  // 10 degrees
constexpr float kLightLift = 25.0f;           // lighting height kept above the ground
constexpr const char* kLightSetTexture = "sprite_a.map";

// Light flag bits.
constexpr uint32_t kLightSpot = 0x1;  // else a point light
constexpr uint32_t kLightEnabled = 0x8;

struct LightSource {
    Entity* owner;  // at most one light per owner
    uint32_t flags;
    float exponent;     // spot cone exponent
    float attenuation;  // 1 / range^2
    float range;        // at least 20
    Vector direction;   // owner-relative beam direction, stored negated; 0 for a point light
    Vector offset;      // position relative to the owner
    float heightLift;   // 0, or -25 when the lighting position was raised
    Vector worldDirection;    // direction rotated into world space this frame
    Vector viewDirection;     // the same in view space
    Vector viewPosition;      // position in view space this frame
    Vector worldPosition;     // position in world space this frame
    Vector lightingPosition;  // world position used for shading, kept 25 above the ground
};

// ---- The world's light set -----------------------------------------------------------------

// At world load: empties the light table, picks the set of the hour (any integer: brought into
// 0..23 first), locks the set's texture, turns the sun direction (0, 1, 0) by the set's sun angle
// about (0, 0, 1), and sets the distance fade to 0.01 z - 1.
void Light_InitWorld(int hour);
// At world teardown: unlocks the set's texture and empties the light table and lists.
void Light_CloseWorld();
// Everything as at start-up (for tests): the world closed, set 0, sun (0, 1, 0), the fade 0.01 z - 1.
void Light_Reset();

int Light_GetCurrentSet();
int Light_GetLightsOff();  // 1 in the lights-off sets
float Light_GetSunAngle();
float Light_GetSunIntensity();
float Light_GetAmbient();
Vector Light_GetSunAxis();       // (0, 0, 1)
Vector Light_GetSunDirection();  // unit
// clamp(0.01 z - 1, 0, 1): how much of the light distance has faded.
float Light_Fade(float z);
// 0 when x <= 0.001, else x to the power y.
float Light_Pow(float x, float y);

// ---- The mission's lights ------------------------------------------------------------------

// Adds a light for owner: kind 1 spot, anything else a point light; range raised to 20, cone to
// 10 degrees; direction and offset may be null (a spot without a direction shines along the
// owner's front). Nothing in the lights-off sets. Warnings, and nothing added: "Too many lights
// sources in this mission" with 512 lights, "Object "NAME" with more than one light source" for
// an owner that has one.
void Light_Add(Entity* owner, int kind, float range, float coneAngle, const Vector* direction, const Vector* offset);
// The owner's light goes (the last record takes its slot); the frame's lists stay valid.
void Light_Remove(Entity* owner);
void Light_Enable(Entity* owner, bool on);

int Light_Count();
const LightSource* Light_Get(int index);           // null outside 0..count-1
const LightSource* Light_Find(const Entity* owner);  // null when the owner has none

// ---- Per frame -----------------------------------------------------------------------------

// Once per view before objects are drawn: the enabled lights whose range x 3 sphere is not wholly
// outside the view, in table order, at most 24, with their world and view positions and
// directions. Nothing in the lights-off sets.
void Light_CollectVisible(const RenderView* view);
int Light_ActiveCount();
const LightSource* Light_Active(int index);

// Before an object's vertices are shaded: the (at most) four active lights strongest at the
// entity's world position, strongest first, ties in table order.
void Light_SelectForObject(const Entity* entity);
int Light_SelectedCount();
const LightSource* Light_Selected(int index);

// Light values 0..1 for count vertices (positions and normals in the object's drawing space,
// z the depth); objectRotation carries world directions into that space, lightRotation turns the
// point lights' directions. Uses the selected lights.
void Light_ShadeVertices(float* out, const Vector* positions, const Vector* normals, const Matrix& objectRotation,
                         const Matrix& lightRotation, int count);

// The unit direction of an entity's shadow at a reference point of the entity's frame: towards
// the strongest active light not its own when that light beats 1.5 x the sun's intensity, else
// the sun direction. Never NaN.
Vector Light_GetShadowDirection(const Entity* entity, const Vector& point);

// What the lights ask of their neighbours; null entries keep the defaults.
struct LightServices {
    float (*groundHeight)(double x, double z);  // the terrain's height
    int (*viewState)();                         // the camera's view state (3: shading flat)
};
void Light_SetServices(const LightServices* services);  // null restores the defaults

// Points the entity layer and the object loader at the light table (Render_InstallSeam).
void Light_InstallServices();

#include "ai/avoidance.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Objkr/bucketgrid.h"
#include "Terrain/terramap.h"
#include "ai/avoidsettings.h"
#include "ai/pathgrid.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/paramfile.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"

namespace {

std::unique_ptr<BucketGrid> g_grid;
bool g_configRead = false;

struct StuckPair {
    uint32_t unit = 0;
    uint32_t other = 0;  // 0: a free record
    float blocked = 0.0f;
    float last = 0.0f;
    Vector position{};
};
StuckPair g_pairs[kAvoidanceStuckPairs];

constexpr int kCurrentRevision = 1;
constexpr float kStuckSeconds = 10.0f;
constexpr float kSidestep = 20.0f;

// Push strength of blocked ground by movement class, one column per team 0..2.
constexpr int kCliffTable[kPathClassCount][3] = {
    {0, 0, 0}, {1, 1, 1}, {0, 4, 0}, {0, 5, 0}, {0, 0, 4}, {0, 0, 5}, {4, 4, 4},
    {5, 5, 5}, {5, 5, 5}, {10, 10, 10}, {0, 0, 0}, {40, 40, 40}, {40, 40, 40},
};

struct SidestepRule {
    uint32_t required, forbidden;
    int turn;
    char group;
};
constexpr SidestepRule kRules[] = {
    {131, 4, -1, 'A'}, {129, 70, -1, 'A'}, {3, 196, -1, 'A'}, {130, 1, 0, 'A'},
    {6, 193, 3, 'B'},  {192, 7, 1, 'B'},   {128, 3, 0, 'C'},  {2, 129, 0, 'C'},
};

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Sub(const Vector& a, const Vector& b) { return Vector{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector Mul(const Vector& a, float s) { return Vector{a.x * s, a.y * s, a.z * s}; }
float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
uint32_t SignatureOf(const GameObject* o) { return o->objClass ? o->objClass->signature : 0; }
int32_t KindOf(const GameObject* o) { return o->objClass ? o->objClass->category : 0; }
int32_t TypeOf(const GameObject* o) { return o->entity ? o->entity->type : 0; }
float SpeedOf(const GameObject* o) { return o->euler.speed; }
float SphereRadius(const GameObject* o) {
    if (o->record) return o->record->radius;
    return o->entity ? o->entity->boundsRadius : o->radius;
}
uint32_t Serial(const GameObject* o) { return o->GetObjHandle() & kHandleSerialMask; }
// The object's team: its entity's team bits until the object has joined its team.
int32_t TeamOf(const GameObject* o) {
    if (o->team >= 0 && o->team < kTeamCount) return o->team;
    return o->entity ? static_cast<int32_t>((o->entity->flags & kEntityTeamMask) >> kEntityTeamShift) : 0;
}

void ReadInt(const IParseContext* c, const char* key, int32_t* out) {
    int status = -1;
    const int value = IParse_GetInt(c, key, &status);
    if (status == 0) *out = value;
}
void ReadFloat(const IParseContext* c, const char* key, float* out, bool positive = false) {
    int status = -1;
    const float value = IParse_GetFloat(c, key, &status);
    if (status != 0 || !std::isfinite(value)) return;
    if (positive && !(value > 0.0f)) return;
    *out = value;
}

}  // namespace

// ---- settings ---------------------------------------------------------------------------------

void Avoidance_LoadConfig() {
    if (g_configRead) return;
    g_configRead = true;
    IParseContext* c = IParse_New();
    if (IParse_OpenFile("Collision.cfg", c) == kIParseNotFound) {
        IParse_Free(c);
        return;
    }
    AvoidanceSettings& s = Avoidance_Settings();
    int status = -1;
    const int revision = IParse_GetInt(c, "COLLISION_CONFIG_FILE_REVISION", &status);
    if (revision > kCurrentRevision)
        Error_Warning(
            "COLLISION AVOIDANCE CONFIGURATION: Get new source code 'collision' (%d) to synch with "
            "'M4Q\\debug\\Collision.cfg' (%d)",
            kCurrentRevision, revision);
    else if (revision < kCurrentRevision)
        Error_Warning(
            "COLLISION AVOIDANCE CONFIGURATION: Get new 'M4Q\\debug\\Collision.cfg' (%d) to synch with "
            "source code 'collision' (%d).",
            revision, kCurrentRevision);
    if (status == 0) s.revision = revision;
    ReadInt(c, "AVOIDANCE_USING_RANGE_SEARCH", &s.usingRangeSearch);
    // A cell size must be positive: anything else keeps the default grid.
    ReadFloat(c, "GRID_X_SIZE", &s.gridXSize, true);
    ReadFloat(c, "GRID_Z_SIZE", &s.gridZSize, true);
    ReadInt(c, "COLLISION_LATERAL_REPULSION", &s.lateralRepulsion);
    ReadInt(c, "COLLISION_FULL_POTENTIAL_FIELD", &s.fullPotentialField);
    ReadInt(c, "COLLISION_REAL_COLLISIONS", &s.realCollisions);
    ReadInt(c, "COLLISION_DIRECT_REPULSION", &s.directRepulsion);
    ReadFloat(c, "LATERAL_AVOIDANCE_MULTIPLIER", &s.lateralAvoidanceMultiplier);
    ReadFloat(c, "LATERAL_DANGER_WIDTH", &s.lateralDangerWidth);
    ReadFloat(c, "COLLISION_LOOK_AHEAD_TIME", &s.lookAheadTime);
    ReadFloat(c, "COLLISION_SAFETY_COEFF", &s.safetyCoeff);
    ReadInt(c, "COLLISION_CHEAP_2D_COLLIDE", &s.cheap2DCollide);
    ReadFloat(c, "EXTRA_GOAL_ATTRACTION", &s.extraGoalAttraction);
    ReadFloat(c, "REPULSIVE_COEFFICIENT", &s.repulsiveCoefficient);
    ReadFloat(c, "ATTRACTIVE_COEFFICIENT", &s.attractiveCoefficient);
    ReadFloat(c, "DEFAULT_REPULSION_CUTOFF", &s.defaultRepulsionCutoff);
    ReadFloat(c, "DISTANCE_OF_INFLUENCE", &s.distanceOfInfluence);
    ReadFloat(c, "CLIFF_REPULSION_COEFFICIENT", &s.cliffRepulsionCoefficient);
    ReadFloat(c, "SWITCH_TO_NEXT_POINT_DISTANCE", &s.switchToNextPointDistance);
    ReadFloat(c, "EXTRA_STUCK_TIME", &s.extraStuckTime);
    IParse_Free(c);
}

void Avoidance_ResetConfig() {
    g_configRead = false;
    Avoidance_ResetSettings();
}

// ---- the grid -------------------------------------------------------------------------------------

void Avoidance_CreateGridOver(float minX, float minZ, float maxX, float maxZ) {
    Avoidance_DestroyGrid();
    const AvoidanceSettings& s = Avoidance_Settings();
    g_grid = std::make_unique<BucketGrid>(s.gridXSize, s.gridZSize, minZ, maxZ, minX, maxX, kAvoidanceGridCapacity);
}

void Avoidance_CreateGrid() {
    float bounds[6];
    Terrain_GetBounds(bounds);
    Avoidance_CreateGridOver(bounds[0], bounds[2], bounds[3], bounds[5]);
}

void Avoidance_DestroyGrid() {
    if (g_grid) g_grid->Free();
    g_grid.reset();
}

void Avoidance_RefillGrid() {
    if (!g_grid) return;
    g_grid->Clear();
    for (GameObject* object : GameObject_List()) {
        if (!object) continue;
        const uint32_t handle = object->GetObjHandle();
        if (handle == 0) continue;
        const Vector p = AI_PositionOf(object);
        g_grid->Insert(handle, p.x, p.z);
    }
    g_grid->EndFill();
}

BucketGrid* Avoidance_Grid() { return g_grid.get(); }

// ---- pushes -------------------------------------------------------------------------------------

void Avoidance_Lateral(GameObject* unit, GameObject* other, const Vector& goal, float range, float R, Vector* v) {
    const AvoidanceSettings& s = Avoidance_Settings();
    const Vector P = AI_PositionOf(unit), O = AI_PositionOf(other);
    const Vector D = Sub(goal, P);
    const float ground = std::sqrt(D.x * D.x + D.z * D.z);
    if (ground < 0.0001f) return;
    const float length = std::sqrt(Dot(D, D));
    const Vector u{D.z / ground, 0.0f, -D.x / ground};
    const Vector offset = Sub(O, P);
    const float lat = (offset.x * D.z - offset.z * D.x) / ground;
    const float fwd = Dot(offset, D) / length;
    const float W = s.lateralDangerWidth * R;
    const float speed = SpeedOf(unit);
    if (!(W > 0.0f) || std::fabs(lat) > W || fwd <= 0.0f || !(speed > 0.0f) || fwd > s.lookAheadTime * speed) return;
    const float strength = s.lateralAvoidanceMultiplier * (lat > 0.0f ? -(W - lat) / W : (W + lat) / W);
    if (range * range >= Vec3_GroundDistSq(P, O)) *v = Add(*v, Mul(u, strength));
}

bool Avoidance_Steer(GameObject* unit, GameObject* ignore, float range, const Vector& goal, Vector* force, bool debug) {
    if (!unit || !force || !g_grid) return false;
    const AvoidanceSettings& s = Avoidance_Settings();
    const Vector P = AI_PositionOf(unit);
    const Vector G = Sub(goal, P);
    const TeamRecord* team = unit->teamRecord ? unit->teamRecord : TeamRecord::Get(TeamOf(unit));
    const GameObject* leader = team ? team->GetSlot(0) : nullptr;
    const uint32_t allies = team ? team->GetAllies() : 0u;
    const uint32_t unitSignature = SignatureOf(unit);
    const uint32_t unitSerial = Serial(unit);
    BucketGridQuery query;
    g_grid->Query(P.x, P.z, std::max(range, 0.0f), &query);
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* other = GameObject::FromHandle(entry->value);
        if (!other || other == unit || other == ignore) continue;
        // Of two fast movers only the one made later steers round the other.
        if (SpeedOf(other) > 5.0f && other != leader && unitSerial < Serial(other)) continue;
        const uint32_t signature = SignatureOf(other);
        const int32_t kind = KindOf(other);
        if (unitSignature == Signature("TUG") &&
            (other->carrier == unit || signature == Signature("RCYC") || signature == Signature("ARMR") ||
             signature == Signature("FACT")))
            continue;
        if (unitSignature == Signature("RCYC") && signature == Signature("TUG")) continue;
        if (kind == 2 || kind == 3 || kind == 7 || kind == 10) continue;
        const bool ally = (allies >> TeamOf(other)) & 1u;
        if (!ally && (kind == 4 || kind == 1)) continue;
        if (ally && signature == Signature("PROX")) continue;
        const Vector O = AI_PositionOf(other);
        const Vector away = Sub(P, O);
        const float d2 = Dot(away, away);
        if (!(range * range > d2)) continue;
        Vector v{};
        const float R = other->radius + unit->radius;
        bool threat = true;
        if (s.realCollisions != 0) {
            const int32_t type = TypeOf(other);
            if ((type == 1 || type == 6) && AI_IsActive(other))
                threat = s.cheap2DCollide ? Avoidance_PredictCheap2D(unit, other, s.lookAheadTime, goal)
                                          : Avoidance_PredictCollision(unit, other, s.lookAheadTime);
        }
        if (s.lateralRepulsion && threat) {
            Avoidance_Lateral(unit, other, goal, range, R, &v);
            if (debug) UnitAi_Services().debugCircle(Add(O, v), 1.0f, 0xffff00u);
        }
        if (s.directRepulsion && threat) {
            const float dist = std::max(0.1f, std::sqrt(d2) - R);
            const float k = 1.0f / dist - 1.0f / s.distanceOfInfluence;
            v = Add(v, Mul(away, k * k * s.repulsiveCoefficient / dist));
            if (debug) UnitAi_Services().debugCircle(Add(O, v), 1.0f, 0xff0000u);
        }
        // A parked object that has kept the unit from its goal too long stops pushing.
        if (SpeedOf(other) < 1.0f && Dot(G, v) < 0.0f && Avoidance_StuckPairs(unit, other)) continue;
        *force = Add(*force, v);
    }
    return false;
}

int Avoidance_CliffStrength(int movementClass, int32_t team) {
    if (movementClass < 0 || movementClass >= kPathClassCount) return 0;
    // Nothing marks ground hostile to teams beyond the first three: they read the neutral column.
    const int column = team >= 0 && team <= 2 ? team : 0;
    return kCliffTable[movementClass][column];
}

int Avoidance_TravelDirection(float gx, float gz) {
    if (std::fabs(gz) < std::fabs(gx)) return gx > 0.0f ? 1 : 3;
    return gz > 0.0f ? 0 : 2;
}

int Avoidance_Octant(int dx, int dz) {
    const int ax = std::abs(dx);
    if (dz >= 2 * ax) return 0;
    if (ax <= 2 * dz && dz < 2 * ax) return dx > 0 ? 1 : 7;
    if (-ax < 2 * dz && 2 * dz < ax) return dx > 0 ? 2 : 6;
    if (dz <= -2 * ax) return 4;
    return dx > 0 ? 3 : 5;
}

bool Avoidance_SidestepRule(uint32_t mask, uint32_t required, uint32_t forbidden, int turn, int t, float vx, float vz,
                            Vector2D* sidestep) {
    if ((mask & required) != required || (mask & forbidden) != 0) return false;
    if (turn == -1) {
        if (t == 0 || t == 2)
            turn = vx > 0.0f ? 1 : 3;
        else
            turn = vz > 0.0f ? 3 : 1;
        if (t == 2 || t == 3) turn = turn == 1 ? 3 : 1;
    }
    static constexpr float kStep[4][2] = {{0.0f, kSidestep}, {kSidestep, 0.0f}, {0.0f, -kSidestep}, {-kSidestep, 0.0f}};
    const int heading = ((t + turn) % 4 + 4) % 4;
    if (sidestep) *sidestep = Vector2D{kStep[heading][0], kStep[heading][1]};
    return true;
}

bool Avoidance_CliffRepulsion(GameObject* unit, const Vector& goal, float distance, Vector* force) {
    if (!unit || !force || !PathGrid_Exists()) return false;
    const float perMetre = PathGrid_CellsPerMetre(), metres = PathGrid_MetresPerCell();
    if (!(perMetre > 0.0f) || !(metres > 0.0f)) return false;
    const Vector P = AI_PositionOf(unit);
    if (!std::isfinite(P.x) || !std::isfinite(P.z)) return false;
    const int t = Avoidance_TravelDirection(goal.x - P.x, goal.z - P.z);
    // The unit's box, stretched by one second of its velocity, in cells; at least one cell
    // beyond the unit's own on every side.
    const float r = SphereRadius(unit);
    Vector vel = unit->euler.velocity;
    if (!std::isfinite(vel.x) || !std::isfinite(vel.z)) vel = Vector{};
    const float x0 = P.x - r + std::min(0.0f, vel.x), x1 = P.x + r + std::max(0.0f, vel.x);
    const float z0 = P.z - r + std::min(0.0f, vel.z), z1 = P.z + r + std::max(0.0f, vel.z);
    const int ux = static_cast<int>(std::floor(P.x * perMetre)), uz = static_cast<int>(std::floor(P.z * perMetre));
    // A velocity gone wild must not make the scan huge: no cell beyond the distance pushes.
    const float reach = std::max(distance, 0.0f) * perMetre + 1.0f;
    auto clampCell = [](float m, float lo, float hi) { return static_cast<int>(std::clamp(m, lo, hi)); };
    const int cx0 = std::min(clampCell(std::floor(x0 * perMetre), ux - reach, ux), ux - 1);
    const int cx1 = std::max(clampCell(std::floor(x1 * perMetre), ux, ux + reach), ux + 1);
    const int cz0 = std::min(clampCell(std::floor(z0 * perMetre), uz - reach, uz), uz - 1);
    const int cz1 = std::max(clampCell(std::floor(z1 * perMetre), uz, uz + reach), uz + 1);
    const float rho = std::max(unit->radius, 7.0f);
    const float distance2 = distance * distance;
    uint32_t mask = 0;
    Vector push{};
    bool pushed = false;
    for (int cz = cz0; cz <= cz1; ++cz) {
        for (int cx = cx0; cx <= cx1; ++cx) {
            const float centreX = (static_cast<float>(cx) + 0.5f) * metres;
            const float centreZ = (static_cast<float>(cz) + 0.5f) * metres;
            const float ox = P.x - centreX, oz = P.z - centreZ;
            const float d2 = ox * ox + oz * oz;
            if (!(d2 > 0.0001f) || d2 > distance2) continue;
            const int octant = Avoidance_Octant(cx - ux, cz - uz);
            if (PathGrid_IsBlocked(cx, cz)) mask |= 1u << (((octant - 2 * t) % 8 + 8) % 8);
            const int k = Avoidance_CliffStrength(PathGrid_CellClass(PathGrid_GetCell(cx, cz)), TeamOf(unit));
            if (k == 0) continue;
            float strength = static_cast<float>(k);
            if (d2 > rho * rho) strength = strength * rho * rho / d2;
            const float d = std::sqrt(d2);
            push.x += strength * ox / d;
            push.z += strength * oz / d;
            pushed = true;
        }
    }
    for (const SidestepRule& rule : kRules) {
        Vector2D step{};
        if (!Avoidance_SidestepRule(mask, rule.required, rule.forbidden, rule.turn, t, vel.x, vel.z, &step)) continue;
        push.x = step.x;
        push.z = step.z;
        if (rule.group != 'B' && distance >= 15.0f) {
            // Boxed in with room to spare: step aside from the middle of the unit's own cell.
            const float centreX = (static_cast<float>(ux) + 0.5f) * metres;
            const float centreZ = (static_cast<float>(uz) + 0.5f) * metres;
            *force = Vector{step.x + centreX - P.x, 0.0f, step.z + centreZ - P.z};
            return true;
        }
        *force = Add(*force, push);
        return true;
    }
    *force = Add(*force, push);
    return pushed;
}

// ---- prediction -----------------------------------------------------------------------------------

bool Avoidance_PredictCollision(GameObject* unit, GameObject* other, float lookAhead) {
    const AvoidanceSettings& s = Avoidance_Settings();
    const Vector pu = AI_PositionOf(unit), po = AI_PositionOf(other);
    const float e = (unit->radius + other->radius) * s.safetyCoeff;
    const float w = std::sqrt(Vec3_GroundDistSq(pu, po));
    if (w - e <= 0.0f) return true;
    if (w - e > (SpeedOf(unit) + SpeedOf(other)) * lookAhead) return false;
    const Vector V = Sub(unit->euler.velocity, other->euler.velocity);
    const Vector Q = Sub(po, pu);
    const float lengths = std::sqrt(Dot(V, V) * Dot(Q, Q));
    if (!(lengths > 0.0f)) return false;
    const float cosine = std::clamp(Dot(V, Q) / lengths, -1.0f, 1.0f);
    if (!(std::acos(cosine) < 3.14159265358979f / 2.0f)) return false;
    const Vector dp = Sub(pu, po);
    const float a = Dot(V, V);
    if (a == 0.0f) return false;
    const float b = 2.0f * Dot(dp, V);
    const float c = Dot(dp, dp) - e * e;
    const float disc = b * b - 4.0f * a * c;
    if (disc < 0.0f) return false;
    const float root = std::sqrt(disc);
    const float t1 = (-b + root) / (2.0f * a), t2 = (-b - root) / (2.0f * a);
    if (t1 >= 0.0f && t1 <= lookAhead) return true;
    return t2 >= 0.0f && t2 <= lookAhead;
}

bool Avoidance_PredictCheap2D(GameObject* unit, GameObject* other, float lookAhead, const Vector& goal) {
    const AvoidanceSettings& s = Avoidance_Settings();
    const Vector P = AI_PositionOf(unit), O = AI_PositionOf(other);
    const float e = (unit->radius + other->radius) * s.safetyCoeff;
    const Vector D = Sub(goal, P);
    const float ground = std::sqrt(D.x * D.x + D.z * D.z);
    if (ground < 0.0001f) return false;
    const Vector offset = Sub(O, P);
    const float lat = (offset.x * D.z - offset.z * D.x) / ground;
    if (std::fabs(lat) > s.lateralDangerWidth * e) return false;
    const float fwd = Dot(offset, D) / std::sqrt(Dot(D, D));
    const float speed = SpeedOf(unit);
    if (fwd <= 0.0f || !(speed > 0.0f) || fwd > speed * lookAhead) return false;
    return !(Dot(D, D) < Vec3_GroundDistSq(P, O));
}

float Avoidance_ClosingTime(GameObject* a, GameObject* b) {
    const Vector dv = Sub(b->euler.velocity, a->euler.velocity);
    const Vector dp = Sub(AI_PositionOf(a), AI_PositionOf(b));
    const float speed2 = Dot(dv, dv);
    if (speed2 < 0.01f) return 1e30f;
    return Dot(dv, dp) / speed2;
}

Vector Avoidance_PredictPosition(GameObject* object, float t) {
    const Vector P = AI_PositionOf(object);
    const int32_t type = TypeOf(object);
    if (!(type == 1 || type == 3 || type == 4 || type == 6)) return P;
    const float w = object->euler.angularVelocity.y;
    if (std::fabs(w) < 0.05f) return Add(P, Mul(object->euler.velocity, t));
    // On the circle the turn draws: a positive yaw rate turns toward the object's right.
    const float radius = SpeedOf(object) / std::fabs(w);
    const float angle = std::fabs(w) * t;
    const float side = w > 0.0f ? 1.0f : -1.0f;
    const float lx = side * radius * (1.0f - std::cos(angle));
    const float lz = radius * std::sin(angle);
    const Matrix& m = object->entity->local;
    return Add(P, Add(Mul(m.right, lx), Mul(m.front, lz)));
}

bool Avoidance_WillCollide(GameObject* a, GameObject* b) {
    if (!a || !b) return false;
    const float reach = SphereRadius(a) + SphereRadius(b) + 2.5f;
    const float L = reach * reach;
    const Vector d = Sub(AI_PositionOf(a), AI_PositionOf(b));
    if (Dot(d, d) < L) return true;
    const float t = Avoidance_ClosingTime(a, b);
    if (!(t >= 0.0f && t < 3.0f)) return false;
    const Vector e = Sub(Avoidance_PredictPosition(a, t), Avoidance_PredictPosition(b, t));
    return Dot(e, e) < L;
}

// ---- stuck pairs ----------------------------------------------------------------------------------

bool Avoidance_StuckPairs(GameObject* unit, GameObject* other) {
    const float now = Clock_GetTime();
    for (StuckPair& pair : g_pairs)
        if (pair.other != 0 && now - pair.last >= 1.0f) pair = StuckPair{};
    const uint32_t u = unit->GetObjHandle(), o = other->GetObjHandle();
    StuckPair* found = nullptr;
    for (StuckPair& pair : g_pairs) {
        if (pair.other != 0 && pair.unit == u && pair.other == o) {
            found = &pair;
            break;
        }
    }
    if (!found) {
        for (StuckPair& pair : g_pairs) {
            if (pair.other == 0) {
                pair = StuckPair{u, o, 0.0f, now, AI_PositionOf(unit)};
                found = &pair;
                break;
            }
        }
    }
    if (!found) return false;
    found->blocked += now - found->last;
    found->last = now;
    return found->blocked > kStuckSeconds;
}

void Avoidance_ClearStuckPairs() {
    for (StuckPair& pair : g_pairs) pair = StuckPair{};
}

int Avoidance_StuckPairCount() {
    int n = 0;
    for (const StuckPair& pair : g_pairs) n += pair.other != 0;
    return n;
}

void Avoidance_ResetForTests() {
    Avoidance_DestroyGrid();
    Avoidance_ClearStuckPairs();
    Avoidance_ResetConfig();
}

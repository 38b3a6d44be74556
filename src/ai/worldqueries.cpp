#include "ai/worldqueries.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/bucketgrid.h"
#include "ai/avoidance.h"
#include "ai/pathgrid.h"
#include "ai/unittask.h"
#include "core/clock.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"

namespace {

constexpr uint32_t kSigArtillery = Signature("ARTI");
constexpr uint32_t kSigGeyser = Signature("GEIZ");
constexpr uint32_t kSigTorpedo = Signature("TORP");
constexpr uint32_t kSigTug = Signature("TUG");
constexpr uint32_t kSigRecycler = Signature("RCYC");
constexpr uint32_t kSigSilo = Signature("SILO");
constexpr uint32_t kSigMine = Signature("MINE");
constexpr uint32_t kSigTurret = Signature("TURR");
constexpr uint32_t kSigDispenser = Signature("DISP");
constexpr uint32_t kSigRadarLauncher = Signature("RDRL");
constexpr uint32_t kSigChargeGun = Signature("CHRG");
constexpr int kFlagsIgnoredTarget = 0x0c;
constexpr int kFlagsNearbyThreat = 0x80;

float Dist2(const Vector& a, const Vector& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}
float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

int32_t TypeOf(const GameObject* object) { return object->entity ? object->entity->type : 0; }
uint32_t SignatureOf(const GameObject* object) { return object->objClass ? object->objClass->signature : 0; }
int32_t KindOf(const GameObject* object) { return object->objClass ? object->objClass->category : 0; }
bool IsDead(const GameObject* object) { return !object->entity || (object->entity->flags & kEntityDead); }
bool IsVehicle(int32_t type) { return type == 1 || type == 6; }

// An object's team: its entity's team bits until the object has joined its team (a freshly
// built object has not).
int32_t TeamOf(const GameObject* object) {
    if (object->team >= 0 && object->team < kTeamCount) return object->team;
    return object->entity ? static_cast<int32_t>((object->entity->flags & kEntityTeamMask) >> kEntityTeamShift) : 0;
}
TeamRecord* RecordOf(const GameObject* object) {
    return object->teamRecord ? object->teamRecord : TeamRecord::Get(TeamOf(object));
}
// Team t (above 0) is an ally (an enemy) of the unit's team.
bool AllyTeam(const GameObject* unit, int32_t t) {
    const TeamRecord* record = RecordOf(unit);
    return t > 0 && record && record->IsAlly(t);
}
bool EnemyTeam(const GameObject* unit, int32_t t) {
    const TeamRecord* record = RecordOf(unit);
    return t > 0 && record && record->IsEnemy(t);
}
bool Ally(const GameObject* unit, const GameObject* other) { return other && AllyTeam(unit, other->perceivedTeam); }
bool IsMineKind(uint32_t s) {
    return s == Signature("FLAR") || s == Signature("MGNT") || s == kSigMine || s == Signature("PROX") ||
           s == Signature("WPNM");
}

float SphereRadius(const GameObject* object) {
    if (object->record) return object->record->radius;
    return object->entity ? object->entity->boundsRadius : object->radius;
}

const Matrix& MatrixOf(const GameObject* object) {
    static const Matrix identity = kIdentityMatrix;
    return object->entity ? object->entity->local : identity;
}

// Every live object whose handle the grid holds in the cells around (x, z) within radius.
template <class Fn>
void ForEachInGrid(const BucketGrid* grid, const Vector& at, float radius, Fn&& fn) {
    if (!grid) return;
    BucketGridQuery query;
    grid->Query(at.x, at.z, radius, &query);
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        if (GameObject* object = GameObject::FromHandle(entry->value)) fn(object);
    }
}

// Every listed object that is not dead. The list is copied: nothing here changes it, but a
// caller's callback must not be able to invalidate the walk.
template <class Fn>
void ForEachLive(Fn&& fn) {
    const std::vector<GameObject*> list = GameObject_List();
    for (GameObject* object : list)
        if (object && !IsDead(object)) fn(object);
}

OrdnanceClass* OrdnanceOf(const Weapon* weapon) {
    if (weapon->ordnanceClass) return weapon->ordnanceClass;
    return weapon->weaponClass ? weapon->weaponClass->ordnanceClass : nullptr;
}

uint32_t WeaponSignature(const Weapon* weapon) { return weapon && weapon->weaponClass ? weapon->weaponClass->signature : 0; }

// The enemy search over either grid; mines count as craft when asked.
GameObject* NearestEnemyCraft(GameObject* unit, float* range2, const BucketGrid* grid, bool mines) {
    if (!unit || !range2) return nullptr;
    const Vector at = AI_PositionOf(unit);
    const Vector front = MatrixOf(unit).front;
    GameObject* target = GameObject::FromHandle(unit->target);
    const float now = Clock_GetTime();
    float best[3] = {*range2, *range2, *range2};
    GameObject* found[3] = {};
    const float radius = *range2 > 0.0f ? std::sqrt(*range2) : 0.0f;
    ForEachInGrid(grid, at, radius, [&](GameObject* object) {
        if (object == unit) return;
        if (TeamOf(object) == 0 && object != target) return;
        if (AllyTeam(unit, TeamOf(object)) || AllyTeam(unit, object->perceivedTeam)) return;
        const int32_t type = TypeOf(object);
        if (!IsVehicle(type) && type != 4) return;
        const Vector p = AI_PositionOf(object);
        const float d2 = Vec3_GroundDistSq(at, p);
        int slot;
        if (mines && IsMineKind(SignatureOf(object))) {
            slot = 0;
        } else if (IsVehicle(type)) {
            slot = AI_IsPiloted(object) ? 0 : 1;
        } else if (object == target) {
            slot = 2;
        } else {
            float hitTime = 0.0f;
            GameObject* attacker = AI_LastAttacker(object, &hitTime);
            if (attacker && AllyTeam(unit, TeamOf(attacker)) && now - hitTime <= 10.0f) {
                slot = 2;
            } else {
                const Vector offset{p.x - at.x, p.y - at.y, p.z - at.z};
                if (d2 > 4900.0f || Dot(front, offset) < 0.0f || !(AI_ClassFlagByte(object) & kFlagsNearbyThreat))
                    return;
                slot = 2;
            }
        }
        if (d2 < best[slot]) {
            best[slot] = d2;
            found[slot] = object;
        }
    });
    for (int slot : {0, 2, 1}) {
        if (found[slot]) {
            *range2 = best[slot];
            return found[slot];
        }
    }
    return nullptr;
}

}  // namespace

// ---- object data ------------------------------------------------------------------------------

Vector AI_PositionOf(const GameObject* object) {
    if (!object) return Vector{};
    if (object->entity) {
        const DVector& p = object->entity->local.posit;
        return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    }
    return object->pos;
}

GameObject* AI_LastAttacker(const GameObject* object, float* hitTime) {
    if (!object) return nullptr;
    GameObject* attacker = GameObject::FromHandle(object->lastShooter);
    if (attacker && hitTime) *hitTime = std::max(object->friendShot, object->enemyShot);
    return attacker;
}

bool AI_IsPiloted(const GameObject* object) { return object && object->aiProcess != nullptr; }

bool AI_IsActive(const GameObject* object) { return object && !IsDead(object) && AI_IsPiloted(object); }

int AI_ClassFlagByte(const GameObject* object) {
    return object && object->objClass ? static_cast<int>(object->objClass->classFlags & 0xff) : 0;
}

// ---- line of fire ------------------------------------------------------------------------------

float AI_HitRecencyWeight(float t) {
    if (t < 3.0f) return 100.0f;
    if (t < 5.0f) return 3.0f;
    if (t < 15.0f) return 2.0f;
    return 1.0f;
}

bool AI_LineOfFireBlocker(GameObject* object, GameObject* unit) {
    if (!object || !unit) return false;
    const uint32_t signature = SignatureOf(object);
    switch (TypeOf(object)) {
        case 1:
        case 6:
            return AI_IsPiloted(object) && Ally(unit, object);
        case 2:
            if (signature == kSigGeyser) return false;
            if (signature == kSigArtillery) return true;
            return Ally(unit, object);
        case 3:
            return signature == kSigTorpedo && Ally(unit, object);
        case 5:
        case 7:
        case 10:
            return false;
        default:
            return Ally(unit, object);
    }
}

bool AI_TargetInCone(GameObject* unit, GameObject* object, float range, float cone, float scale) {
    if (!unit || !object) return false;
    const Vector a = AI_PositionOf(unit), b = AI_PositionOf(object);
    const Vector offset{b.x - a.x, b.y - a.y, b.z - a.z};
    const Matrix& m = MatrixOf(unit);
    const float lx = Dot(offset, m.right), ly = Dot(offset, m.up), lz = Dot(offset, m.front);
    if (lz < 0.0f || lz > range) return false;
    const float side2 = lx * lx + ly * ly;
    const float r = SphereRadius(object) * scale;
    if (side2 < r * r) return true;
    return side2 < cone * cone * (side2 + lz * lz);
}

bool AI_AllyInLineOfFire(GameObject* unit, float range2, float coneSine, float /*unused*/) {
    if (!unit) return false;
    float w = 1.0f;
    float hitTime = 0.0f;
    GameObject* attacker = AI_LastAttacker(unit, &hitTime);
    if (attacker && AI_LineOfFireBlocker(attacker, unit))
        w = AI_HitRecencyWeight(Clock_GetTime() - hitTime);
    else
        attacker = nullptr;
    const float range = range2 > 0.0f ? std::sqrt(range2) : 0.0f;
    bool blocked = false;
    ForEachInGrid(GameObject_Grid(), AI_PositionOf(unit), range, [&](GameObject* object) {
        if (blocked || object == unit || !AI_LineOfFireBlocker(object, unit)) return;
        const float cone = object == attacker ? w * coneSine : coneSine;
        if (AI_TargetInCone(unit, object, range, cone, 0.25f * w + 0.75f)) blocked = true;
    });
    return blocked;
}

// ---- enemies, targets and craft ------------------------------------------------------------------

GameObject* AI_FindNearestEnemyCraft(GameObject* unit, float* range2) {
    return NearestEnemyCraft(unit, range2, Avoidance_Grid(), false);
}

GameObject* AI_FindNearestEnemyCraftOrMine(GameObject* unit, float* range2) {
    return NearestEnemyCraft(unit, range2, GameObject_Grid(), true);
}

GameObject* AI_FindNearestFreeCraft(GameObject* unit, float* range2, GameObject* excluded) {
    if (!unit || !range2) return nullptr;
    const Vector at = AI_PositionOf(unit);
    const uint32_t teamBit = Visibility_TeamBit(TeamOf(unit));
    GameObject* found = nullptr;
    float best = *range2;
    ForEachInGrid(Avoidance_Grid(), at, *range2 > 0.0f ? std::sqrt(*range2) : 0.0f, [&](GameObject* object) {
        if (object == excluded || object == unit || (object->boardExcludedTeams & teamBit)) return;
        if (!IsVehicle(TypeOf(object)) || AI_IsPiloted(object) || object->inUse) return;
        if (!Team_CanUseObject(RecordOf(unit), object)) return;
        const float d2 = Vec3_GroundDistSq(at, AI_PositionOf(object));
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    if (found) *range2 = best;
    return found;
}

bool Team_CanUseObject(TeamRecord* team, GameObject* object) {
    if (!team || !object) return team != nullptr;
    if (team->team != GameObject_GetUserTeam()) return true;
    if (object->team == team->team && object->teamSlot >= 0) return true;
    const GameObjectClass* cls = object->objClass;
    return cls && team->FindFreeSlot(cls->teamSlotFirst, cls->teamSlotLast) >= 0;
}

float AI_WeaponStrength(GameObject* object) {
    if (!object) return 0.0f;
    const int32_t type = TypeOf(object);
    if ((!IsVehicle(type) && type != 4) || !object->hardpoints) return 0.0f;
    float best = -1e30f;
    for (Weapon* weapon : object->hardpoints->weapons) {
        if (!weapon) continue;
        const OrdnanceClass* ordnance = OrdnanceOf(weapon);
        if (!ordnance) continue;
        int64_t sum = 0;
        for (int32_t d : ordnance->damage) sum += d;
        best = std::max(best, static_cast<float>(sum));
    }
    return best;
}

GameObject* AI_FindBestAttackTarget(GameObject* unit) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    const uint32_t handle = unit->GetObjHandle();
    GameObject* found = nullptr;
    float bestScore = -1e30f;
    ForEachLive([&](GameObject* object) {
        if (object == unit || Ally(unit, object)) return;
        const int32_t type = TypeOf(object);
        if (!IsVehicle(type) && type != 4) return;
        if (type == 4 && (AI_ClassFlagByte(object) & kFlagsIgnoredTarget)) return;
        float score = -Vec3_GroundDistSq(at, AI_PositionOf(object));
        if (handle != 0 && object->target == handle) score += 2500.0f;
        score += 100.0f * AI_WeaponStrength(object);
        if (score > bestScore) {
            bestScore = score;
            found = object;
        }
    });
    return found;
}

// ---- obstacles -----------------------------------------------------------------------------------

GameObject* AI_FindNearestObstacle(GameObject* unit, GameObject* skipped) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    const bool recycler = SignatureOf(unit) == kSigRecycler;
    GameObject* found = nullptr;
    float best = 2500.0f;
    ForEachInGrid(Avoidance_Grid(), at, 50.0f, [&](GameObject* object) {
        if (object == unit || object == skipped || object->notObstacle) return;
        const uint32_t signature = SignatureOf(object);
        const int32_t kind = KindOf(object);
        if ((recycler && signature == kSigTug) || signature == kSigGeyser || kind == 7) return;
        if (kind == 3 && signature != kSigTorpedo) return;
        if (kind == 4 && EnemyTeam(unit, object->perceivedTeam)) return;
        const float d2 = Dist2(at, AI_PositionOf(object));
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    return found;
}

GameObject* AI_FindNearestSolid(GameObject* unit, const Vector& point) {
    const bool recycler = unit && SignatureOf(unit) == kSigRecycler;
    GameObject* found = nullptr;
    float best = 1e30f;
    ForEachLive([&](GameObject* object) {
        if (object == unit || object->notObstacle) return;
        const uint32_t signature = SignatureOf(object);
        const int32_t kind = KindOf(object);
        if (recycler && signature == kSigTug) return;
        if (kind == 2 || kind == 5 || kind == 7 || kind == 10) return;
        if (kind == 3 && signature != kSigTorpedo) return;
        const float d2 = Dist2(point, AI_PositionOf(object));
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    return found;
}

// ---- weapon reach -----------------------------------------------------------------------------------

bool AI_WeaponStats(Weapon* mount, float* blast, float* reach, float* lifetime) {
    *blast = 0.0f;
    *reach = 10.0f;
    *lifetime = 1.0f;
    if (!mount) return false;
    const uint32_t signature = WeaponSignature(mount);
    const OrdnanceClass* ordnance = OrdnanceOf(mount);
    if (signature == kSigDispenser || signature == kSigRadarLauncher) {
        if (!ordnance) return false;
        if (ordnance->signature == kSigTorpedo) {
            *blast = ordnance->explosionDefault ? ordnance->explosionDefault->outerRadius : 0.0f;
            *reach = ordnance->ordFloatParam * ordnance->lifetime;
            *lifetime = ordnance->lifetime;
        } else {
            *reach = 50.0f;
            *lifetime = 1.0f;
        }
        return true;
    }
    if (!ordnance && signature == kSigChargeGun) {
        ChargeGunState state;
        if (UnitTask_Hooks().chargeGun(mount, &state)) {
            for (const ChargeLevel& level : state.levels) {
                if (level.ordnance) {
                    ordnance = level.ordnance;
                    break;
                }
            }
        }
    }
    if (!ordnance) return false;
    float largest = 0.0f;
    for (const ExplosionClass* e : {ordnance->explosionDefault, ordnance->explosionTypeA, ordnance->explosionTypeB})
        if (e && e->outerRadius > largest) largest = e->outerRadius;
    *blast = largest;
    *reach = ordnance->ordFloatParam * ordnance->lifetime;
    *lifetime = ordnance->lifetime;
    return true;
}

void AI_BestWeaponRange(GameObject* unit, BestWeaponRange* out) {
    out->blastRadius = 0.0f;
    out->reach = 10.0f;
    out->lifetime = 1.0f;
    out->weapon = nullptr;
    if (unit && unit->hardpoints) {
        const HardpointList& list = *unit->hardpoints;
        bool first = true;
        for (int i = 0; i < kHardpointCount; ++i) {
            Weapon* weapon = list.weapons[i];
            if (!((list.selected >> i) & 1u) || !weapon) continue;
            if (first) {
                out->weapon = weapon;
                first = false;
            }
            float blast, reach, lifetime;
            if (!AI_WeaponStats(weapon, &blast, &reach, &lifetime)) continue;
            if (WeaponSignature(out->weapon) != kSigDispenser && WeaponSignature(weapon) == kSigDispenser)
                reach = -1e30f;
            if (reach > out->reach) {
                out->blastRadius = blast;
                out->reach = reach;
                out->lifetime = lifetime;
                out->weapon = weapon;
            }
        }
    }
    out->reach -= 1.0f;
}

// ---- building sites ---------------------------------------------------------------------------------

bool AI_BuildSiteClear(const SiteFootprint& footprint, const Matrix& placement) {
    const float xs[4] = {footprint.x0, footprint.x0, footprint.x1, footprint.x1};
    const float zs[4] = {footprint.z0, footprint.z1, footprint.z1, footprint.z0};
    float minX = 1e30f, minZ = 1e30f, maxX = -1e30f, maxZ = -1e30f;
    for (int i = 0; i < 4; ++i) {
        const float x = static_cast<float>(xs[i] * placement.right.x + zs[i] * placement.front.x + placement.posit.x);
        const float z = static_cast<float>(xs[i] * placement.right.z + zs[i] * placement.front.z + placement.posit.z);
        if (!std::isfinite(x) || !std::isfinite(z)) return false;  // no site at all
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minZ = std::min(minZ, z);
        maxZ = std::max(maxZ, z);
    }
    const float perMetre = PathGrid_CellsPerMetre();
    if (!(perMetre > 0.0f)) return false;
    const double cx0 = std::floor(minX * perMetre), cx1 = std::floor(maxX * perMetre);
    const double cz0 = std::floor(minZ * perMetre), cz1 = std::floor(maxZ * perMetre);
    // A site larger than the grid cannot be clear (and is not walked cell by cell).
    if (cx1 - cx0 > PathGrid_XMax() - PathGrid_XMin() || cz1 - cz0 > PathGrid_ZMax() - PathGrid_ZMin()) return false;
    // Heights are integers: the variance test is exact in 64 bits, where a float sum cancels.
    int64_t n = 0, sum = 0, sumSquares = 0;
    for (int z = static_cast<int>(cz0); z <= static_cast<int>(cz1); ++z) {
        for (int x = static_cast<int>(cx0); x <= static_cast<int>(cx1); ++x) {
            if (PathGrid_IsBlocked(x, z)) return false;
            const int64_t h = PathGrid_Terrain().height(x, z);
            ++n;
            sum += h;
            sumSquares += h * h;
        }
    }
    if (n * sumSquares - sum * sum > 100 * n * (n - 1)) return false;
    const BucketGrid* grid = GameObject_Grid();
    if (!grid) return true;
    bool occupied = false;
    BucketGridQuery query;
    grid->BeginQuery(minX, minZ, maxX, maxZ, &query);
    const BucketGridEntry* entry = nullptr;
    while (!occupied && query.Next(&entry)) {
        GameObject* object = GameObject::FromHandle(entry->value);
        if (!object) continue;
        const int32_t kind = KindOf(object);
        if (!(kind == 2 || kind == 10 || kind == 5 || kind == 7 || kind == 3 || SignatureOf(object) == kSigTurret))
            continue;
        const Vector p = AI_PositionOf(object);
        const Vector offset{static_cast<float>(p.x - placement.posit.x), static_cast<float>(p.y - placement.posit.y),
                            static_cast<float>(p.z - placement.posit.z)};
        const float lx = Dot(offset, placement.right), lz = Dot(offset, placement.front);
        const float r = SphereRadius(object);
        occupied = lx >= footprint.x0 - r && lx <= footprint.x1 + r && lz >= footprint.z0 - r && lz <= footprint.z1 + r;
    }
    return !occupied;
}

// ---- objects by label and class -------------------------------------------------------------------

GameObject* AI_FindByLabel(const char* label) {
    if (!label) return nullptr;
    for (GameObject* object : GameObject_List())
        if (object && object->label && std::strcmp(object->label, label) == 0) return object;
    return nullptr;
}

Entity* AI_FindEntityByLabel(const char* label) {
    GameObject* object = AI_FindByLabel(label);
    return object ? object->entity : nullptr;
}

GameObject* AI_FindNearestOfClass(GameObject* unit, uint32_t signature, int32_t team, float range2) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    const uint32_t teamBit = Visibility_TeamBit(TeamOf(unit));
    GameObject* found = nullptr;
    float best = range2;
    ForEachLive([&](GameObject* object) {
        if (SignatureOf(object) != signature) return;
        const int32_t type = TypeOf(object);
        const bool ignored = AI_ClassFlagByte(object) & kFlagsIgnoredTarget;
        const Vector p = AI_PositionOf(object);
        if (type == 4 && ignored) return;
        if (type == 3 && ignored) {
            const float reach = SphereRadius(unit) + SphereRadius(object) + 3.0f;
            if (!(Dist2(at, p) < reach * reach)) return;
        }
        if (!(object->seen & teamBit)) return;
        if (team >= 0 && TeamOf(object) != team) return;
        const float d2 = Vec3_GroundDistSq(at, p);
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    return found;
}

GameObject* AiUtil_FindNearestSilo(GameObject* unit, float range2) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    GameObject* found = nullptr;
    float best = range2;
    ForEachLive([&](GameObject* object) {
        if (SignatureOf(object) != kSigSilo || TeamOf(object) != TeamOf(unit)) return;
        const float d2 = Vec3_GroundDistSq(at, AI_PositionOf(object));
        if (d2 <= best) {
            best = d2;
            found = object;
        }
    });
    return found;
}

GameObject* AiUtil_FindDropOff(GameObject* unit) {
    if (!unit) return nullptr;
    const TeamRecord* record = RecordOf(unit);
    GameObject* recycler = record ? record->GetSlot(1) : nullptr;
    if (recycler && AI_IsActive(recycler)) {
        GameObject* silo = AiUtil_FindNearestSilo(unit, Vec3_GroundDistSq(AI_PositionOf(unit), AI_PositionOf(recycler)));
        return silo ? silo : recycler;
    }
    return AiUtil_FindNearestSilo(unit, 1e30f);
}

GameObject* AI_FindNearestEnemyBuilding(GameObject* unit, float range2) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    GameObject* target = GameObject::FromHandle(unit->target);
    GameObject* found = nullptr;
    float best = range2;
    ForEachLive([&](GameObject* object) {
        if (object == unit || Ally(unit, object) || TypeOf(object) != 4) return;
        if (object != target && (TeamOf(object) == 0 || (AI_ClassFlagByte(object) & kFlagsIgnoredTarget))) return;
        const float d2 = Vec3_GroundDistSq(at, AI_PositionOf(object));
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    return found;
}

GameObject* AI_FindNearestEnemyOf(int32_t team, const Vector& point, float* range2) {
    if (!range2) return nullptr;
    const TeamRecord* record = TeamRecord::Get(team);
    GameObject* found = nullptr;
    float best = *range2;
    ForEachLive([&](GameObject* object) {
        const int32_t other = TeamOf(object);
        if (other == 0 || other == team || (record && record->IsAlly(other))) return;
        const Vector p = AI_PositionOf(object);
        float d2;
        if (SignatureOf(object) == kSigMine) {
            d2 = Dist2(point, p);
        } else {
            if (!IsVehicle(TypeOf(object)) || !AI_IsPiloted(object)) return;
            d2 = Vec3_GroundDistSq(point, p);
        }
        if (d2 < best) {
            best = d2;
            found = object;
        }
    });
    if (found) *range2 = best;
    return found;
}

GameObject* AI_FindNearestEnemyPerson(GameObject* unit, float range2) {
    if (!unit) return nullptr;
    const Vector at = AI_PositionOf(unit);
    GameObject* best = nullptr;
    float bestDist = range2;
    for (GameObject* object : GameObject_List()) {
        if (object == unit || object->objClass->category != kCategoryPerson || unit->IsAlly(object)) continue;
        if (!GameObject::FromHandle(object->GetObjHandle())) continue;
        const float d2 = Vec3_GroundDistSq(at, AI_PositionOf(object));
        if (d2 < bestDist) {
            bestDist = d2;
            best = object;
        }
    }
    return best;
}

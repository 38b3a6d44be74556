// Game objects in mission files and saved games: the object section ("size", then one
// "[GameObject]" section per object), each object's fields, and the post-load step that turns
// saved handles back into live ones.
//
// The readers are positional: one failed or out-of-range read leaves everything after it out of
// step, so the first failure fails the whole section and the loader throws away what it built.
#include <cmath>
#include <cstring>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/bytes.h"
#include "core/debug.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/helpers.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "core/seams/weapons.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr int32_t kCmdGo = 3;
constexpr int32_t kCmdDropoff = 8;
constexpr int32_t kCmdPatrol = 22;
constexpr size_t kLabelSize = 40;
constexpr size_t kSpriteNameSize = 32;
// Tolerance within which a saved orientation counts as orthonormal already; it is then kept
// bit for bit, so that loading and saving again changes nothing.
constexpr float kOrthoTolerance = 1e-5f;

bool IsMissionFile() { return SaveGame_IsMissionFile(); }

int32_t EntityTeam(const Entity* e) { return static_cast<int32_t>((e->flags & kEntityTeamMask) >> kEntityTeamShift); }

bool TeamInRange(int32_t t) { return t >= 0 && t < kTeamCount; }

// ---- the command record -----------------------------------------------------------------------

bool WriteCommand(FILE* stream, const AiCmdInfo& cmd) {
    uint8_t what[4];
    Bytes_SetU32(what, static_cast<uint32_t>(cmd.what));
    return Field_WriteInt(stream, cmd.priority, "priority") && Field_WriteBytes(stream, what, 4, "what") &&
           Field_WriteInt(stream, &cmd.who, 4, "who") && Field_WritePointer(stream, cmd.where, "where") &&
           Field_WriteInt(stream, cmd.param, "param");
}

// The path stays a saved id until the fix-up (kind "AiCmdInfo:where").
bool ReadCommand(AiCmdInfo& cmd) {
    uint8_t what[4] = {};
    if (!(Field_ReadInt("priority", &cmd.priority) && Field_ReadBytes("what", what, 4) &&
          Field_ReadInt("who", &cmd.who, 4) &&
          Field_ReadPointerFixup("where", &cmd.where, "AiCmdInfo:where") && Field_ReadInt("param", &cmd.param)))
        return false;
    cmd.what = static_cast<int32_t>(Bytes_U32(what));
    return true;
}

PhysicsState ToPhysics(const EntityDynamics& d) {
    PhysicsState p{};
    p.mass = d.mass;
    p.mass_inv = d.invMass;
    p.v_mag = d.speed;
    p.v_mag_inv = d.invSpeed;
    p.I = d.factorK;
    p.k_i = d.massOverK;
    p.v = d.velocity;
    p.omega = d.angularVelocity;
    p.Accel = d.acceleration;
    return p;
}

void FromPhysics(const PhysicsState& p, EntityDynamics& d) {
    d.mass = p.mass;
    d.invMass = p.mass_inv;
    d.speed = p.v_mag;
    d.invSpeed = p.v_mag_inv;
    d.factorK = p.I;
    d.massOverK = p.k_i;
    d.velocity = p.v;
    d.angularVelocity = p.omega;
    d.acceleration = p.Accel;
}

void DefNameOf(const GameObjectClass* cls, char out[kClassNameSize]) {
    std::memset(out, 0, kClassNameSize);
    if (cls) std::memcpy(out, cls->defName, kClassNameSize);
}

// ---- orientation ------------------------------------------------------------------------------

bool Finite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Rebuilds right, up and front as an orthonormal set from front and up, keeping the position.
// A matrix that is orthonormal within float rounding is left alone. False when front or up is
// zero, parallel to the other or not finite.
bool RebuildOrientation(Matrix& m) {
    if (!Finite(m.front) || !Finite(m.up) || !Finite(m.right)) return false;
    const float lf = std::sqrt(Dot(m.front, m.front));
    const float lu = std::sqrt(Dot(m.up, m.up));
    if (lf < 1e-4f || lu < 1e-4f) return false;
    const Vector f = Vec3_Normalize(m.front);
    const Vector side = Vec3_Cross(m.up, f);
    if (std::sqrt(Dot(side, side)) < 1e-4f * lu) return false;
    const Vector r = Vec3_Normalize(side);
    const Vector u = Vec3_Cross(f, r);
    const float lr = std::sqrt(Dot(m.right, m.right));
    const bool orthonormal = std::fabs(lf - 1.0f) < kOrthoTolerance && std::fabs(lu - 1.0f) < kOrthoTolerance &&
                             std::fabs(lr - 1.0f) < kOrthoTolerance &&
                             std::fabs(Dot(m.front, m.up)) < kOrthoTolerance &&
                             std::fabs(Dot(m.front, m.right)) < kOrthoTolerance &&
                             std::fabs(Dot(m.up, m.right)) < kOrthoTolerance && Dot(Vec3_Cross(m.up, m.front), m.right) > 0.0f;
    if (orthonormal) return true;
    m.right = r;
    m.up = u;
    m.front = f;
    return true;
}

// ---- the loading run --------------------------------------------------------------------------

// Objects built by the load in progress, so that a failed load can take them all back.
std::vector<GameObject*> g_loaded;

void LoadWarning(const char* text, int index) {
    Error_Warning("Failed to load game objects from '%s': object %d: %s", SaveGame_CurrentPath(), index, text);
}

// Removes one object and its entity tree. Fields that still hold saved ids must have been
// cleared before (Field_ClearUnresolved).
void DestroyObject(GameObject* object) {
    EntityTableRecord* record = object->record;
    Entity* entity = object->entity;
    delete object;
    if (record) Entities_Remove(record);
    if (entity && entity->state == kEntityAlive && entity->id != 0) Entity_Release(entity);
}

}  // namespace

// ---- one object -----------------------------------------------------------------------------

bool GameObject::SaveHeader(GameObject* object, FILE* stream) {
    Entity* e = object->entity;
    char defName[kClassNameSize];
    DefNameOf(object->objClass, defName);
    const uint16_t seqno = static_cast<uint16_t>(object->seqNo & 0xFFFF);
    const Vector position{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                          static_cast<float>(e->local.posit.z)};
    const int32_t team = EntityTeam(e);
    char label[kLabelSize] = {};
    if (object->label) {
        std::strncpy(label, object->label, kLabelSize - 1);
    } else {
        std::snprintf(label, sizeof label, "%.8s%d_%s", defName, static_cast<int>(seqno),
                      object->objClass && object->objClass->label ? object->objClass->label : "");
    }
    const int32_t isUser = object == GameObject_GetUser() ? 1 : 0;
    bool ok = Field_WriteLabel(stream, "[GameObject]") && Field_WriteId(stream, defName, 8, "PrjID") &&
              Field_WriteUShort(stream, &seqno, 2, "seqno") && Field_WriteVector(stream, &position, 12, "pos") &&
              Field_WriteInt(stream, team, "team") && Field_WriteString(stream, label, kLabelSize, "label") &&
              Field_WriteInt(stream, isUser, "isUser") && Field_WritePointer(stream, object, "obj_addr") &&
              Field_WriteMatrix(stream, &e->local, sizeof(Matrix), "transform");
    if (!ok) return false;
    if (!GameObjectClass::Find(defName)) return true;
    return object->Save(stream);
}

bool GameObject::Save(FILE* stream) {
    const bool mission = IsMissionFile();
    // A drop-off and a patrol are driven along their route like a go order: all three keep it.
    if (nextCmd.what != kCmdGo && nextCmd.what != kCmdDropoff && nextCmd.what != kCmdPatrol && nextCmd.where) {
        Seam_Ai().pathFree(nextCmd.where);
        nextCmd.where = nullptr;
    }
    const PhysicsState physics = ToPhysics(euler);
    char sprite[kSpriteNameSize] = {};  // no kind changes its sprite yet: always the class's own
    const int32_t health[2] = {static_cast<int32_t>(curHealth), static_cast<int32_t>(maxHealth)};
    bool ok = Field_WriteFloat(stream, illumination, "illumination") && Field_WriteVector(stream, &pos, 12, "pos") &&
              Field_WritePhysics(stream, &physics, sizeof physics, "euler") &&
              Field_WriteInt(stream, &seqNo, 4, "seqNo") && Field_WriteString(stream, sprite, sizeof sprite, "name") &&
              Field_WriteBool(stream, &isObjective, 1, "isObjective") &&
              Field_WriteBool(stream, &isSelected, 1, "isSelected") && Field_WriteHex(stream, &isVisible, 4, "isVisible") &&
              Field_WriteHex(stream, &seen, 4, "seen");
    if (ok && !mission) {
        ok = Field_WriteFloat(stream, playerShot, "playerShot") && Field_WriteFloat(stream, playerCollide, "playerCollide") &&
             Field_WriteFloat(stream, friendShot, "friendShot") && Field_WriteFloat(stream, friendCollide, "friendCollide") &&
             Field_WriteFloat(stream, enemyShot, "enemyShot") && Field_WriteFloat(stream, groundCollide, "groundCollide");
    }
    ok = ok && Field_WriteFloat(stream, healthRatio, "healthRatio") && Field_WriteLong(stream, &health[0], 4, "curHealth") &&
         Field_WriteLong(stream, &health[1], 4, "maxHealth") && Field_WriteFloat(stream, ammoRatio, "ammoRatio") &&
         Field_WriteLong(stream, &curAmmo, 4, "curAmmo") && Field_WriteLong(stream, &maxAmmo, 4, "maxAmmo");
    if (!ok) return false;
    if (mission) {
        const bool hasProcess = aiProcess != nullptr || aiProcessPending;
        ok = WriteCommand(stream, nextCmd.what != kCmdNone ? nextCmd : curCmd) &&
             Field_WriteBool(stream, hasProcess, "aiProcess");
    } else {
        ok = WriteCommand(stream, curCmd) && WriteCommand(stream, nextCmd) &&
             Field_WritePointer(stream, aiProcess, kFieldUndefPtr);
    }
    char pilot[kClassNameSize];
    DefNameOf(pilotClass, pilot);
    ok = ok && Field_WriteBool(stream, &isCargo, 1, "isCargo") && Field_WriteInt(stream, independence, "independence") &&
         Field_WriteId(stream, pilot, 8, "curPilot") && Field_WriteInt(stream, perceivedTeam, "perceivedTeam");
    if (!ok || mission) return ok;
    for (int i = 0; i < kHardpointCount; ++i) {
        char weapon[kClassNameSize] = {};
        if (hardpoints && hardpoints->weapons[i]) {
            if (const WeaponClass* wc = Seam_Weapons().weaponClassOf(hardpoints->weapons[i]))
                Text_CopyFixed(weapon, kClassNameSize, Seam_Weapons().weaponClassName(wc));
        }
        if (!Field_WriteId(stream, weapon, 8, "wpnID")) return false;
    }
    const uint32_t enabled = hardpoints ? hardpoints->enabled : 0;
    const uint32_t selected = hardpoints ? hardpoints->selected : 0;
    return Field_WriteHex(stream, &enabled, 4, "enabled") && Field_WriteHex(stream, &selected, 4, "selected");
}

bool GameObject::Load() {
    const int32_t version = Field_Version();
    const bool mission = IsMissionFile();
    PhysicsState physics{};
    if (!(Field_ReadFloat("illumination", &illumination) && Field_ReadVector("pos", &pos, 12) &&
          Field_ReadPhysics("euler", &physics, sizeof physics) && Field_ReadInt("seqNo", &seqNo, 4)))
        return false;
    // Handles name the slot and the serial together: the slot takes the saved serial, or every
    // saved handle naming this object (and every handle made from it now) would miss it.
    if (seqNo != 0) GameObject_PoolSetSerial(slotIndex, seqNo);
    else seqNo = GameObject_PoolSerial(slotIndex);
    FromPhysics(physics, euler);
    if (mission) euler.angularVelocity = Vector{0.0f, 0.0f, 0.0f};
    if (version < 1018) {
        int32_t retired[4];
        if (!(Field_ReadLong("", &retired[0], 4) && Field_ReadLong("", &retired[1], 4) &&
              Field_ReadInt("", &retired[2], 4) && Field_ReadInt("", &retired[3], 4)))
            return false;
    }
    if (version > 1030) {
        char sprite[kSpriteNameSize + 1] = {};
        if (!Field_ReadString("name", sprite, kSpriteNameSize)) return false;
        if (sprite[0]) spriteIndex = Seam_Render().spriteFind(sprite);
    }
    uint8_t objective = 0, selected = 0;
    if (!(Field_ReadBool("isObjective", &objective, 1) && Field_ReadBool("isSelected", &selected, 1) &&
          Field_ReadHex("isVisible", &isVisible, 4) && Field_ReadHex("seen", &seen, 4)))
        return false;
    if (mission) isVisible = seen = 0;
    if (!mission) {
        if (!(Field_ReadFloat("playerShot", &playerShot) && Field_ReadFloat("playerCollide", &playerCollide) &&
              Field_ReadFloat("friendShot", &friendShot) && Field_ReadFloat("friendCollide", &friendCollide) &&
              Field_ReadFloat("enemyShot", &enemyShot) && Field_ReadFloat("groundCollide", &groundCollide)))
            return false;
    } else if (version <= 1032) {
        float retired;
        for (int i = 0; i < 6; ++i)
            if (!Field_ReadFloat("", &retired)) return false;
    }
    int32_t health[2] = {};
    if (!(Field_ReadFloat("healthRatio", &healthRatio) && Field_ReadLong("curHealth", &health[0], 4) &&
          Field_ReadLong("maxHealth", &health[1], 4)))
        return false;
    curHealth = static_cast<float>(health[0]);
    maxHealth = static_cast<float>(health[1]);
    healthRatio = maxHealth > 0.0f ? curHealth / maxHealth : 1.0f;
    SetObjective(objective);
    if (mission) {
        maxHealth = static_cast<float>(objClass->health);
        curHealth = maxHealth * healthRatio;
    }
    if (version < 1015) {
        float f;
        int32_t l[2];
        if (!(Field_ReadFloat("", &f) && Field_ReadLong("", &l[0], 4) && Field_ReadLong("", &l[1], 4))) return false;
    }
    if (!(Field_ReadFloat("ammoRatio", &ammoRatio) && Field_ReadLong("curAmmo", &curAmmo, 4) &&
          Field_ReadLong("maxAmmo", &maxAmmo, 4)))
        return false;
    bool processFlag = false;
    if (mission) {
        if (!ReadCommand(nextCmd)) return false;
        if (version > 1021 && !Field_ReadBool("aiProcess", &processFlag)) return false;
    } else {
        if (!(ReadCommand(curCmd) && ReadCommand(nextCmd) &&
              Field_ReadPointerFixup(kFieldUndefPtr, &aiProcess, "GameObject:aiProcess")))
            return false;
    }
    if (version >= 1008 && !Field_ReadBool("isCargo", &isCargo, 1)) return false;
    bool hasPilot = false;
    if (version > 1016) {
        if (!Field_ReadInt("independence", &independence)) return false;
        if (version >= 1030) {
            char pilot[kClassNameSize + 1] = {};
            if (!Field_ReadId("curPilot", pilot, kClassNameSize)) return false;
            pilotClass = pilot[0] ? GameObjectClass::Find(pilot) : nullptr;
        } else {
            if (!Field_ReadBool("hasPilot", &hasPilot)) return false;
            pilotClass = !hasPilot ? nullptr : this == GameObject_GetUser() ? objClass->userPilotClass : objClass->pilotClass;
        }
    }
    if (version > 1031) {
        if (!Field_ReadInt("perceivedTeam", &perceivedTeam)) return false;
        if (!TeamInRange(perceivedTeam)) {
            Error_Warning("Saved object '%.8s': perceived team %d is not 0 to %d", objClass->defName, perceivedTeam,
                          kTeamCount - 1);
            return false;
        }
    }
    if (!mission && version > 1032) {
        for (int i = 0; i < kHardpointCount; ++i) {
            char name[kClassNameSize] = {};
            if (!Field_ReadId("wpnID", name, kClassNameSize)) return false;
            if (!name[0] || !hardpoints) continue;
            WeaponClass* wanted = Seam_Weapons().weaponClassFind(name);
            if (!wanted) continue;
            Weapon* present = hardpoints->weapons[i];
            if (present && Seam_Weapons().weaponClassOf(present) != wanted) {
                Seam_Weapons().weaponDestroy(present);
                hardpoints->SetWeapon(i, hardpoints->hardpoints[i], nullptr);
                present = nullptr;
            }
            if (!present && hardpoints->hardpoints[i])
                hardpoints->SetWeapon(i, hardpoints->hardpoints[i],
                                      Seam_Weapons().weaponClassBuild(wanted, entity, hardpoints->hardpoints[i]));
        }
        uint32_t enabled = 0, selected = 0;
        if (!(Field_ReadHex("enabled", &enabled, 4) && Field_ReadHex("selected", &selected, 4))) return false;
        if (hardpoints) {
            hardpoints->enabled = hardpoints->present & enabled;
            hardpoints->Select(selected);
        }
    }
    if (mission) {
        if (version < 1022)
            processFlag = hasPilot;
        else if (!processFlag)
            pilotClass = nullptr;
        aiProcess = nullptr;
        aiProcessPending = processFlag;
    }
    PickTeamColours();
    return true;
}

bool GameObject::PostLoad() {
    curCmd.who = Field_ResolveHandle(curCmd.who);
    nextCmd.who = Field_ResolveHandle(nextCmd.who);
    return true;
}

// ---- every object -----------------------------------------------------------------------------

bool GameObject_SaveAll(FILE* stream) {
    std::vector<GameObject*> saved;
    GameObject* user = GameObject_GetUser();
    for (GameObject* object : GameObject_List())
        if (object->record) saved.push_back(object);
    const int32_t size = static_cast<int32_t>(saved.size());
    if (!Field_WriteInt(stream, size, "size")) return false;
    if (user && user->record && !GameObject::SaveHeader(user, stream)) return false;
    for (GameObject* object : saved)
        if (object != user && !GameObject::SaveHeader(object, stream)) return false;
    return true;
}

bool GameObject_LoadAll() {
    g_loaded.clear();
    int32_t count = 0;
    if (!Field_ReadInt("size", &count)) return false;
    if (count < 1) return true;
    if (count > GameObject_PoolFreeCount()) {
        Error_Warning("Failed to load game objects from '%s': %d objects do not fit the %d free slots",
                      SaveGame_CurrentPath(), count, GameObject_PoolFreeCount());
        return false;
    }
    const int32_t version = Field_Version();
    for (int32_t i = 0; i < count; ++i) {
        char defName[kClassNameSize + 1] = {};
        uint16_t seqno = 0;
        Vector position{};
        int32_t team = 0, isUser = 0;
        char label[kLabelSize + 1] = {};
        uint32_t saved = 0;
        Matrix transform = kIdentityMatrix;
        bool ok = Field_ReadLabel("[GameObject]") && Field_ReadId("PrjID", defName, kClassNameSize) &&
                  Field_ReadUShort("seqno", &seqno, 2) && Field_ReadVector("pos", &position, 12) &&
                  Field_ReadInt("team", &team) && Field_ReadString("label", label, kLabelSize) &&
                  Field_ReadInt("isUser", &isUser);
        if (ok && version < 1002) {
            uint8_t oldId[4];
            ok = Field_ReadBytes("obj_addr", oldId, 4);
            saved = Bytes_U32(oldId);
            transform.posit = DVector{position.x, position.y, position.z};
        } else if (ok) {
            ok = Field_ReadPointer("obj_addr", &saved) && Field_ReadMatrix("transform", &transform, sizeof transform);
        }
        if (!ok) {
            LoadWarning("the section is cut short or malformed", i);
            return false;
        }
        if (!TeamInRange(team)) {
            LoadWarning("its team is not 0 to 7", i);
            return false;
        }
        if (!RebuildOrientation(transform)) {
            LoadWarning("its orientation is degenerate", i);
            return false;
        }
        GameObjectClass* cls = GameObjectClass::Find(defName);
        if (!cls) {
            Error_Warning("Failed to load game objects from '%s': object %d: unknown class '%s'", SaveGame_CurrentPath(), i,
                          defName);
            return false;
        }
        GameObject* object = GameObjectClass::Build(cls, transform, team, isUser != 0, seqno, label);
        if (!object) {
            LoadWarning("its class could not build it", i);
            return false;
        }
        g_loaded.push_back(object);
        Field_RegisterPointer(saved, object);
        if (isUser) Entities_SetUser(object->record);
        // The object joins its team before anything asks for it: the mission picks its process
        // (friend or enemy) and the units pick their friends and foes by the team.
        object->SetTeam(team);
        if (!object->Load()) {
            LoadWarning("its fields are cut short or malformed", i);
            return false;
        }
        object->UpdateSphere();
    }
    return true;
}

bool GameObject::PostLoadAll() {
    const bool mission = IsMissionFile();
    const std::vector<GameObject*> objects = GameObject_List();
    for (GameObject* object : objects) {
        if (mission && object->aiProcessPending && !object->aiProcess) {
            // While no process can be made the mark stays, so that saving again keeps it.
            object->aiProcess = object == GameObject_GetUser() ? Seam_Ai().createUserProcess(object)
                                                               : Seam_Ai().createObjectProcess(object);
            if (object->aiProcess) object->aiProcessPending = false;
        }
        if (!object->PostLoad()) return false;
    }
    return true;
}

void GameObject_DiscardLoaded() {
    // Last first, so that the entity table shrinks back as its records go.
    const std::vector<GameObject*> objects = GameObject_List();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) DestroyObject(*it);
    g_loaded.clear();
    Classfnc_Purge();
}

bool GameObject_BuildStartPlayer(const Vector& position) {
    GameObjectClass* cls = GameObjectClass::Find("player");
    if (!cls) {
        Error_Warning("The class \"player\" could not be loaded");
        return false;
    }
    Matrix m = kIdentityMatrix;
    m.posit = DVector{position.x, position.y, position.z};
    GameObject* object = GameObjectClass::Build(cls, m, 1, true, 0, nullptr);
    if (!object) return false;
    Entities_SetUser(object->record);
    object->SetTeam(1);
    return true;
}

void GameObject_StartUserObject() {
    GameObject* user = GameObject_GetUser();
    if (!user) return;
    if (sObject* process = Seam_Ai().createUserProcess(user)) user->aiProcess = process;
    user->pilotClass = GameObjectClass::Find("asuser");
}

#include "ai/userprocess.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/game.h"
#include "core/inputsinks.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/shell.h"
#include "fun3d/craft.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "fun3d/teamrecord.h"

namespace {

// The settings flag that turns the pitch axis round.
constexpr uint32_t kReverseMouse = 0x40;
constexpr float kAxisOne = 65536.0f;


void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    UnitAi_Services().debugPrint(line);
}

const char* OnOff(int32_t value) { return value ? "on" : "off"; }

const char* DeployText(const Craft* craft) {
    static const char* const kNames[] = {"undeployed", "deploying", "deployed", "undeploying"};
    const int32_t state = craft ? craft->deployState : 0;
    return state >= 0 && state < 4 ? kNames[state] : "undeployed";
}

// Moves a control toward its target at the rate per second; never past the target, however
// long the frame.
float Approach(float value, float target, float rate, float t) {
    return value + std::min(t * rate, 1.0f) * (target - value);
}

uint32_t SettingsFlags() {
    const uint8_t* def = Seam_Shell().playerDef();
    return def ? Bytes_U32(def + kPlayerDefFlags) : 0;
}

void ClearInputExceptFirstWord() {
    const int32_t first = InputSink.cmd_x;
    InputSink = InputSinks{};
    InputSink.cmd_x = first;
}

}  // namespace

sObject* UserProcess_Create() { return new UserProcess(); }
sObject* NetProcess_Create() { return new NetProcess(); }

// ---- UserProcess ---------------------------------------------------------------------------

UserProcess::UserProcess(AiMission* mission, GameObject* craft) : AiProcess(mission, craft) { SetupWeaponGroups(); }

UserProcess::UserProcess() = default;

UserProcess::~UserProcess() {
    if (UnitAi_IsListedObject(fOwner) && fOwner->hardpoints) UnitAi_Services().weaponMaskSelect(fOwner, 0);
}

const FactoryReg* UserProcess::GetFactory() const { return Registration_FactoryEntry("UserProcess"); }

void UserProcess::SetupWeaponGroups() {
    UnitAiServices& s = UnitAi_Services();
    std::fill(std::begin(selectList), std::end(selectList), 0);
    std::fill(std::begin(selectNext), std::end(selectNext), 0);
    HardpointList* list = fOwner ? fOwner->hardpoints : nullptr;
    if (list) {
        const uint32_t mounted = list->present;
        for (int i = 0; i < kWeaponGroupSlots; ++i) {
            if (!(mounted >> i & 1u)) continue;
            selectList[i] |= 1 << i;
            selectList[kWeaponGroupSlots + i] |= 1 << i;
            for (int j = i + 1; j < kWeaponGroupSlots; ++j) {
                if (!(mounted >> j & 1u)) continue;
                if (s.weaponSameClass(list->weapons[i], list->weapons[j])) {
                    selectList[i] |= 1 << j;
                    selectList[j] |= 1 << i;
                }
                const Entity* a = list->hardpoints[i];
                const Entity* b = list->hardpoints[j];
                if (a && b && a->type == b->type) {
                    selectList[kWeaponGroupSlots + i] |= 1 << j;
                    selectList[kWeaponGroupSlots + j] |= 1 << i;
                }
            }
        }
        for (int row = 0; row < kWeaponGroupRows; ++row) {
            const int32_t* masks = selectList + row * kWeaponGroupSlots;
            for (int i = 0; i < kWeaponGroupSlots; ++i) {
                int next = -1;
                for (int j = i + 1; j < kWeaponGroupSlots && next < 0; ++j)
                    if (masks[j] != masks[i] && masks[j] != 0) next = j;
                for (int j = 0; j < i && next < 0; ++j)
                    if (masks[j] != masks[i] && masks[j] != 0) next = j;
                selectNext[row * kWeaponGroupSlots + i] = next < 0 ? i : next;
            }
        }
        const int entry = groupMode * kWeaponGroupSlots + cycle;
        if (selectList[entry] == 0) cycle = selectNext[entry];
        s.weaponMaskSelect(fOwner, 0);
        s.weaponMaskSelect(fOwner, static_cast<uint32_t>(selectList[groupMode * kWeaponGroupSlots + cycle]));
    }
    pilotClass = nullptr;
    const int32_t side = fOwner && fOwner->objClass ? fOwner->objClass->side : kSideUnknown;
    if (side == kSideAmerican)
        pilotClass = GameObjectClass::Find("apcamr");
    else if (side == kSideSoviet)
        pilotClass = GameObjectClass::Find("spcamr");
    else
        Debug_Printf("User got into vehicle with unknown nation\n");
}

void UserProcess::DropPod(Craft* craft) {
    const int32_t kind = craft->objClass->category;
    if (!pilotClass || (kind != kCategoryProducer && kind != kCategoryCraft)) return;
    TeamRecord* team = TeamRecord::Get(craft->team);
    if (pilotClass->teamSlotFirst >= 0 && (!team || team->FindFreeSlot(pilotClass->teamSlotFirst, pilotClass->teamSlotLast) < 0))
        return;
    Matrix placement = craft->entity->local;
    const Vector front = placement.front;
    placement.posit = DVector{craft->pos.x - front.x * craft->radius, craft->pos.y - front.y * craft->radius,
                              craft->pos.z - front.z * craft->radius};
    GameObject* pod = GameObjectClass::Build(pilotClass, placement, craft->team, false, 0, nullptr);
    if (!pod) return;
    pod->SetTeam(craft->team);
    if (Seam_Net().isNetworkGame()) Craft_Services().netRegister(pod);
    // Its own brain, as for any new object (it joins the mission's walk from the next frame).
    if (!pod->aiProcess) pod->SetAiProcess(Seam_Ai().createObjectProcess(pod));
    if (Craft* driven = Craft_FromEntity(pod->entity)) driven->physFlags |= 0x4;
    Seam_Audio().soundPlayOnObject("gprox00.wav", pod->entity);
}

void UserProcess::SelectAndFire(GameObject* craft) {
    UnitAiServices& s = UnitAi_Services();
    HardpointList* list = craft->hardpoints;
    if (!list) return;
    uint32_t mask = list->selected;
    for (int i = 0; i < kWeaponGroupSlots; ++i) {
        if (!(list->enabled >> i & 1u) || !InputSink.weapon_select[i]) continue;
        mask = InputSink.cmd_multi ? mask ^ (1u << i) : 1u << i;
    }
    if (cycle < 0 || cycle >= kWeaponGroupSlots) cycle = 0;
    if (InputSink.weapon_link) {
        groupMode ^= 1;
        mask = static_cast<uint32_t>(selectList[groupMode * kWeaponGroupSlots + cycle]);
    }
    if (InputSink.weapon_cycle) {
        cycle = selectNext[groupMode * kWeaponGroupSlots + cycle];
        mask = static_cast<uint32_t>(selectList[groupMode * kWeaponGroupSlots + cycle]);
    }
    if (mask != list->selected) {
        s.soundPlay2D("cammo.wav");
        s.weaponMaskSelect(craft, mask);
    }
    if (InputSink.weapon_fire) s.weaponMaskFire(craft, list->selected);
    if (InputSink.weapon_special && list->special >= 0 && list->special < kHardpointCount &&
        (list->enabled >> list->special & 1u))
        s.weaponTrigger(list->weapons[list->special]);
}

void UserProcess::Execute() {
    Craft* craft = fOwner ? Craft_FromEntity(fOwner->entity) : nullptr;
    if (!fOwner) return;
    if (!Input_IsUserControlEnabled()) {
        ClearInputExceptFirstWord();
        if (craft) craft->controls = CraftControls{};
    }
    if (craft && InputSink.drop_beacon) DropPod(craft);
    SelectAndFire(fOwner);
    if (!craft) return;

    const InputSinks& in = InputSink;
    CraftControls& c = craft->controls;
    const float t = Clock_GetFrameTime();
    // A craft's positive steering turns it toward its left (-x), as the units' heading steering
    // and the hover model have it; the right key, and a stick or mouse moved right, turn it
    // right, so they steer negative.
    const int keySteer = in.steer_left - in.steer_right;
    c.steering = keySteer ? Approach(c.steering, static_cast<float>(keySteer), 1.0f, t)
                          : Approach(c.steering, -static_cast<float>(in.steer) / kAxisOne, 5.0f, t);
    const int keyPitch = in.pitch_up - in.pitch_down;
    float axisPitch = static_cast<float>(in.pitch) / kAxisOne;
    if (SettingsFlags() & kReverseMouse) axisPitch = -axisPitch;
    c.pitch = keyPitch ? Approach(c.pitch, static_cast<float>(keyPitch), 1.0f, t) : Approach(c.pitch, axisPitch, 5.0f, t);
    const int keyThrottle = in.throttle_up - in.throttle_down;
    c.throttle = Approach(c.throttle, keyThrottle ? static_cast<float>(keyThrottle) : static_cast<float>(in.throttle) / kAxisOne,
                          3.0f, t);
    const int keyStrafe = in.strafe_right - in.strafe_left;
    c.strafe = Approach(c.strafe, keyStrafe ? static_cast<float>(keyStrafe) : static_cast<float>(in.strafe) / kAxisOne,
                        3.0f, t);
    c.boost = (in.throttle == 65536 || in.turbo) ? 1 : 0;
    c.jump = in.jump;
    c.eject = in.eject;
    c.deploy = in.deploy;
    c.hopOut = in.abandon;
}

void UserProcess::DebugDump() {
    Craft* craft = fOwner ? Craft_FromEntity(fOwner->entity) : nullptr;
    char name[kClassNameSize + 1] = {};
    if (fOwner) fOwner->objClass->GetDefName(name);
    const CraftControls c = craft ? craft->controls : CraftControls{};
    Print("UserProcess");
    Print("id(%s) seqno(%d)", name, fOwner ? static_cast<int>(fOwner->seqNo) : 0);
    Print("%s", DeployText(craft));
    Print("steer(%+.2f) braccel(%+.2f)", static_cast<double>(c.steering), static_cast<double>(c.throttle));
    Print("pitch(%+.2f) strafe(%+.2f)", static_cast<double>(c.pitch), static_cast<double>(c.strafe));
    Print("turbo(%s) jump(%s)", OnOff(c.boost), OnOff(c.jump));
    Print("team(%d) perceivedTeam(%d)", fOwner ? fOwner->team : 0, fOwner ? fOwner->perceivedTeam : 0);
}

bool UserProcess::Save(FILE* stream) {
    uint8_t list[4 * kWeaponGroupEntries], next[4 * kWeaponGroupEntries];
    for (int i = 0; i < kWeaponGroupEntries; ++i) {
        Bytes_SetU32(list + 4 * i, static_cast<uint32_t>(selectList[i]));
        Bytes_SetU32(next + 4 * i, static_cast<uint32_t>(selectNext[i]));
    }
    return Field_WriteInt(stream, cycle, "cycle") && Field_WriteBytes(stream, list, sizeof list, "selectList") &&
           Field_WriteBytes(stream, next, sizeof next, "selectNext") && AiProcess::Save(stream);
}

bool UserProcess::Load() {
    if (Field_NextIsPointer("dummyPtr")) {
        uint32_t dummy = 0;
        if (!Field_ReadPointer("dummyPtr", &dummy)) return false;
    }
    uint8_t list[4 * kWeaponGroupEntries], next[4 * kWeaponGroupEntries];
    if (!(Field_ReadInt("cycle", &cycle) && Field_ReadBytes("selectList", list, sizeof list) &&
          Field_ReadBytes("selectNext", next, sizeof next)))
        return false;
    // The group index picks one of five entries of a row: anything else is a damaged file.
    if (cycle < 0 || cycle >= kWeaponGroupSlots) return false;
    for (int i = 0; i < kWeaponGroupEntries; ++i) {
        selectList[i] = static_cast<int32_t>(Bytes_U32(list + 4 * i));
        selectNext[i] = static_cast<int32_t>(Bytes_U32(next + 4 * i));
    }
    groupMode = 0;
    return AiProcess::Load();
}

bool UserProcess::PostLoad() {
    // A damaged file may name something else as the craft: such a process drives nothing.
    if (!UnitAi_IsListedObject(fOwner)) fOwner = nullptr;
    SetupWeaponGroups();
    AiProcess::PostLoad();
    return true;
}

// ---- NetProcess ----------------------------------------------------------------------------

const FactoryReg* NetProcess::GetFactory() const { return Registration_FactoryEntry("NetProcess"); }

void NetProcess::DebugDump() {
    GameObject* o = fOwner;
    if (!o) return;
    char name[kClassNameSize + 1] = {};
    o->objClass->GetDefName(name);
    Print("NetProcess");
    Print("id(%s) seqno(%d)", name, static_cast<int>(o->seqNo));
    Print("team(%d) perceived team(%d)", o->team, o->perceivedTeam);
    Print("time(%f) local(%f)", static_cast<double>(Clock_GetTime()), static_cast<double>(o->timeAccumulator));
    Print("time step(%f)", static_cast<double>(Clock_GetTimeStep()));
    Print("received(%f) sent(%f)", static_cast<double>(o->firstSeenTime), static_cast<double>(o->lastSendTime));
    const char type = o->ownership == kNetOwnedHere ? 'L' : o->ownership == kNetOwnedRemote ? 'R' : 'U';
    Print("%s usr(%d) typ(%c)", o->label ? o->label : name, o->playerObject, type);
    Print("pid(%lu) id(%lu)", static_cast<unsigned long>(o->playerId), static_cast<unsigned long>(o->netId));
    Print("obj->flags(0x%x) curHealth(%d)", o->entity ? o->entity->flags : 0u, static_cast<int>(o->curHealth));
    const int32_t code = o->entity ? o->entity->type : 0;
    Craft* craft = Craft_FromEntity(o->entity);
    if ((code == kTypeCraft || code == kTypePerson || code == kTypeCraft6) && craft)
        Print("vhcl flags(0x%x) timer(%f)", craft->physFlags, static_cast<double>(craft->deathTimer));
    else if (code == kTypePowerUp)
        Print("vhcl->flags(0x%x)", craft ? craft->physFlags : 0u);
}

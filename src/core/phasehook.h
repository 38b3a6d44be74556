// The subsystem registry: module objects told about program, mission and frame phases.
//
// Each member is one long-lived object derived from PhaseHook that overrides only the
// operations it needs. Members join the registry from one explicit ordered table at start-up
// (PhaseHook_RegisterAll), so with equal priorities every phase calls them in table order.
#pragma once
#include <cstddef>
#include <cstdint>

struct RenderView;
struct EntityTableRecord;
class GameObject;

// The sorted phases, in the order of the priority array.
enum PhaseHookPhase : int {
    kPhaseStartup = 0,
    kPhaseShutdown,
    kPhaseMissionSetup,
    kPhasePostLoad,
    kPhaseMissionEnd,
    kPhaseCleanup,
    kPhaseFrameOrder,
    kPhaseCount
};

// Flag bits: a member takes part in a per-frame broadcast only while its bit is set.
constexpr uint8_t kPhaseFlagFrame = 0x1;
constexpr uint8_t kPhaseFlagSimulate = 0x2;
constexpr uint8_t kPhaseFlagRender = 0x4;
constexpr uint8_t kPhaseFlagOverlay = 0x8;

class PhaseHook {
public:
    // Priorities all 0; simulate, render and overlay on, frame off. Not yet registered.
    PhaseHook();
    virtual ~PhaseHook() = default;
    PhaseHook(const PhaseHook&) = delete;
    PhaseHook& operator=(const PhaseHook&) = delete;

    virtual void Startup() {}
    virtual void Shutdown() {}
    virtual void MissionSetup() {}
    virtual void PostLoad() {}
    virtual void MissionEnd() {}
    virtual void MissionCleanup() {}
    virtual void Frame() {}
    virtual void Simulate(float frameTime) { (void)frameTime; }
    virtual void Render(RenderView* view) { (void)view; }
    virtual void DrawOverlay() {}
    virtual void OnEntityAdded(EntityTableRecord* record) { (void)record; }
    virtual void OnEntityRemoved(EntityTableRecord* record) { (void)record; }
    virtual void OnObjectAdded(GameObject* object) { (void)object; }
    virtual void OnObjectRemoved(GameObject* object) { (void)object; }

    uint32_t word = 0;
    int32_t priority[kPhaseCount] = {};  // a higher value runs earlier
    uint8_t flags = 0;
};

// Appends a member (the registration table calls it; members are never removed).
void PhaseHook_Register(PhaseHook* hook);
// A member's accessor under the name the subsystem-member registration table gives it.
struct PhaseHookMember {
    const char* name;
    PhaseHook& (*member)();
};
// The members the program is built with (the start-up wiring hands them over; the table must
// outlive the program). Replaces any earlier table.
void PhaseHook_SetMembers(const PhaseHookMember* members, size_t count);
// Registers, once, every member of the program's registration table that was handed over, in
// the registration table's order.
void PhaseHook_RegisterAll();
// The members in their current order.
size_t PhaseHook_Count();
PhaseHook* PhaseHook_At(size_t index);
// Empties the registry (tests build their own).
void PhaseHook_ClearForTests();

// Sorted phases: stable sort by the phase's priority, highest first, then call every member.
void PhaseHook_RunStartup();
void PhaseHook_RunShutdown();
void PhaseHook_RunMissionSetup();
void PhaseHook_RunPostLoad();
void PhaseHook_RunMissionEnd();
void PhaseHook_RunCleanup();

// Broadcasts in the order the last sort left.
void PhaseHook_FrameAll();
void PhaseHook_SimulateAll(float frameTime);
void PhaseHook_RenderAll(RenderView* view);
void PhaseHook_OverlayAll();
void PhaseHook_EntityAddedAll(EntityTableRecord* record);
void PhaseHook_EntityRemovedAll(EntityTableRecord* record);
void PhaseHook_ObjectAddedAll(GameObject* object);
void PhaseHook_NotifyAll(GameObject* object);  // the object-removed notice

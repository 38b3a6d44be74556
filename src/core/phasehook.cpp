#include "core/phasehook.h"

#include <algorithm>
#include <vector>

#include "core/seams/objects.h"
#include "core/seams/render.h"
#include "core/seams/world.h"

namespace {

std::vector<PhaseHook*>& Registry() {
    static std::vector<PhaseHook*> registry;
    return registry;
}

void SortBy(PhaseHookPhase phase) {
    auto& members = Registry();
    std::stable_sort(members.begin(), members.end(), [phase](const PhaseHook* a, const PhaseHook* b) {
        return a->priority[phase] > b->priority[phase];
    });
}

template <typename Call>
void RunSorted(PhaseHookPhase phase, Call call) {
    SortBy(phase);
    // Index walk: a member's operation may not register others, but the array must not be
    // walked through iterators that a reallocation would invalidate.
    auto& members = Registry();
    for (size_t i = 0; i < members.size(); ++i) call(*members[i]);
}

template <typename Call>
void Broadcast(uint8_t flag, Call call) {
    auto& members = Registry();
    for (size_t i = 0; i < members.size(); ++i) {
        if (flag == 0 || (members[i]->flags & flag)) call(*members[i]);
    }
}

}  // namespace

PhaseHook::PhaseHook() : flags(kPhaseFlagSimulate | kPhaseFlagRender | kPhaseFlagOverlay) {}

void PhaseHook_Register(PhaseHook* hook) {
    if (hook) Registry().push_back(hook);
}

size_t PhaseHook_Count() { return Registry().size(); }
PhaseHook* PhaseHook_At(size_t index) { return index < Registry().size() ? Registry()[index] : nullptr; }
void PhaseHook_ClearForTests() { Registry().clear(); }

void PhaseHook_RunStartup() {
    RunSorted(kPhaseStartup, [](PhaseHook& h) { h.Startup(); });
}

void PhaseHook_RunShutdown() {
    RunSorted(kPhaseShutdown, [](PhaseHook& h) { h.Shutdown(); });
}

void PhaseHook_RunMissionSetup() {
    Seam_Objects().teamRecordCreateAll();
    RunSorted(kPhaseMissionSetup, [](PhaseHook& h) { h.MissionSetup(); });
    Seam_World().entitiesAddNotify(PhaseHook_EntityAddedAll);
    Seam_World().entitiesAddRemoveNotify(PhaseHook_EntityRemovedAll);
}

void PhaseHook_RunPostLoad() {
    Seam_Objects().animBuildingPostLoad();
    RunSorted(kPhasePostLoad, [](PhaseHook& h) { h.PostLoad(); });
    // The mission's frame broadcasts run in frame-order priority.
    SortBy(kPhaseFrameOrder);
}

void PhaseHook_RunMissionEnd() {
    RunSorted(kPhaseMissionEnd, [](PhaseHook& h) { h.MissionEnd(); });
}

void PhaseHook_RunCleanup() {
    Seam_Objects().teamRecordDestroyAll();
    RunSorted(kPhaseCleanup, [](PhaseHook& h) { h.MissionCleanup(); });
}

void PhaseHook_FrameAll() {
    Broadcast(kPhaseFlagFrame, [](PhaseHook& h) { h.Frame(); });
}

void PhaseHook_SimulateAll(float frameTime) {
    Broadcast(kPhaseFlagSimulate, [frameTime](PhaseHook& h) { h.Simulate(frameTime); });
}

void PhaseHook_RenderAll(RenderView* view) {
    Broadcast(kPhaseFlagRender, [view](PhaseHook& h) { h.Render(view); });
}

void PhaseHook_OverlayAll() {
    // Overlays may raise the depth bias for their own drawing; each one starts from the same value.
    RenderSeam& render = Seam_Render();
    const float bias = render.getDepthBias();
    Broadcast(kPhaseFlagOverlay, [&](PhaseHook& h) {
        h.DrawOverlay();
        render.setDepthBias(bias);
    });
}

void PhaseHook_EntityAddedAll(EntityTableRecord* record) {
    Broadcast(0, [record](PhaseHook& h) { h.OnEntityAdded(record); });
}

void PhaseHook_EntityRemovedAll(EntityTableRecord* record) {
    Broadcast(0, [record](PhaseHook& h) { h.OnEntityRemoved(record); });
}

void PhaseHook_ObjectAddedAll(GameObject* object) {
    Broadcast(0, [object](PhaseHook& h) { h.OnObjectAdded(object); });
}

void PhaseHook_NotifyAll(GameObject* object) {
    Broadcast(0, [object](PhaseHook& h) { h.OnObjectRemoved(object); });
}

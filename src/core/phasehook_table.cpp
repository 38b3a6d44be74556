// The registry's members join in the order of the subsystem-member registration table: with
// equal priorities every phase calls them in that order. The start-up wiring hands over the
// accessors of the members that are built (PhaseHook_SetMembers); a name without one is skipped.
#include <cstring>

#include "core/phasehook.h"
#include "core/registration.h"

namespace {

const PhaseHookMember* g_members = nullptr;
size_t g_memberCount = 0;

PhaseHook* FindMember(const char* name) {
    for (size_t i = 0; i < g_memberCount; ++i)
        if (g_members[i].name && std::strcmp(g_members[i].name, name) == 0) return &g_members[i].member();
    return nullptr;
}

}  // namespace

void PhaseHook_SetMembers(const PhaseHookMember* members, size_t count) {
    g_members = members;
    g_memberCount = members ? count : 0;
}

void PhaseHook_RegisterAll() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (const SubsystemMember& row : Registration_SubsystemMembers())
        if (PhaseHook* member = FindMember(row.name)) PhaseHook_Register(member);
}

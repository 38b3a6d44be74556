// The registry's members join in the order of the subsystem-member registration table: with
// equal priorities every phase calls them in that order. Each module, when it is built, adds
// its member's accessor to kAccessors under the name the registration table gives it.
#include <cstring>

#include "core/phasehook.h"
#include "core/registration.h"
#include "fun3d/objectpool.h"

namespace {

struct MemberAccessor {
    const char* name;
    PhaseHook& (*member)();
};

const MemberAccessor kAccessors[] = {
    {"GameObjectPool", GameObjectPool_Member},
    {nullptr, nullptr},  // modules add their rows above this one
};

PhaseHook* FindMember(const char* name) {
    for (const MemberAccessor& row : kAccessors)
        if (row.name && std::strcmp(row.name, name) == 0) return &row.member();
    return nullptr;
}

}  // namespace

void PhaseHook_RegisterAll() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (const SubsystemMember& row : Registration_SubsystemMembers())
        if (PhaseHook* member = FindMember(row.name)) PhaseHook_Register(member);
}

// The registry's members, in the order the game relies on: with equal priorities every phase
// calls them in this order. Each module adds the accessor of its member here.
#include <array>

#include "core/phasehook.h"

namespace {

using PhaseHookMember = PhaseHook& (*)();

// PENDING(1.109) the modules' members join this table as they are built.
constexpr std::array<PhaseHookMember, 0> kMembers{};

}  // namespace

void PhaseHook_RegisterAll() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (PhaseHookMember member : kMembers) PhaseHook_Register(&member());
}

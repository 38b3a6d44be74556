#include "support/exit_trap.h"

#include "platform/exit.h"

namespace {
void ThrowExit(int code) { throw ExitCalled{code}; }
}  // namespace

ExitTrap::ExitTrap() { Plat_SetExitHook(ThrowExit); }
ExitTrap::~ExitTrap() { Plat_SetExitHook(nullptr); }

int RunForExit(const std::function<void()>& fn) {
    ExitTrap trap;
    try {
        fn();
    } catch (const ExitCalled& e) {
        return e.code;
    }
    return -1;
}

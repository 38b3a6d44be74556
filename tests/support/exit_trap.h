// Tests observe exits instead of dying: the hook throws, the test catches the code.
#pragma once
#include <functional>

struct ExitCalled {
    int code;
};

// Installs the throwing exit hook for the life of the object.
class ExitTrap {
public:
    ExitTrap();
    ~ExitTrap();
    ExitTrap(const ExitTrap&) = delete;
    ExitTrap& operator=(const ExitTrap&) = delete;
};

// Runs fn; returns the exit code it ended with, or -1 when it returned normally.
int RunForExit(const std::function<void()>& fn);

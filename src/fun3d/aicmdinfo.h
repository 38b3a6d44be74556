// A unit command: what an order asks of an object. Every object holds a current and a pending
// one; an order sets the pending one and the unit's AI accepts it.
#pragma once
#include <cstdint>

class AiPath;

// Command codes the objects themselves read.
constexpr int32_t kCmdNone = 0;
constexpr int32_t kCmdConsumed = 1;  // accepted without replacing the current command

struct AiCmdInfo {
    int32_t priority;
    int32_t what;   // command code
    uint32_t who;   // target object handle
    AiPath* where;  // owned by the record that holds it; null for none
    float value;
    // A plain integer: a command that names an object class (such as a build order) carries the
    // class's stable id, never its address.
    int32_t param;
};

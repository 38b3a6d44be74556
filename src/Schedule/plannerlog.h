// The planner's log: a 32-bit mask of categories, empty at start. A line is formatted (newline
// appended) and sent to the debugger output only when its category is on.
#pragma once
#include <cstdint>

#include "core/debug.h"

constexpr uint32_t kPlannerLogErrors = 1;
constexpr uint32_t kPlannerLogSquadErrors = 2;
constexpr uint32_t kPlannerLogMapDump = 32;
constexpr uint32_t kPlannerLogPartDump = 256;
constexpr uint32_t kPlannerLogTrace = 512;
constexpr uint32_t kPlannerLogScheduler = 2048;
constexpr uint32_t kPlannerLogGoalDump = 16384;
constexpr uint32_t kPlannerLogBuildOrders = 32768;

void PlannerLog_Set(uint32_t categories);
void PlannerLog_Clear(uint32_t categories);
// True when any of the given categories is on.
bool PlannerLog_IsOn(uint32_t categories);
uint32_t PlannerLog_Mask();
void PlannerLog_Printf(uint32_t category, const char* format, ...) GV_PRINTF(2, 3);
// Every category off.
void PlannerLog_Reset();

#include "core/simtick.h"

float Sim_TickPeriod = kSimTickPeriodStart;

void SimTick_Reset() { Sim_TickPeriod = kSimTickPeriodStart; }

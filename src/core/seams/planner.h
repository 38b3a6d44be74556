// What the game objects call of the strategic planner.
#pragma once

#include "core/mathlib.h"

struct PlannerSeam {
    // The number of planner records kept beside every object and every object class.
    int (*slotCount)();
    // A team's scrap changed by change (the change actually made); the answer goes back to the
    // caller.
    int (*scrapChanged)(int team, int change);
    // A point to send a unit to: from the position, one strategic cell along the step (x and z
    // of -1, 0 or 1), for the team and the kind of goal. False when there is none.
    bool (*sendPoint)(const Vector& from, int stepX, int stepZ, int team, int goalKind, Vector* point);
};

PlannerSeam& Seam_Planner();

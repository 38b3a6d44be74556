// What the game objects call of the strategic planner.
#pragma once

struct PlannerSeam {
    // The number of planner records kept beside every object and every object class.
    int (*slotCount)();
};

PlannerSeam& Seam_Planner();

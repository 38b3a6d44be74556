// What the game objects call of the strategic planner.
#pragma once

struct PlannerSeam {
    // The number of planner records kept beside every object and every object class.
    int (*slotCount)();
    // A team's scrap changed by change (the change actually made); the answer goes back to the
    // caller.
    int (*scrapChanged)(int team, int change);
};

PlannerSeam& Seam_Planner();

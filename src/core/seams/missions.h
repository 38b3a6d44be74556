// What the core calls of the mission scripts.
#pragma once

struct MissionsSeam {
    // Creates the script whose selector matches the name ("empty" when none) and makes it current.
    void (*createByName)(const char* name);
    // The game's difficulty setting (0 easiest, 2 the default).
    int (*difficulty)();
};

MissionsSeam& Seam_Missions();

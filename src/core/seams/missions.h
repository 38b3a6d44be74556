// What the core calls of the mission scripts.
#pragma once
#include <cstdio>

struct MissionsSeam {
    // Creates the script whose selector matches the name ("empty" when none) and makes it current.
    void (*createByName)(const char* name);
    // The game's difficulty setting (0 easiest, 2 the default).
    int (*difficulty)();
    // The script state of a saved game (a mission file holds none).
    bool (*scriptStateSave)(FILE* stream);
    bool (*scriptStateLoad)();
    void (*scriptStatePostLoad)();
};

MissionsSeam& Seam_Missions();

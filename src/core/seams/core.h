// Services of other core modules that the game loop reaches through a table until they exist.
#pragma once

struct CoreSeam {
    // Saved games and mission files.
    bool (*saveGameLoad)(const char* path);  // false when the load failed
    void (*missionResaveIfOld)();
    void (*netRegisterLoadedObjects)();
    // In-game text-entry fields.
    void (*textFieldClearList)();
    void (*textFieldDrawAll)();
    void (*textFieldDestroyAll)();
};

CoreSeam& Seam_Core();

// What the core calls of multiplayer.
#pragma once

struct NetSeam {
    bool (*isNetworkGame)();
};

NetSeam& Seam_Net();

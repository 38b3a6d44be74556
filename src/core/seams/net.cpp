#include "core/seams/net.h"

namespace {

// PENDING(12.101) the multiplayer session replaces this stand-in: no network game runs.
bool NotNetworkGame() { return false; }

}  // namespace

NetSeam& Seam_Net() {
    static NetSeam seam{NotNetworkGame};
    return seam;
}

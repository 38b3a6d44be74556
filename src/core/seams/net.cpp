#include "core/seams/net.h"

#include "core/seams/registry.h"

namespace {

// PENDING(12.101) the multiplayer session replaces this stand-in: no network game runs.
bool NotNetworkGame() { return false; }

NetSeam MakeDefault() {
    NetSeam seam{};
    seam.isNetworkGame = NotNetworkGame;
    seam.isInternetGame = [] { return false; };       // PENDING(12.105)
    seam.isDeathmatch = [] { return false; };         // PENDING(12.109)
    seam.allowSniperWeapons = [] { return false; };   // PENDING(12.109)
    seam.allowSplinterWeapon = [] { return false; };  // PENDING(12.109)
    seam.isHost = [] { return false; };               // PENDING(12.101)
    seam.poll = [] { return true; };                  // PENDING(12.101)
    seam.sessionStart = [] {};                        // PENDING(12.101)
    seam.playersSyncPending = [] { return false; };   // PENDING(12.105)
    seam.linkLost = [] { return false; };             // PENDING(12.101)
    seam.playPhaseStart = [] {};                      // PENDING(12.101)
    seam.sessionEnd = [] {};                          // PENDING(12.101)
    seam.respawnViaMission = [] {};                   // PENDING(12.109)
    seam.drawScoreboard = [] {};                      // PENDING(12.120)
    seam.drawStatsGraph = [] {};                      // PENDING(12.128)
    seam.startNetworkShell = [] { return false; };    // PENDING(12.141)
    seam.networkMapName = [] { return ""; };          // PENDING(12.109)
    seam.signalGameStart = [] {};                     // PENDING(12.143)
    seam.publishState = [](NetObject*) {};            // PENDING(12.103)
    seam.forgetRemote = [](NetObject*) {};            // PENDING(12.103)
    seam.identityGone = [](NetObject*) {};            // PENDING(12.103)
    seam.sendObjectStates = [](const NetSendEntry*, int) {};  // PENDING(12.103)
    return seam;
}

}  // namespace

NetSeam& Seam_Net() { return SeamTableInstance<NetSeam, MakeDefault>(); }

namespace {
const SeamRegistration<NetSeam, MakeDefault> kRegistration("NetSeam");
}  // namespace

#include "core/seams/net.h"

#include <cmath>

#include "core/debug.h"
#include "core/seams/registry.h"

namespace {

// PENDING(12.101) the multiplayer session replaces this stand-in: no network game runs.
bool NotNetworkGame() { return false; }

// Three signed 16-bit values of 1/256, little-endian, each clamped to its range.
void PackFixed(const Vector& v, uint8_t out[6]) {
    const float parts[3] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
        const float scaled = parts[i] * 256.0f;
        const int32_t value = !(scaled == scaled) ? 0 : scaled >= 32767.0f ? 32767 : scaled <= -32768.0f ? -32768
                                                                                 : static_cast<int32_t>(std::lround(scaled));
        const uint16_t bits = static_cast<uint16_t>(value);
        out[2 * i] = static_cast<uint8_t>(bits & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
    }
}

Vector UnpackFixed(const uint8_t in[6]) {
    float parts[3];
    for (int i = 0; i < 3; ++i)
        parts[i] = static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(in[2 * i] | in[2 * i + 1] << 8))) / 256.0f;
    return Vector{parts[0], parts[1], parts[2]};
}

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
    seam.packVector = PackFixed;                              // PENDING(12.104)
    seam.unpackVector = UnpackFixed;                          // PENDING(12.104)
    seam.localPlayerId = [] { return uint16_t{64001}; };      // PENDING(12.101)
    seam.sendReliable = [](uint16_t, uint32_t, const uint8_t*, int) {};  // PENDING(12.101)
    seam.maxMessageSize = [] { return 512; };                 // PENDING(12.101)
    seam.debugFlag = [] { return false; };                    // PENDING(12.101)
    seam.debugLog = [](const char* text) { Debug_Printf("%s", text); };
    seam.queueOrdnance = [](const uint8_t*, int) { return 0; };  // PENDING(12.105)
    seam.clearQueuedOrdnance = [] {};                            // PENDING(12.105)
    seam.registerObject = [](NetObject*) {};                     // PENDING(12.103)
    seam.findObject = [](uint32_t) -> NetObject* { return nullptr; };  // PENDING(12.103)
    seam.sendMessage = [](uint16_t, const uint8_t*, int) { return 3; };  // PENDING(12.109)
    seam.refreshByteRate = [] {};                                        // PENDING(12.105)
    seam.playerName = [](uint16_t) -> const char* { return nullptr; };   // PENDING(12.109)
    seam.reportKill = [](uint16_t, uint16_t) {};                         // PENDING(12.109)
    seam.sendSniped = [](NetObject*, NetObject*) {};                     // PENDING(12.109)
    seam.forceObjectUpdate = [] {};                                      // PENDING(12.103)
    return seam;
}

}  // namespace

NetSeam& Seam_Net() { return SeamTableInstance<NetSeam, MakeDefault>(); }

namespace {
const SeamRegistration<NetSeam, MakeDefault> kRegistration("NetSeam");
}  // namespace

// What the core calls of multiplayer.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

class NetObject;

// One object chosen for this frame's state sends, with the priority it asked for.
struct NetSendEntry {
    NetObject* object;
    float priority;
};

struct NetSeam {
    bool (*isNetworkGame)();
    bool (*isInternetGame)();  // a network game over the transport named "Internet"
    bool (*isDeathmatch)();
    // The network game's settings: sniper weapons ('SNIP') and the weapon "gsplint" allowed.
    bool (*allowSniperWeapons)();
    bool (*allowSplinterWeapon)();

    // The game loop and the frame.
    bool (*isHost)();
    bool (*poll)();  // false when the link is lost
    void (*sessionStart)();
    bool (*playersSyncPending)();  // players not yet synchronised
    bool (*linkLost)();            // the link reported a loss while waiting
    void (*playPhaseStart)();
    void (*sessionEnd)();
    void (*respawnViaMission)();  // the mission's time-limit step
    void (*drawScoreboard)();
    void (*drawStatsGraph)();
    bool (*startNetworkShell)();  // false when the network shell fails to start
    const char* (*networkMapName)();

    // The content checksum: services the lobby's game-start exchange once, before each file,
    // so that a waiting session keeps answering.
    void (*signalGameStart)();

    // Game objects' network identities.
    void (*publishState)(NetObject* object);  // packs the object's state and sends it at once
    void (*forgetRemote)(NetObject* object);  // leaves the map of remotely owned objects
    void (*identityGone)(NetObject* object);  // the identity is destroyed: no map may keep it
    // Packs and sends the states of the chosen objects (at most 20, highest priority first).
    void (*sendObjectStates)(const NetSendEntry* entries, int count);
    // A vector in the 6-byte packed form of the object states, and back.
    void (*packVector)(const Vector& v, uint8_t out[6]);
    Vector (*unpackVector)(const uint8_t in[6]);

    // The ordnance exchange.
    uint16_t (*localPlayerId)();  // 64001 when there is none
    // Reliable send to one player (0 = every player).
    void (*sendReliable)(uint16_t to, uint32_t flags, const uint8_t* data, int size);
    int (*maxMessageSize)();  // the session's largest message in bytes
    bool (*debugFlag)();      // the verbose network log is on
    void (*debugLog)(const char* text);
    // The message's body (after its two letters) becomes the prefix of the next object update,
    // when the bandwidth allows; the kept body is emptied by clearQueuedOrdnance.
    int (*queueOrdnance)(const uint8_t* message, int size);
    void (*clearQueuedOrdnance)();
    // Gives a newly built object its network identity; the object of a network id, or null.
    void (*registerObject)(NetObject* object);
    NetObject* (*findObject)(uint32_t netId);
    // A whole message, reliably, to one player (0: every player): 0 when sent, else the
    // session's error (3: no session).
    int (*sendMessage)(uint16_t to, const uint8_t* data, int size);
    // The session's byte-rate statistic is brought up to date (after sends).
    void (*refreshByteRate)();
    // A player's name, or null when there is no such player.
    const char* (*playerName)(uint16_t player);
    // The kill tally: the victim's owner and the killer's player (64001 for none).
    void (*reportKill)(uint16_t victimOwner, uint16_t killer);
    // A sniper shot here killed the pilot of a craft another machine owns: its owner is told
    // (the shooter's object, or null).
    void (*sendSniped)(NetObject* craft, NetObject* shooter);
    // Raises the object-update sender's force flag: its next send goes out whatever the budget
    // (every send clears the flag).
    void (*forceObjectUpdate)();
};

NetSeam& Seam_Net();

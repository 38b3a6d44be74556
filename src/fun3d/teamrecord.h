// Teams: eight records, team 0 neutral. Each holds the team's numbered object slots, its scrap
// and pilots with their capacities, and the mask of its allies.
//
// The records are made fresh at every mission set-up (before any module's set-up) and deleted
// at every mission cleanup (before any module's cleanup); in between TeamRecord::Get yields
// null. Team numbers and slot indices come from saves, mission files and the network: every
// operation checks them and refuses those outside the tables.
#pragma once
#include <cstdint>
#include <cstdio>

class GameObject;

constexpr int kTeamCount = 8;
constexpr int kTeamSlotCount = 90;
// The cockpit warning queued when the user's team runs out of pilots.
constexpr int kWarningOutOfPilots = 10;
// Saved games older than this hold no team records.
constexpr int32_t kTeamRecordFirstVersion = 1025;

class TeamRecord {
public:
    explicit TeamRecord(int32_t team);

    // Null outside 0..7 and while the records do not exist.
    static TeamRecord* Get(int32_t team);

    // ---- slots ----------------------------------------------------------------------------
    // Null outside 0..89.
    GameObject* GetSlot(int32_t slot) const;
    // Refused (false) outside 0..89.
    bool SetSlot(int32_t slot, GameObject* object);
    // The first empty (occupied) slot in first..last, clipped to 0..89; else -1.
    int32_t FindFreeSlot(int32_t first, int32_t last) const;
    int32_t FindUsedSlot(int32_t first, int32_t last) const;

    // ---- scrap and pilots -----------------------------------------------------------------
    int32_t GetScrap() const { return curScrap; }
    int32_t GetMaxScrap() const { return maxScrap; }
    int32_t GetPilots() const { return curPilots; }
    int32_t GetMaxPilots() const { return maxPilots; }
    // Adds (or takes) scrap, cut to the capacity; tells the planner the change actually made
    // and returns its answer.
    int32_t AddScrap(int32_t amount);
    // Changes the capacity; scrap above a lowered capacity is cut (and the planner told).
    // Returns the new capacity.
    int32_t AddMaxScrap(int32_t amount);
    // Adds (or takes) pilots, cut to the capacity. Returns the pilot capacity.
    int32_t AddPilots(int32_t amount);
    // Changes the pilot capacity; pilots above a lowered capacity are cut.
    void AddMaxPilots(int32_t amount);

    // ---- allies ---------------------------------------------------------------------------
    // t above 0 and its bit set (clear); team 0 is neither.
    bool IsAlly(int32_t t) const;
    bool IsEnemy(int32_t t) const;
    // Team numbers outside 0..7 are refused.
    void AddAlly(int32_t t);
    void RemoveAlly(int32_t t);
    uint32_t GetAllies() const { return allies; }

    GameObject* slots[kTeamSlotCount] = {};
    int32_t curScrap = 0;
    int32_t maxScrap = 0;
    int32_t curPilots = 0;
    int32_t maxPilots = 0;
    uint32_t allies;
    int32_t team;

private:
    bool IsUserTeam() const;
    // Called when the user's team spends its last scrap (nothing listens yet).
    void OnScrapExhausted() {}
};

// Fresh records: no slot taken, no scrap or pilots, each team allied with itself and team 0.
void TeamRecord_CreateAll();
void TeamRecord_DestroyAll();

// The five saved fields of each team ("curScrap", "maxScrap", "curPilot", "maxPilot",
// "dwAllies"). A mission file (the stream's mission-file flag, SaveGame_IsMissionFile) holds
// none; a saved game of a version below 1025 holds none to read. Both stop at the first failed
// field with false; a failed load changes no record.
bool TeamRecord_SaveAll(FILE* stream);
bool TeamRecord_LoadAll();
bool TeamRecord_PostLoadAll();

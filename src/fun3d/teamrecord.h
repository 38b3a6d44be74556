// Teams: eight records, team 0 neutral.
#pragma once
#include <cstdint>

class GameObject;

constexpr int kTeamCount = 8;
constexpr int kTeamSlotCount = 90;

// PENDING(3.105) scrap, pilots, saving and the mission's set-up of the records; until then a
// record holds the object slots and the ally mask.
class TeamRecord {
public:
    explicit TeamRecord(int32_t team);

    // Null outside 0..7 and while the records do not exist.
    static TeamRecord* Get(int32_t team);

    GameObject* GetSlot(int32_t slot) const;
    void SetSlot(int32_t slot, GameObject* object);
    // The first empty slot in first..last, else -1.
    int32_t FindFreeSlot(int32_t first, int32_t last) const;

    // t above 0 and its bit set (clear).
    bool IsAlly(int32_t t) const;
    bool IsEnemy(int32_t t) const;
    void AddAlly(int32_t t);
    void RemoveAlly(int32_t t);

    GameObject* slots[kTeamSlotCount] = {};
    uint32_t allies;
    int32_t team;
};

// Fresh records: no slot taken, each team allied with itself and team 0.
void TeamRecord_CreateAll();
void TeamRecord_DestroyAll();

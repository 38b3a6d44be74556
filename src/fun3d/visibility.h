// Team visibility: each object's `isVisible` (teams that see it this frame) and `seen` (teams
// that ever saw it) masks, rebuilt every frame, and the object sensors that add their team's
// bit to what lies within their range.
#pragma once
#include <cstdint>
#include <vector>

class GameObject;

// Hides its owner from other teams' sensors while the owner creeps: see ObjectSensor::IsActive.
class ConcealRecord {
public:
    ConcealRecord(GameObject* owner, float threshold) : threshold(threshold), owner(owner) {}
    float threshold;
    GameObject* owner;
};

class ObjectSensor {
public:
    // Joins the global list of sensors (creation order); the destructor leaves it.
    explicit ObjectSensor(GameObject* owner);
    ~ObjectSensor();
    ObjectSensor(const ObjectSensor&) = delete;
    ObjectSensor& operator=(const ObjectSensor&) = delete;

    // The concealment test: the record's threshold is above its owner's speed and the owner is
    // driven by an AI process. Not the sensor's own `active` flag.
    static bool IsActive(const ConcealRecord* record);
    // Marks the owner's target, then (every `period` seconds, or every frame with period 0)
    // everything within range that is not concealed.
    void Sweep();
    void Sweep(float frameTime);
    // Takes the sensor out of the global list (it then takes no part in the sweeps) or puts it
    // back at the end.
    void SetListed(bool listed);

    float range = 200.0f;
    float period = 0.0f;
    int32_t active = 0;  // whether the last call swept
    float timer = 0.0f;
    GameObject* owner;
};

// The sensors in creation order.
const std::vector<ObjectSensor*>& ObjectSensor_List();
// Forgets every listed sensor (the sensors themselves are their owners').
void ObjectSensor_ResetList();

// Rebuilds both masks of every live object (own team, buildings keep theirs, cargo is visible
// to all, the reveal cheat adds the user's team).
void Visibility_Update();
// False in a network game; else whether the reveal cheat (0x200) is on.
bool Visibility_RevealAll();
// The bit of a team in a mask; 0 for a team outside 0..31.
uint32_t Visibility_TeamBit(int32_t team);

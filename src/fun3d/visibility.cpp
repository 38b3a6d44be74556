#include "fun3d/visibility.h"

#include <algorithm>

#include "Objkr/bucketgrid.h"
#include "core/clock.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"

namespace {

constexpr uint32_t kCheatRevealAll = 0x200;

std::vector<ObjectSensor*>& Sensors() {
    static std::vector<ObjectSensor*> list;
    return list;
}

}  // namespace

uint32_t Visibility_TeamBit(int32_t team) { return team >= 0 && team < 32 ? 1u << team : 0u; }

// ---- sensors ------------------------------------------------------------------------------

ObjectSensor::ObjectSensor(GameObject* owner) : owner(owner) { Sensors().push_back(this); }

ObjectSensor::~ObjectSensor() {
    auto& list = Sensors();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void ObjectSensor::SetListed(bool listed) {
    auto& list = Sensors();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (listed) list.push_back(this);
}

const std::vector<ObjectSensor*>& ObjectSensor_List() { return Sensors(); }
void ObjectSensor_ResetList() { Sensors().clear(); }

bool ObjectSensor::IsActive(const ConcealRecord* record) {
    return record && record->owner && record->threshold > record->owner->euler.speed && record->owner->aiProcess;
}

void ObjectSensor::Sweep() { Sweep(Clock_GetFrameTime()); }

void ObjectSensor::Sweep(float frameTime) {
    if (!owner) return;
    const Vector centre = owner->GetPosition();
    const int32_t team = owner->perceivedTeam;
    if (GameObject* target = GameObject::FromHandle(owner->target)) target->MarkSeenBy(team);

    if (period > 0.0f) {
        timer += frameTime;
        if (timer <= 0.0f) {
            active = 0;
            return;
        }
        timer -= period;
    }
    active = 1;

    const BucketGrid* grid = GameObject_Grid();
    if (!grid) return;
    BucketGridQuery query;
    grid->Query(centre.x, centre.z, range, &query);
    const float rangeSq = range * range;
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* object = GameObject::FromHandle(entry->value);
        if (!object || (object->entity->flags & kEntityNotDrawn)) continue;
        if (object->conceal && IsActive(object->conceal)) continue;
        const Vector p = object->GetPosition();
        const float dx = p.x - centre.x, dy = p.y - centre.y, dz = p.z - centre.z;
        if (dx * dx + dy * dy + dz * dz < rangeSq) object->MarkSeenBy(team);
    }
}

// ---- the masks ----------------------------------------------------------------------------

void GameObject::MarkSeenBy(int32_t t) {
    const uint32_t bit = Visibility_TeamBit(t);
    isVisible |= bit;
    seen |= bit;
}

void GameObject::ClearSeen() { isVisible = 0; }

bool Visibility_RevealAll() {
    if (Seam_Net().isNetworkGame()) return false;
    return (Seam_Cockpit().cheatFlags() & kCheatRevealAll) != 0;
}

void Visibility_Update() {
    const bool reveal = Visibility_RevealAll();
    const uint32_t userBit = Visibility_TeamBit(GameObject_GetUserTeam());
    for (GameObject* object : GameObject_List()) {
        const uint32_t ownBit = Visibility_TeamBit(object->perceivedTeam);
        const uint32_t flags = object->entity->flags;
        if (flags & kEntityNotDrawn) {
            object->ClearSeen();
            if (flags & kEntityUser) object->MarkSeenBy(object->perceivedTeam);
        } else if (object->objClass->category != kCategoryBuilding) {
            if (object->isCargo) {
                object->isVisible = 0xFFFFFFFFu;
            } else {
                object->isVisible = ownBit;
                object->seen |= ownBit;
            }
        }
        if (reveal) {
            object->isVisible |= userBit;
            object->seen |= userBit;
        }
    }
}

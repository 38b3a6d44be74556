// Rosters of units gathered round one object: the attackers of one target, the followers of one
// leader. A roster keeps its units in the order they joined; each object has at most one roster
// in the registry of its kind, made when the first unit asks for it and deleted when the last one
// leaves. Units in a roster take formation places behind its object by their number and order.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fun3d/gameobject.h"

// The entries of one roster; Unit names the unit of an entry.
template <typename Entry, GameObject* Entry::*Unit>
class UnitRoster {
public:
    // How many entries are ahead of the unit's own (the count when it is absent).
    int32_t IndexOf(const GameObject* unit) const {
        int32_t k = 0;
        for (const Entry& e : entries) {
            if (e.*Unit == unit) break;
            ++k;
        }
        return k;
    }
    int32_t Count() const { return static_cast<int32_t>(entries.size()); }

    std::vector<Entry> entries;

protected:
    // The unit's entry goes (nothing happens when it is absent).
    void Erase(const GameObject* unit) {
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.*Unit == unit; });
        if (it != entries.end()) entries.erase(it);
    }
};

// Every roster of one kind; Key names the handle of a roster's object, and a roster is made
// from that handle.
template <typename Roster, uint32_t Roster::*Key>
class RosterRegistry {
public:
    // The object's roster (a null object has the roster of handle 0); a new empty one joins the
    // registry when it has none.
    Roster* Get(GameObject* object) {
        const uint32_t handle = object ? object->GetObjHandle() : 0;
        for (Roster* roster : rosters_)
            if (roster->*Key == handle && GameObject::FromHandleRaw(handle) == object) return roster;
        rosters_.push_back(new Roster(handle));
        return rosters_.back();
    }
    // A roster left empty leaves the registry and is deleted: true then (the roster is gone).
    bool DropIfEmpty(Roster* roster) {
        if (!roster->entries.empty()) return false;
        rosters_.erase(std::remove(rosters_.begin(), rosters_.end(), roster), rosters_.end());
        delete roster;
        return true;
    }
    const std::vector<Roster*>& List() const { return rosters_; }
    // Every roster deleted (the tests' reset; the tasks that held them must be gone).
    void Reset() {
        for (Roster* roster : rosters_) delete roster;
        rosters_.clear();
    }

private:
    std::vector<Roster*> rosters_;
};

// The formation place (side, along the heading) of the unit k places from the front among n:
// set places for up to four, a line 20 m apart beyond (the place after the last for a unit not
// counted). False (nothing written) for a k outside the set places of up to four.
inline bool Formation_Place(int32_t n, int32_t k, float* side, float* along) {
    static constexpr float kPlaces[4][4][2] = {
        {{3, -30}},
        {{3, -30}, {-3, -60}},
        {{-10, -20}, {10, -20}, {0, -40}},
        {{-10, -20}, {10, -20}, {-10, -40}, {10, -40}},
    };
    if (n > 4) {
        *side = 0.0f;
        *along = -20.0f * static_cast<float>(k + 1);
        return true;
    }
    if (n < 1 || k < 0 || k >= n) return false;
    *side = kPlaces[n - 1][k][0];
    *along = kPlaces[n - 1][k][1];
    return true;
}

#include "fun3d/gameobject.h"

namespace {

GameObject* g_objectives[kObjectiveListSize] = {};
int32_t g_objectiveCount = 0;

int32_t PositionOf(const GameObject* object) {
    for (int32_t i = 0; i < g_objectiveCount; ++i)
        if (g_objectives[i] == object) return i;
    return -1;
}

}  // namespace

int32_t GameObject::SetObjective(uint8_t marked) {
    if (marked) {
        if (isObjective) {
            isObjective = marked;
            const int32_t at = PositionOf(this);
            return at >= 0 ? at : g_objectiveCount;
        }
        // The list is full: a further mark would have nowhere to go.
        if (g_objectiveCount >= kObjectiveListSize) return -1;
        g_objectives[g_objectiveCount] = this;
        isObjective = marked;
        return g_objectiveCount++;
    }
    if (isObjective) {
        const int32_t at = PositionOf(this);
        if (at >= 0) {
            g_objectives[at] = g_objectives[--g_objectiveCount];
            g_objectives[g_objectiveCount] = nullptr;
        }
    }
    isObjective = 0;
    return g_objectiveCount;
}

GameObject* const* Objective_List() { return g_objectives; }
int32_t Objective_Count() { return g_objectiveCount; }

void Objective_ResetList() {
    for (GameObject*& entry : g_objectives) entry = nullptr;
    g_objectiveCount = 0;
}

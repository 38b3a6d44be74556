// Go-to and follow tasks on hand-placed craft: routes are planned as straight lines unless a
// test installs the grid, and the world queries answer what the test says.
#pragma once
#include <cmath>

#include "ai/aimission.h"
#include "ai/aipath.h"
#include "ai/attacktask.h"
#include "ai/avoidsettings.h"
#include "ai/followtask.h"
#include "ai/gototask.h"
#include "ai/unitservices.h"
#include "ai/unittask.h"
#include "core/clock.h"
#include "core/registration.h"
#include "fun3d/objectpool.h"
#include "process_fixture.h"

class GotoFixture : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        UnitAi_ResetServices();  // the real tasks, not the process tests' fakes
        UnitAi_Services().radioVoiceQueue = [](const char* wave, GameObject*, int32_t) { Said().emplace_back(wave); };
        UnitTask_ResetHooks();
        Avoidance_ResetSettings();
        Registration_Init();
        Ai_InstallTasks();
        UnitTaskHooks& h = UnitTask_Hooks();
        h.floorNormal = [](const Vector&) { return Vector{0.0f, 1.0f, 0.0f}; };
        h.isImpassableAt = [](const Vector&) { return false; };
        h.isPathClear = [](int32_t, const Vector&, const Vector&) { return true; };
        h.planForUnit = [](GameObject* unit, const Vector& goal) {
            auto* path = new AiPath(nullptr, 0);
            const DVector& p = unit->entity->local.posit;
            path->points = {{static_cast<float>(p.x), static_cast<float>(p.z)}, {goal.x, goal.z}};
            return path;
        };
        cls_ = &NewCraftClass();
        unit_ = NewCraft(*cls_, 1, Vector{100, 0, 100});
        Clock_SetTime(50.0f);
    }
    void TearDown() override {
        Mission_Shutdown();
        AiTasks_Clear();
        FollowRegistry_Reset();
        AttackRegistry_Reset();
        AiPaths_Reset();
        UnitTask_ResetHooks();
        Avoidance_ResetSettings();
        ProcessFixture::TearDown();
    }
    static void Place(GameObject* object, Vector at, float headingRadians = 0.0f) {
        Matrix m = kIdentityMatrix;
        m.front = Vector{std::sin(headingRadians), 0.0f, std::cos(headingRadians)};
        m.right = Vector{std::cos(headingRadians), 0.0f, -std::sin(headingRadians)};
        m.posit = DVector{at.x, at.y, at.z};
        object->entity->local = m;
        object->pos = at;
    }
    static void Kill(GameObject* object) { object->entity->flags |= kEntityDead; }
    // Updates until the task drives in GOTO (at most a few frames).
    static void ToGoto(UnitTask* task) {
        for (int i = 0; i < 4 && !(task->curState == kTaskGoto && task->nextState == -1); ++i) task->Update();
    }
    CraftClass* cls_ = nullptr;
    Craft* unit_ = nullptr;
};

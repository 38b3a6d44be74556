// A fresh object layer for each test: entity table, object pool, serial counter, user and team
// records reset; the neighbours' seams the objects call are saved and put back; every object
// and entity a test leaves behind is released in TearDown.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/planner.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"

// A class that builds plain objects (a prototype when made without a file).
class PlainClass : public GameObjectClass {
public:
    PlainClass() = default;
    PlainClass(GameObjectClass* prototype, const char* name) : GameObjectClass(prototype, name) {}
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
};

class Fun3dFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A class with the given health and ammunition, signature 'GOBJ'.
    GameObjectClass& NewClass(int32_t health = 100, int32_t ammo = 50);
    // A root entity (named "thing", team bits from team, further flags) entered in the table.
    Entity* NewRoot(int32_t team = 1, uint32_t flags = 0, bool inTable = true);
    // A part entity under the parent with the name and type code.
    Entity* NewPart(Entity* parent, const char* name, int32_t type = 0);
    GameObject* Build(GameObjectClass& cls, Entity* entity);
    GameObject* Build(GameObjectClass& cls, int32_t team = 1, uint32_t flags = 0);
    // Sets the cheat bits of the player settings' flag word.
    void SetCheats(uint32_t bits);

    std::vector<GameObjectClass*> classes_;

private:
    std::vector<Entity*> roots_;
    std::vector<GameObject*> unlisted_;
    AiSeam ai_{};
    WeaponsSeam weapons_{};
    CockpitSeam cockpit_{};
    NetSeam net_{};
    MissionsSeam missions_{};
    PlannerSeam planner_{};
};

// The text of the last message box shown, or "".
std::string LastBoxText();

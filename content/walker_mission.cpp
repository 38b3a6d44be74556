// "walker.qmn": the walker's mission on the sample map's flat ground east of the long wall (x
// 1460 to 1920 m), its groups at
// least 300 m apart: the player in a walker with open ground ahead, a team-2 walker sent at it
// from 600 m, a team-1 tank on patrol, and a team-2 torpedo beside an empty team-1 craft.
#include <cmath>
#include <string>

#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/unitprocess.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "mission_writer.h"

namespace content {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// An object of the class on the ground at (x, z), its front turned the given degrees from +z
// toward +x.
GameObject* Place(const char* name, int32_t team, double x, double z, float degrees, bool user, std::string* error) {
    GameObjectClass* cls = GameObjectClass::Find(name);
    if (!cls) {
        Fail(error, std::string("walker mission: class ") + name + " not found");
        return nullptr;
    }
    const float a = degrees * 3.14159265f / 180.0f;
    Matrix m = kIdentityMatrix;
    m.front = Vector{std::sin(a), 0.0f, std::cos(a)};
    m.right = Vector{std::cos(a), 0.0f, -std::sin(a)};
    m.posit = DVector{x, Terrain_GetHeight(x, z), z};
    GameObject* object = GameObjectClass::Build(cls, m, team, user, 0, nullptr);
    if (!object) Fail(error, std::string("walker mission: ") + name + " could not be built");
    return object;
}

}  // namespace

bool BuildWalkerWorld(std::string* error) {
    // The player's walker faces north over 600 m of flat ground.
    GameObject* user = Place("avwalk", 1, 1700.0, 1500.0, 0.0f, true, error);
    if (!user) return false;
    user->aiProcessPending = true;
    Entities_SetUser(user->record);
    user->pilotClass = GameObjectClass::Find("asuser");

    // A team-2 walker 600 m north, sent at the player.
    GameObject* enemy = Place("avwalk", 2, 1700.0, 2100.0, 180.0f, false, error);
    if (!enemy) return false;
    enemy->aiProcessPending = true;
    enemy->pilotClass = enemy->objClass->pilotClass;
    enemy->SetCommandObject(kCmdCodeAttack, user);

    // A team-1 tank ordered to patrol to a point 200 m north of it.
    GameObject* tank = Place("avtank", 1, 1800.0, 2800.0, 0.0f, false, error);
    if (!tank) return false;
    tank->aiProcessPending = true;
    tank->pilotClass = tank->objClass->pilotClass;
    // The order names a route of the map, which the saved game keeps with its paths.
    auto* route = new AiPath("patrol_route", 0);
    route->points = {{1800.0f, 2800.0f}, {1800.0f, 3000.0f}};
    AiCmdInfo order{};
    order.what = kCmdCodePatrol;
    order.where = route;
    tank->SetNextCmdInfo(order);

    // An empty team-1 craft, and 80 m south of it a team-2 torpedo pointing 60 degrees away.
    GameObject* empty = Place("avtank", 1, 1550.0, 3480.0, 0.0f, false, error);
    if (!empty) return false;
    empty->aiProcessPending = false;
    GameObject* torpedo = Place("aptorp", 2, 1550.0, 3400.0, 60.0f, false, error);
    if (!torpedo) return false;
    torpedo->aiProcessPending = true;
    return true;
}

}  // namespace content

#include "avoidance_config.h"

#include "archive_writer.h"
#include "textfiles.h"

namespace content {

std::string CollisionConfigText() {
    return "// Collision avoidance tuning of the unit AI.\n"
           "int COLLISION_CONFIG_FILE_REVISION = 1;\n"
           "int AVOIDANCE_USING_RANGE_SEARCH = 1;\n"
           "float GRID_X_SIZE = 100.0;\n"
           "float GRID_Z_SIZE = 100.0;\n"
           "int COLLISION_LATERAL_REPULSION = 1;\n"
           "int COLLISION_FULL_POTENTIAL_FIELD = 1;\n"
           "int COLLISION_REAL_COLLISIONS = 1;\n"
           "int COLLISION_DIRECT_REPULSION = 1;\n"
           "float LATERAL_AVOIDANCE_MULTIPLIER = 3.0;\n"
           "float LATERAL_DANGER_WIDTH = 2.0;\n"
           "float COLLISION_LOOK_AHEAD_TIME = 2.5;\n"
           "float COLLISION_SAFETY_COEFF = 1.3;\n"
           "int COLLISION_CHEAP_2D_COLLIDE = 0;\n"
           "float EXTRA_GOAL_ATTRACTION = 2.0;\n"
           "float REPULSIVE_COEFFICIENT = 1000.0;\n"
           "float ATTRACTIVE_COEFFICIENT = 1.0;\n"
           "float DEFAULT_REPULSION_CUTOFF = 40.0;\n"
           "float DISTANCE_OF_INFLUENCE = 40.0;\n"
           "float CLIFF_REPULSION_COEFFICIENT = 0.5;\n"
           "float SWITCH_TO_NEXT_POINT_DISTANCE = 15.0;\n"
           "float EXTRA_STUCK_TIME = 10.0;\n";
}

bool WriteCollisionConfig(const std::string& dir, std::string* error) {
    return WriteTextFile(dir + "/" + kPackDirectory + "/Collision.cfg", CollisionConfigText(), error);
}

}  // namespace content

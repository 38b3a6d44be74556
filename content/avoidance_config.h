// "Collision.cfg": the unit AI's avoidance tuning in the parameter-file language.
#pragma once
#include <string>

namespace content {

// The file's text: revision 1 and every setting at the value the game is tuned for.
std::string CollisionConfigText();
// Writes it into the world's pack directory.
bool WriteCollisionConfig(const std::string& dir, std::string* error);

}  // namespace content

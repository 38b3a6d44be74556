// The sample world: writes every file the game reads, from our own generators.
#pragma once
#include <string>

namespace content {
// Writes the whole sample world into dir (created when missing). False with a reason on failure.
bool WriteWorld(const std::string& dir, std::string* error);
}  // namespace content

// The "How to play" table of the README: each player action and the keys, buttons and axes the
// default maps bind to it, read from the same texts the world's map files are written from, so
// the README and the game never disagree.
#pragma once
#include <string>

namespace content {

// A Markdown table: one row per action, its default bindings joined by " or ".
std::string HowToPlayTable();

}  // namespace content

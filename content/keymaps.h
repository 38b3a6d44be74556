// The key maps of the sample world: "input.map" and the device defaults in "tovak" (sinks bound
// to keys, mouse and stick), "gamekey.map" (the game keys) and "label.map" (screen texts).
#pragma once
#include <string>

namespace content {

std::string InputMapText();
std::string KeyboardDefaultsText();
std::string MouseDefaultsText();
std::string JoystickDefaultsText();
std::string GameKeyMapText();
std::string LabelMapText();

// Writes the five key-map files into dir.
bool WriteKeyMaps(const std::string& dir, std::string* error);

}  // namespace content

// Definitions of the sample world's falling and hooking shots and the guns that throw them: the
// mortar shell "mshell" (a grenade) with its blast "xmshell" and its mortar "wmortar", the
// bounce bomb "bbomb" with its gun "wbbomb", the anchor "anchor1" with its gun "wanchor", and
// the lobber "wlobber". Tests write their fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

#include "guided_definitions.h"
#include "weapon_definitions.h"

namespace content {

// The bounce bomb's sound and the anchor's brakes and hold; a field left at its "unset" value is
// not written.
struct LobbedValues {
    std::string bounceSound;
    float linearBrake = -1.0f, angularBrake = -1.0f, holdTime = -1.0f;
};
// An ordnance file with the rocket keys and these appended.
bool LobbedOrdnanceText(const OrdnanceValues& base, const RocketValues& rocket, const LobbedValues& lobbed,
                        std::string* text, std::string* error);
// A lobber's file: the weapon keys (its reload among them) and the largest throw speed when not
// negative.
bool LobberWeaponText(const WeaponValues& base, float maxSpeed, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool LobbedDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content

// Definitions of the sample world's remote charges and air-burst shells: the remote detonator
// "wremote" with its charge "rcharge" (a bounce bomb) and blast "xcharge", and the popper gun
// "wpopper" with its popper "popper1", burst "xpburst" and payload "ppayload". Tests write their
// fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

#include "guided_definitions.h"
#include "weapon_definitions.h"

namespace content {

// A detonator's file: the weapon keys (label "detonator") and the detonate icon when not empty.
bool DetonatorText(const WeaponValues& base, const std::string& detonateIcon, std::string* text, std::string* error);

// The popper's keys after the rocket keys; a field left at its "unset" value is not written.
struct PopperValues {
    float seekRange = -1.0f;
    std::string burstClass, payloadClass;
};
// A popper's file: the ordnance and rocket keys (label "popper") and the popper's own.
bool PopperText(const OrdnanceValues& base, const RocketValues& rocket, const PopperValues& popper, std::string* text,
                std::string* error);
// A popper gun's file: the weapon keys (label "poppergun", the reload among them) and the launch
// pitch when above -1e29.
bool PopperGunText(const WeaponValues& base, float launchPitch, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool ChargeDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content

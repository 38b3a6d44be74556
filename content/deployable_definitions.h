// Definitions of the sample world's objects that weapons leave in the world: the mine "apmine",
// the flare "apflare" with its small shot "flrshot", the magnet "apmagnet", the day wrecker
// "apwrck" with its explosion "xwreck", and the dispenser "wdisp" that drops the magnet once a
// second. Mines, flares and magnets borrow the small scrap model. Tests write their fixtures with
// the same writers.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// A mine, flare or magnet class; a field left at its "unset" value is not written.
struct MineValues {
    std::string label = "mine";  // "mine", "flare" or "magnet"
    std::string geometry;
    int health = -1;
    int ammo = -1;  // what a dispenser pays for one
    float lifetime = -1.0f;
    std::string ambientSound;  // the magnet's hum
    // The flare.
    std::string ordnance;
    std::string sound;
    float delay = -1e30f;  // the flare's start delay or the magnet's arm delay; written above -1e29
    float reloadTime = -1e30f;
    float cone = -1e30f;
    // The magnet.
    float range = -1e30f, centreForce = -1e30f, edgeForce = -1e30f, craftDrag = -1e30f;
    float shotForce = -1e30f, shotForceGain = -1e30f, shotDrag = -1e30f;
    // The proximity and weapon mines ("proximity", "weaponmine").
    float triggerRange = -1e30f, searchPeriod = -1e30f, depthWeight = -1e30f;
    std::string blast;   // the proximity mine's explosion
    std::string weapon;  // the weapon mine's weapon
    int needClearShot = -1;
};
bool MineDefinitionText(const MineValues& values, std::string* text, std::string* error);

struct DayWreckerValues {
    std::string geometry;
    int ammo = -1;
    std::string explosion;
    float value = -1e30f;
};
bool DayWreckerDefinitionText(const DayWreckerValues& values, std::string* text, std::string* error);

struct DispenserValues {
    std::string dispense;
    std::string fireSound;
    float reloadTime = -1e30f;
};
bool DispenserDefinitionText(const DispenserValues& values, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool DeployableDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content

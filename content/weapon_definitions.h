// Definitions of the sample world's weapon and explosion classes: the standard explosions game
// objects die with (both sets), the range explosion "xrange", one plain weapon, the cannon
// "wcannon" and the machine gun "wmgun" with their bullets "bullet1" and "mgbullet". Tests write
// their fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

namespace content {

// The keys of an explosion class; a field left at its "unset" value is not written.
struct ExplosionValues {
    std::string label = "explosion";
    std::string firstFrame;  // sprite name of the first frame
    int frameCount = -1;
    float secondsPerFrame = -1e30f;  // written when above -1e29
    float innerRadius = -1.0f;
    std::string sound;
    float outerRadius = -1.0f;
    int damage[4] = {0, 0, 0, 0};
    bool writeDamage = false;
    float pushStrength = -1.0f;
};
// The text of an explosion definition; false (error set) when a key has no text in the dictionary.
bool ExplosionDefinitionText(const ExplosionValues& values, std::string* text, std::string* error);

struct WeaponValues {
    std::string label = "weapon";
    std::string ordnance;
    std::string fireSound;
    std::string sprites[3];
    int intParam = 0;
    bool writeIntParam = false;
    std::string kind;
    float reloadTime = -1.0f;  // cannons and machine guns; written when not negative
};
bool WeaponDefinitionText(const WeaponValues& values, std::string* text, std::string* error);

// The keys of an ordnance class; a field left at its "unset" value is not written.
struct OrdnanceValues {
    std::string label = "bullet";
    std::string geometry;
    std::string explosionGround, explosionVehicle, explosionBuilding;
    int ammoCost = -1;
    float lifetime = -1.0f;
    float speed = -1.0f;
    int damage[4] = {0, 0, 0, 0};
    bool writeDamage = false;
    std::string flightSound;
    int reportHits = -1;
};
bool OrdnanceDefinitionText(const OrdnanceValues& values, std::string* text, std::string* error);

struct NamedDefinition {
    std::string name;  // file name
    std::string text;
};
// The sample world's weapon and explosion definitions.
bool WeaponDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content

#include "device_definitions_a.h"

#include "deployable_definitions.h"

namespace content {

bool DeviceDefinitionsA(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    ExplosionValues blast;
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 8;
    blast.secondsPerFrame = 0.08f;
    blast.innerRadius = 4.0f;
    blast.outerRadius = 15.0f;
    blast.damage[0] = 500;
    blast.writeDamage = true;
    blast.pushStrength = 6.0f;
    if (!ExplosionDefinitionText(blast, &text, error)) return false;
    out->push_back({"xprox.odf", text});
    // The proximity mine waits for something to pass it and blows up as it leaves.
    MineValues prox;
    prox.label = "proximity";
    prox.geometry = "gvscrap";
    prox.ammo = 25;
    prox.triggerRange = 15.0f;
    prox.searchPeriod = 0.2f;
    prox.blast = "xprox";
    if (!MineDefinitionText(prox, &text, error)) return false;
    out->push_back({"approx.odf", text});

    // The weapon mine shoots the cannon at whatever comes near, mostly across the ground.
    MineValues wmine;
    wmine.label = "weaponmine";
    wmine.geometry = "gvscrap";
    wmine.ammo = 40;
    wmine.triggerRange = 60.0f;
    wmine.depthWeight = 4.0f;
    wmine.weapon = "wcannon";
    if (!MineDefinitionText(wmine, &text, error)) return false;
    out->push_back({"apwmine.odf", text});
    return true;
}

}  // namespace content

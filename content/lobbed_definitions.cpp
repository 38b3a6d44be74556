#include "lobbed_definitions.h"

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kBounceSound = 0x7e5a762cu, kLinearBrake = 0x27bac631u, kAngularBrake = 0xc0783809u,
                   kHoldTime = 0x10d7bd55u;
// The lobber's largest throw speed shares its key with the shot speed.
constexpr uint32_t kMaxSpeed = 0xcafe92d0u;

}  // namespace

bool LobbedOrdnanceText(const OrdnanceValues& base, const RocketValues& rocket, const LobbedValues& v,
                        std::string* text, std::string* error) {
    std::string head;
    if (!GuidedOrdnanceText(base, rocket, TracerValues{}, GuidedValues{}, &head, error)) return false;
    OdfWriter w;
    if (!v.bounceSound.empty()) w.String(kBounceSound, v.bounceSound);
    if (v.linearBrake >= 0.0f) w.Float(kLinearBrake, v.linearBrake);
    if (v.angularBrake >= 0.0f) w.Float(kAngularBrake, v.angularBrake);
    if (v.holdTime >= 0.0f) w.Float(kHoldTime, v.holdTime);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool LobberWeaponText(const WeaponValues& base, float maxSpeed, std::string* text, std::string* error) {
    std::string head;
    if (!WeaponDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    if (maxSpeed >= 0.0f) w.Float(kMaxSpeed, maxSpeed);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool LobbedDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The mortar shell's blast reaches 10 m.
    ExplosionValues blast;
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 8;
    blast.secondsPerFrame = 0.1f;
    blast.innerRadius = 2.0f;
    blast.outerRadius = 10.0f;
    blast.damage[0] = 150;
    blast.writeDamage = true;
    blast.pushStrength = 3.0f;
    if (!ExplosionDefinitionText(blast, &text, error)) return false;
    out->push_back({"xmshell.odf", text});

    RocketValues trail;
    trail.flareSize = 0.4f;
    trail.flareSprite = "rflare.0";
    trail.flareFrames = 4;
    trail.puffSize = 0.3f;
    trail.puffInterval = 0.05f;
    trail.puffSecondsPerFrame = 0.1f;
    trail.puffSprite = "rpuff.0";
    trail.puffFrames = 8;

    // A grenade lives until it lands: no lifetime of its own.
    OrdnanceValues shell;
    shell.label = "grenade";
    shell.explosionGround = "xmshell";
    shell.explosionVehicle = "xmshell";
    shell.explosionBuilding = "xmshell";
    shell.ammoCost = 10;
    shell.speed = 40.0f;
    shell.damage[0] = 100;
    shell.writeDamage = true;
    OrdnanceValues bomb = shell;
    bomb.label = "bouncebomb";
    bomb.speed = 30.0f;
    bomb.lifetime = 6.0f;
    LobbedValues bounce;
    bounce.bounceSound = "bounce.wav";
    OrdnanceValues anchor = shell;
    anchor.label = "anchor";
    anchor.explosionGround = "xbulgnd";
    anchor.explosionVehicle = "xbulcar";
    anchor.explosionBuilding = "xbulbld";
    anchor.speed = 80.0f;
    anchor.lifetime = 3.0f;
    anchor.ammoCost = 15;
    anchor.damage[0] = 20;
    LobbedValues hook;
    hook.linearBrake = 15.0f;
    hook.angularBrake = 5.0f;
    hook.holdTime = 4.0f;
    const struct {
        const char* file;
        const OrdnanceValues* base;
        const LobbedValues* lobbed;
    } shots[] = {{"mshell.odf", &shell, nullptr}, {"bbomb.odf", &bomb, &bounce}, {"anchor1.odf", &anchor, &hook}};
    for (const auto& s : shots) {
        if (!LobbedOrdnanceText(*s.base, trail, s.lobbed ? *s.lobbed : LobbedValues{}, &text, error)) return false;
        out->push_back({s.file, text});
    }

    WeaponValues mortar;
    mortar.label = "mortar";
    mortar.ordnance = "mshell";
    mortar.fireSound = "wcbl.wav";
    mortar.kind = "mortar";
    mortar.reloadTime = 2.0f;
    mortar.sprites[1] = "icon_gun";
    // The bounce bomb is lobbed like a shell; the anchor flies straight from a cannon.
    WeaponValues bombGun = mortar;
    bombGun.ordnance = "bbomb";
    bombGun.reloadTime = 1.5f;
    WeaponValues anchorGun = bombGun;
    anchorGun.label = "cannon";
    anchorGun.kind = "cannon";
    anchorGun.ordnance = "anchor1";
    anchorGun.reloadTime = 1.0f;
    for (const auto& [file, weapon] : {std::pair{"wmortar.odf", &mortar}, std::pair{"wbbomb.odf", &bombGun},
                                       std::pair{"wanchor.odf", &anchorGun}}) {
        if (!WeaponDefinitionText(*weapon, &text, error)) return false;
        out->push_back({file, text});
    }

    WeaponValues lobber;
    lobber.label = "lobber";
    lobber.fireSound = "wcbl.wav";
    lobber.kind = "special";
    lobber.reloadTime = 1.5f;
    if (!LobberWeaponText(lobber, 80.0f, &text, error)) return false;
    out->push_back({"wlobber.odf", text});
    return true;
}

}  // namespace content

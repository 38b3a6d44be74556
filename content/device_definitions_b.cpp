#include "device_definitions_b.h"

#include "deployable_definitions.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kPodClass = 0xFAB4528Au;
constexpr uint32_t kGeometryName = 0x0794B13Bu;
constexpr uint32_t kHealth = 0x19971F1Bu;
constexpr uint32_t kAmmo = 0x21C4FF9Bu;
constexpr uint32_t kBounceSound = 0x7E5A762Cu;
constexpr uint32_t kPayloadClass = 0x19D3EBC6u;
constexpr uint32_t kFireSound = 0xCFDE2FC0u;
constexpr uint32_t kChargeTime = 0x682CD2B2u;
constexpr uint32_t kReloadTime = 0xD9356908u;
constexpr uint32_t kHoverHeight = 0x4F358485u;
constexpr uint32_t kSpinRate = 0x73ACCD30u;
constexpr uint32_t kSpread = 0x98902ADEu;
constexpr float kUnset = -1e29f;

void OptionalFloat(OdfWriter& w, uint32_t key, float value) {
    if (value > kUnset) w.Float(key, value);
}

}  // namespace

bool RadarLauncherText(const WeaponValues& base, const LockValues& lock, const std::string& podClass, std::string* text,
                       std::string* error) {
    std::string body;
    if (!LockWeaponText(base, lock, nullptr, nullptr, nullptr, &body, error)) return false;
    if (podClass.empty()) {
        *text = body;
        return true;
    }
    OdfWriter w;
    w.Section("RadarLauncherClass").String(kPodClass, podClass);
    if (!w.Ok(error)) return false;
    *text = body + w.Text();
    return true;
}

bool SprayBombText(const OrdnanceValues& bomb, const std::string& bounceSound, const SprayDeviceValues& device,
                   std::string* text, std::string* error) {
    OrdnanceValues o = bomb;
    o.label = "spraybomb";
    std::string body;
    if (!OrdnanceDefinitionText(o, &body, error)) return false;
    OdfWriter w;
    w.Section("SprayBombClass");
    if (!bounceSound.empty()) w.String(kBounceSound, bounceSound);
    w.Section("GameObjectClass");
    if (!device.geometry.empty()) w.String(kGeometryName, device.geometry);
    if (device.health >= 0) w.Int(kHealth, device.health);
    if (device.ammo >= 0) w.Int(kAmmo, device.ammo);
    w.Section("SprayBombDeviceClass");
    if (!device.payload.empty()) w.String(kPayloadClass, device.payload);
    if (!device.fireSound.empty()) w.String(kFireSound, device.fireSound);
    OptionalFloat(w, kChargeTime, device.chargeTime);
    OptionalFloat(w, kReloadTime, device.reloadTime);
    OptionalFloat(w, kHoverHeight, device.hoverHeight);
    OptionalFloat(w, kSpinRate, device.spinRate);
    OptionalFloat(w, kSpread, device.spread);
    if (!w.Ok(error)) return false;
    *text = body + w.Text();
    return true;
}

bool LaunchedDeviceDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The radar pod: a sturdy, long-lived watcher that settles where it lands.
    MineValues pod;
    pod.geometry = "gvscrap";
    pod.health = 200;
    pod.ammo = 30;
    pod.lifetime = 120.0f;
    if (!MineDefinitionText(pod, &text, error)) return false;
    out->push_back({"aprdpod.odf", text});

    // The radar launcher locks the owner's target within 250 m in 1.5 s over three stages.
    WeaponValues launcher;
    launcher.label = "radarlauncher";
    launcher.fireSound = "wrock.wav";
    launcher.kind = "rocket";
    launcher.sprites[1] = "icon_gun";
    LockValues lock;
    lock.lockRange = 250.0f;
    lock.lockTime = 1.5f;
    lock.lockAngle = 0.5f;
    lock.trackingIcon = "tracking.0";
    lock.lockedIcon = "locked.0";
    lock.lockFrameCount = 3;
    lock.lockFrames = {"lockstage.1", "lockstage.2", "lockstage.3"};
    if (!RadarLauncherText(launcher, lock, "aprdpod", &text, error)) return false;
    out->push_back({"wradar.odf", text});

    // The spray bomb: lobbed, it bounces to rest and sprays forty small shots, 2.5 m over the
    // ground, after a second's charge.
    OrdnanceValues sprayShot;
    sprayShot.ammoCost = 1;
    sprayShot.lifetime = 1.0f;
    sprayShot.speed = 60.0f;
    sprayShot.damage[0] = 40;
    sprayShot.writeDamage = true;
    if (!OrdnanceDefinitionText(sprayShot, &text, error)) return false;
    out->push_back({"sprshot.odf", text});
    OrdnanceValues bomb;
    bomb.geometry = "gvscrap";
    bomb.ammoCost = 40;
    bomb.speed = 40.0f;
    SprayDeviceValues device;
    device.geometry = "gvscrap";
    device.health = 100;
    device.ammo = 40;
    device.payload = "sprshot";
    device.chargeTime = 1.0f;
    device.reloadTime = 0.1f;
    device.hoverHeight = 2.5f;
    device.spinRate = 8.0f;
    device.spread = 0.3f;
    if (!SprayBombText(bomb, "bounce.wav", device, &text, error)) return false;
    out->push_back({"apspray.odf", text});
    WeaponValues mortar;
    mortar.label = "mortar";
    mortar.ordnance = "apspray";
    mortar.kind = "mortar";
    mortar.sprites[1] = "icon_gun";
    if (!WeaponDefinitionText(mortar, &text, error)) return false;
    out->push_back({"wspray.odf", text});
    return true;
}

}  // namespace content

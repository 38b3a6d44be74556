#include "device_definitions_b.h"

#include "deployable_definitions.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kPodClass = 0xFAB4528Au;

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
    return true;
}

}  // namespace content

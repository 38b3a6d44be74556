#include "interface/lockdisplay.h"

#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "interface/combathud.h"
#include "render/view.h"
#include "weapons/launcher.h"

namespace {

constexpr uint32_t kLockIconFlags = 0x250004;

// The launcher on the mount, when the mount holds one.
Launcher* LauncherAt(GameObject* craft, int slot) {
    if (!craft || !craft->hardpoints) return nullptr;
    Weapon* weapon = craft->hardpoints->weapons[slot];
    if (!weapon || !weapon->weaponClass) return nullptr;
    const uint32_t s = weapon->weaponClass->signature;
    if (s != Signature("IMGL") && s != Signature("LNCH") && s != Signature("RDRL") && s != Signature("THML"))
        return nullptr;
    // A kind that is not built yet has a plain weapon under a launcher's signature.
    return dynamic_cast<Launcher*>(weapon);
}

void DrawOn(uint32_t handle, int sprite) {
    GameObject* object = handle ? GameObject::FromHandle(handle) : nullptr;
    const HudContext& context = Hud_Context();
    if (!object || !sprite || !context.view) return;
    const Vector p = object->GetPosition();
    Vector inView;
    View_TransformPoint(&inView, context.view, p.x, p.y, p.z);
    if (!(inView.z > 0.0f)) return;  // behind the viewer
    const HudScreenPoint at = Hud_WorldToScreen(p, context.view, nullptr);
    CombatHud_Services().drawSprite(context.buffer, sprite, at.x, at.y, kLockIconFlags, 0);
}

}  // namespace

LockDisplay::LockDisplay() {
    for (int layer = 0; layer < 3; ++layer) SetLayer(layer, 5);
}

void LockDisplay::Start() {
    for (int32_t& stage : shownStage) stage = 0;
}

void LockDisplay::Update(float) {
    GameObject* craft = CombatHud_Services().player();
    for (int slot = 0; slot < kHardpointCount; ++slot) {
        Launcher* launcher = LauncherAt(craft, slot);
        if (!launcher) {
            shownStage[slot] = 0;
            continue;
        }
        const LauncherClass& cls = launcher->Class();
        if (launcher->lockStage > shownStage[slot]) {
            const char* sound = launcher->lockStage + 1 == cls.lockFrameCount ? cls.lockedSound : cls.lockSound;
            if (sound[0]) {
                char name[17] = {};
                for (int i = 0; i < 16; ++i) name[i] = sound[i];
                CombatHud_Services().playSound(name);
            }
        }
        shownStage[slot] = launcher->lockStage;
    }
}

void LockDisplay::Draw() {
    GameObject* craft = CombatHud_Services().player();
    for (int slot = 0; slot < kHardpointCount; ++slot) {
        Launcher* launcher = LauncherAt(craft, slot);
        if (!launcher) continue;
        const LauncherClass& cls = launcher->Class();
        DrawOn(launcher->locked, cls.lockedIcon);
        if (launcher->candidate && launcher->candidate != launcher->locked)
            DrawOn(launcher->candidate, cls.StageIcon(launcher->lockStage));
    }
}

LockDisplay& LockDisplay_Instance() {
    static LockDisplay display;
    return display;
}

#include "core/seams/weapons.h"

#include "core/seams/registry.h"

namespace {

WeaponsSeam MakeDefault() {
    // Weapons_InstallSeam fills the weapon, ordnance and explosion entries at start-up.
    WeaponsSeam s{};
    s.weaponUpdateAll = [](float) {};
    s.weaponUpdateAllSecond = [](float) {};
    s.ordnanceUpdateAll = [](float) {};
    s.ordnanceNetPass = [] {};
    s.ordnanceLastPass = [](float) {};
    s.ordnanceRenderAll = [](RenderView*) {};
    s.ordnanceFreeAll = [] {};
    s.weaponFreeAll = [] {};
    s.explosionClassFreeAll = [] {};
    s.ordnanceClassFreeAll = [] {};
    s.weaponClassFreeAll = [] {};
    s.weaponClassBuild = [](WeaponClass*, Entity*, Entity*) -> Weapon* { return nullptr; };
    s.weaponDestroy = [](Weapon*) {};
    s.weaponClassName = [](const WeaponClass*) { return ""; };
    s.weaponClassFind = [](const char*) -> WeaponClass* { return nullptr; };
    s.weaponClassSignature = [](const WeaponClass*) -> uint32_t { return 0; };
    s.weaponClassOf = [](const Weapon*) -> const WeaponClass* { return nullptr; };
    s.weaponChanged = [](const Weapon*) { return false; };
    s.effectsOn = [] { return true; };  // Weapons_InstallSeam: the effects' add guard
    s.engineFlameAdd = [](int, const Matrix&, float) {};  // Weapons_InstallSeam: the flame and splash buffers
    s.ordnanceSetStateAll = [](int) {};
    s.ordnanceReceiveNew = [](const uint8_t*, int, uint16_t) {};
    s.ordnanceReceiveExpire = [](const uint8_t*, int, uint16_t, float) {};
    s.ordnanceReceiveKill = [](const uint8_t*, int, uint16_t) {};
    s.ordnanceForEachLive = [](void (*)(void*, Entity*, EntityDynamics*), void*) {};  // filled by Weapons_InstallSeam
    return s;
}

}  // namespace

WeaponsSeam& Seam_Weapons() { return SeamTableInstance<WeaponsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<WeaponsSeam, MakeDefault> kRegistration("WeaponsSeam");
}  // namespace

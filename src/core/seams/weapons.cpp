#include "core/seams/weapons.h"

#include "core/seams/registry.h"

namespace {

WeaponsSeam MakeDefault() {
    WeaponsSeam s{};
    s.weaponUpdateAll = [](float) {};             // PENDING(4.101)
    s.weaponUpdateAllSecond = [](float) {};       // PENDING(4.101)
    s.ordnanceUpdateAll = [](float) {};           // PENDING(4.102)
    s.ordnanceNetPass = [] {};                    // PENDING(4.102)
    s.ordnanceLastPass = [](float) {};            // PENDING(4.102)
    s.ordnanceRenderAll = [](RenderView*) {};     // PENDING(4.102)
    s.ordnanceFreeAll = [] {};                    // PENDING(4.102)
    s.weaponFreeAll = [] {};                      // PENDING(4.101)
    s.explosionClassFreeAll = [] {};              // PENDING(4.103)
    s.ordnanceClassFreeAll = [] {};               // PENDING(4.102)
    s.weaponClassFreeAll = [] {};                 // PENDING(4.101)
    s.weaponClassBuild = [](WeaponClass*, Entity*, Entity*) -> Weapon* { return nullptr; };  // PENDING(4.101)
    s.weaponDestroy = [](Weapon*) {};                                                       // PENDING(4.101)
    s.weaponClassName = [](const WeaponClass*) { return ""; };                              // PENDING(4.101)
    s.weaponClassFind = [](const char*) -> WeaponClass* { return nullptr; };                // PENDING(4.101)
    s.weaponClassSignature = [](const WeaponClass*) -> uint32_t { return 0; };              // PENDING(4.101)
    s.weaponClassOf = [](const Weapon*) -> const WeaponClass* { return nullptr; };          // PENDING(4.101)
    s.weaponChanged = [](const Weapon*) { return false; };                                  // PENDING(4.101)
    s.effectsOn = [] { return true; };                                                      // PENDING(4.105)
    s.engineFlameAdd = [](int, const Matrix&, float) {};                                    // PENDING(4.106)
    return s;
}

}  // namespace

WeaponsSeam& Seam_Weapons() { return SeamTableInstance<WeaponsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<WeaponsSeam, MakeDefault> kRegistration("WeaponsSeam");
}  // namespace

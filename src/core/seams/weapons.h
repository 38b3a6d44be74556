// What the core calls of weapons, ordnance and explosions.
#pragma once

struct RenderView;

struct WeaponsSeam {
    void (*weaponUpdateAll)(float frameTime);
    void (*weaponUpdateAllSecond)(float frameTime);  // the weapons' second pass, after the ordnance
    void (*ordnanceUpdateAll)(float frameTime);
    void (*ordnanceNetPass)();
    void (*ordnanceLastPass)(float frameTime);
    void (*ordnanceRenderAll)(RenderView* view);
    void (*ordnanceFreeAll)();
    void (*weaponFreeAll)();
    void (*explosionClassFreeAll)();
    void (*ordnanceClassFreeAll)();
    void (*weaponClassFreeAll)();
};

WeaponsSeam& Seam_Weapons();

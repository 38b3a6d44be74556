// The lock display of lock-on launchers: for each launcher on the user's craft it sounds each
// new lock stage (the locked sound on the final one), draws the locked icon on the locked object
// and the current stage's icon on a candidate that is another object.
#pragma once
#include <cstdint>

#include "fun3d/hardpoints.h"
#include "interface/hudelement.h"

class LockDisplay : public HudElement {
public:
    LockDisplay();
    void Start() override;
    void Update(float dt) override;
    void Draw() override;

    // The stage last heard per mount.
    int32_t shownStage[kHardpointCount] = {};
};

LockDisplay& LockDisplay_Instance();

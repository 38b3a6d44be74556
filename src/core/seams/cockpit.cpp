#include "core/seams/cockpit.h"

namespace {

// PENDING(9.103) the input devices and force feedback (its own Part) replace these stand-ins.
void Nothing() {}
void NothingOn(bool) {}
void NothingMessage(uint32_t, WParam, LParam) {}

CockpitSeam MakeDefault() {
    CockpitSeam seam{};
    seam.forceFeedbackStart = Nothing;
    seam.forceFeedbackEnable = NothingOn;
    seam.forceFeedbackClose = Nothing;
    seam.buildKeyNames = Nothing;
    seam.mouseCapture = Nothing;
    seam.mouseRelease = Nothing;
    seam.inputClose = Nothing;
    seam.keyboardClearState = Nothing;
    seam.keyboardOnMessage = NothingMessage;
    seam.mouseOnMessage = NothingMessage;
    return seam;
}

}  // namespace

CockpitSeam& Seam_Cockpit() {
    static CockpitSeam seam = MakeDefault();
    return seam;
}

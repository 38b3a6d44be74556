#include "core/inputsinks.h"

InputSinks InputSink{};
uint16_t InputKeyEvent = 0;

namespace {
bool g_userControl = true;
}  // namespace

void Input_DisableUserControl() { g_userControl = false; }
void Input_EnableUserControl() { g_userControl = true; }
bool Input_IsUserControlEnabled() { return g_userControl; }

void InputSinks_Clear() {
    InputSink = InputSinks{};
    InputKeyEvent = 0;
    g_userControl = true;
}

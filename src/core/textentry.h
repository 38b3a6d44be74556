// In-game text-entry fields: the window procedure offers keys to the focused field first.
#pragma once
#include "platform/window.h"

struct TextEntryField {
    // Returns 2 when the field gives up the focus.
    int (*onKey)(TextEntryField* field, uint32_t message, WParam wParam, LParam lParam) = nullptr;
};

TextEntryField* TextEntry_GetFocused();
void TextEntry_SetFocused(TextEntryField* field);
// Offers a key to the field; the field loses the focus when it answers 2.
int TextEntry_HandleKey(TextEntryField* field, uint32_t message, WParam wParam, LParam lParam);

#include "core/textentry.h"

// PENDING(1.114) the text-entry fields replace this stand-in, which only holds the focus.
namespace {
TextEntryField* g_focused = nullptr;
}

TextEntryField* TextEntry_GetFocused() { return g_focused; }
void TextEntry_SetFocused(TextEntryField* field) { g_focused = field; }

int TextEntry_HandleKey(TextEntryField* field, uint32_t message, WParam wParam, LParam lParam) {
    if (!field || !field->onKey) return 0;
    int answer = field->onKey(field, message, wParam, lParam);
    if (answer == 2 && g_focused == field) g_focused = nullptr;
    return answer;
}

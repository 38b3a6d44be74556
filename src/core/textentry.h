// In-game text-entry fields: one-line fields drawn over the 3-D view in the bitmap font (chat
// lines and similar prompts), each with an optional fixed prefix in front of the editable
// text. All fields are kept in one list; the window procedure offers keyboard messages to the
// focused field first and the render frame draws them all after the scene.
#pragma once
#include <cstdint>

#include "platform/window.h"

constexpr int kTextFieldBufferSize = 80;
constexpr int kTextFieldMaxLength = kTextFieldBufferSize - 1;  // characters; the terminator follows

constexpr uint32_t kTextFieldEnabled = 0x1;
constexpr uint32_t kTextFieldFocused = 0x100;
constexpr uint32_t kTextFieldChanged = 0x200;

struct TextField;
// Enter gives the text after the prefix, Esc gives null. The field may be destroyed inside.
using TextFieldEnterFn = void (*)(TextField* field, const char* text);
// 1 for Up, 0 for Down.
using TextFieldUpDownFn = void (*)(TextField* field, int up);

struct TextFieldDesc {
    int x = 0, y = 0, width = 0;  // in a 640 x 480 virtual screen
    uint32_t flags = 0;
    uint8_t red = 0, green = 0, blue = 0;
    TextFieldEnterFn onEnter = nullptr;
    TextFieldUpDownFn onUpDown = nullptr;
};

struct TextField {
    TextField* prev = nullptr;
    TextField* next = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    char text[kTextFieldBufferSize] = {};
    int length = 0;       // characters in the buffer, prefix included
    int prefixLength = 0;
    int caret = 0;        // index into the buffer, never inside the prefix
    int firstShown = 0;   // horizontal scrolling: the first character drawn
    uint8_t red = 0, green = 0, blue = 0;
    int colour = 0;       // the palette colour nearest to the components
    uint32_t flags = 0;
    TextFieldEnterFn onEnter = nullptr;
    TextFieldUpDownFn onUpDown = nullptr;
};

// A new field at the head of the list (flag 0x200 added, height from the current font).
TextField* TextField_Create(const TextFieldDesc& desc);
void TextField_Destroy(TextField* field);
void TextField_DestroyAll();
// Forgets the list without freeing (mission set-up over a list the last pass left behind).
void TextField_ClearList();
TextField* TextField_Head();
bool TextField_IsListed(const TextField* field);
void TextField_SetEnabled(TextField* field, bool on);
// Giving the focus takes it from every other field; either way every waiting WM_KEYDOWN and then
// every waiting WM_CHAR message is dropped.
void TextField_SetFocus(TextField* field, bool on);
TextField* TextField_GetFocused();
// Replaces the prefix (the editable text moves, cut to fit); caret and scroll to the start.
void TextField_SetPrefix(TextField* field, const char* text);
// Replaces the text after the prefix (cut to fit); caret at the end.
void TextField_SetText(TextField* field, const char* text);
// 0 not handled, 1 handled, 2 done (Enter or Esc): the caller takes the focus away.
int TextField_OnKey(TextField* field, uint32_t message, WParam key);
// The window procedure's entry: the field takes the key and loses the focus when it answers 2
// (unless its callback destroyed it).
int TextField_HandleKey(TextField* field, uint32_t message, WParam key);
// Draws every enabled field through the renderer: background in colour 0, the visible text in
// the field's colour, the caret as a line under the caret character.
void TextField_DrawAll();

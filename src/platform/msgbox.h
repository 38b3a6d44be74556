// Message boxes. The sdl backend shows real ones; the headless backend answers by a
// policy (OK by default) and records every box so tests can read what was shown.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageBoxRecord {
    WindowHandle owner = 0;
    std::string text;
    std::string caption;
    unsigned flags = 0;
    std::vector<std::string> buttons;  // custom buttons, empty for the standard kinds
    int answer = 0;
};

// Returns IDOK, IDCANCEL, IDYES or IDNO.
int Plat_MessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags);
// Custom buttons: returns the index of the chosen button, -1 when the box was dismissed.
int Plat_MessageBoxButtons(WindowHandle owner, const char* text, const char* caption,
                           const std::vector<std::string>& buttons);

// Headless answers: the policy gets the box and returns the answer.
using MessageBoxPolicy = std::function<int(const MessageBoxRecord&)>;
void Plat_SetMessageBoxPolicy(MessageBoxPolicy policy);  // empty: OK / Yes / first button
const std::vector<MessageBoxRecord>& Plat_MessageBoxLog();
void Plat_ClearMessageBoxLog();

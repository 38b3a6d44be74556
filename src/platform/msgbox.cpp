#include "platform/msgbox.h"

#include "platform/backend.h"

namespace {
MessageBoxPolicy g_policy;
std::vector<MessageBoxRecord>& Log() {
    static std::vector<MessageBoxRecord> log;
    return log;
}

int Ask(MessageBoxRecord box) {
    box.answer = Plat_Backend()->messageBox(box);
    Log().push_back(box);
    return box.answer;
}
}  // namespace

int Plat_DefaultMessageBoxAnswer(const MessageBoxRecord& box) {
    if (g_policy) return g_policy(box);
    if (!box.buttons.empty()) return 0;
    return (box.flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

int Plat_MessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
    MessageBoxRecord box;
    box.owner = owner;
    box.text = text ? text : "";
    box.caption = caption ? caption : "";
    box.flags = flags;
    return Ask(box);
}

int Plat_MessageBoxButtons(WindowHandle owner, const char* text, const char* caption,
                           const std::vector<std::string>& buttons) {
    MessageBoxRecord box;
    box.owner = owner;
    box.text = text ? text : "";
    box.caption = caption ? caption : "";
    box.buttons = buttons;
    return Ask(box);
}

void Plat_SetMessageBoxPolicy(MessageBoxPolicy policy) { g_policy = std::move(policy); }
const std::vector<MessageBoxRecord>& Plat_MessageBoxLog() { return Log(); }
void Plat_ClearMessageBoxLog() { Log().clear(); }

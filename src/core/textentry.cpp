#include "core/textentry.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/seams/render.h"

namespace {

constexpr int kVirtualWidth = 640;
constexpr int kVirtualHeight = 480;

TextField* g_head = nullptr;

int ClipWidth() {
    const PlatRect clip = Seam_Render().screenClip();
    return clip.right - clip.left + 1;
}
int ClipHeight() {
    const PlatRect clip = Seam_Render().screenClip();
    return clip.bottom - clip.top + 1;
}

int SpanWidth(const TextField* f, int from, int to) {
    if (to <= from) return 0;
    return Seam_Render().textWidth(std::string(f->text + from, static_cast<size_t>(to - from)).c_str());
}

// The width of the character at i, or of 'w' where the caret stands after the last one.
int CharWidth(const TextField* f, int i) {
    const char c[2] = {i < f->length ? f->text[i] : 'w', '\0'};
    return Seam_Render().textWidth(c);
}

int PixelWidth(const TextField* f) { return f->width * ClipWidth() / kVirtualWidth; }

bool CaretFits(const TextField* f, int first) {
    return SpanWidth(f, first, f->caret) + CharWidth(f, f->caret) <= PixelWidth(f);
}

// After a move to the right: drop characters at the left until the caret is visible.
void ScrollToCaret(TextField* f) {
    if (f->firstShown > f->caret) f->firstShown = f->caret;
    while (f->firstShown < f->caret && !CaretFits(f, f->firstShown)) ++f->firstShown;
}

// After a deletion: bring characters back at the left while they fit.
void ScrollBack(TextField* f) {
    ScrollToCaret(f);
    while (f->firstShown > 0 && CaretFits(f, f->firstShown - 1)) --f->firstShown;
}

void DeleteAt(TextField* f, int i) {
    std::memmove(f->text + i, f->text + i + 1, static_cast<size_t>(f->length - i - 1));
    --f->length;
    f->text[f->length] = '\0';
}

void UpdateColour(TextField* f) {
    f->colour = Seam_Render().paletteFindNearest(f->red / 256.0f, f->green / 256.0f, f->blue / 256.0f);
}

void Unlink(TextField* f) {
    if (f->prev) f->prev->next = f->next;
    if (f->next) f->next->prev = f->prev;
    if (g_head == f) g_head = f->next;
    f->prev = f->next = nullptr;
}

int OnKeyDown(TextField* f, int key) {
    switch (key) {
        case VK_BACK:
            if (f->caret > f->prefixLength) {
                DeleteAt(f, f->caret - 1);
                --f->caret;
                ScrollBack(f);
            }
            f->flags |= kTextFieldChanged;
            return 1;
        case VK_RETURN:
            f->flags |= kTextFieldChanged;
            if (f->onEnter) f->onEnter(f, f->text + f->prefixLength);
            return 2;
        case VK_ESCAPE:
            f->text[0] = '\0';
            f->length = f->prefixLength = f->caret = f->firstShown = 0;
            f->flags |= kTextFieldChanged;
            if (f->onEnter) f->onEnter(f, nullptr);
            return 2;
        case VK_END:
            f->caret = std::min(f->length, kTextFieldMaxLength);
            ScrollToCaret(f);
            return 1;
        case VK_HOME:
            f->caret = f->prefixLength;
            f->firstShown = 0;
            ScrollToCaret(f);
            return 1;
        case VK_LEFT:
            if (f->caret > f->prefixLength) --f->caret;
            if (f->firstShown > f->caret) f->firstShown = f->caret;
            return 1;
        case VK_RIGHT:
            if (f->caret < f->length) ++f->caret;
            ScrollToCaret(f);
            return 1;
        case VK_UP:
        case VK_DOWN:
            if (f->onUpDown) f->onUpDown(f, key == VK_UP ? 1 : 0);
            return 1;
        case VK_DELETE:
            if (f->caret < f->length) {
                DeleteAt(f, f->caret);
                ScrollBack(f);
                f->flags |= kTextFieldChanged;
            }
            return 1;
        default:
            return 0;
    }
}

}  // namespace

TextField* TextField_Create(const TextFieldDesc& desc) {
    auto* f = new TextField;
    f->x = desc.x;
    f->y = desc.y;
    f->width = desc.width;
    f->height = Seam_Render().fontHeight();
    f->flags = desc.flags | kTextFieldChanged;
    f->red = desc.red;
    f->green = desc.green;
    f->blue = desc.blue;
    UpdateColour(f);
    f->onEnter = desc.onEnter;
    f->onUpDown = desc.onUpDown;
    f->next = g_head;
    if (g_head) g_head->prev = f;
    g_head = f;
    return f;
}

void TextField_Destroy(TextField* field) {
    if (!TextField_IsListed(field)) return;
    Unlink(field);
    delete field;
}

void TextField_DestroyAll() {
    while (g_head) TextField_Destroy(g_head);
}

void TextField_ClearList() { g_head = nullptr; }

TextField* TextField_Head() { return g_head; }

bool TextField_IsListed(const TextField* field) {
    for (const TextField* f = g_head; f; f = f->next)
        if (f == field) return true;
    return false;
}

void TextField_SetEnabled(TextField* field, bool on) {
    if (!field) return;
    if (on)
        field->flags |= kTextFieldEnabled;
    else
        field->flags &= ~kTextFieldEnabled;
    UpdateColour(field);
}

void TextField_SetFocus(TextField* field, bool on) {
    if (!field) return;
    if (on)
        for (TextField* f = g_head; f; f = f->next) f->flags &= ~kTextFieldFocused;
    if (on)
        field->flags |= kTextFieldFocused;
    else
        field->flags &= ~kTextFieldFocused;
    Plat_RemoveMessages(WM_KEYDOWN);
    Plat_RemoveMessages(WM_CHAR);
}

TextField* TextField_GetFocused() {
    for (TextField* f = g_head; f; f = f->next)
        if (f->flags & kTextFieldFocused) return f;
    return nullptr;
}

void TextField_SetPrefix(TextField* field, const char* text) {
    if (!field) return;
    const std::string editable(field->text + field->prefixLength, field->text + field->length);
    const int prefix = std::min(static_cast<int>(text ? std::strlen(text) : 0), kTextFieldMaxLength);
    const int kept = std::min(static_cast<int>(editable.size()), kTextFieldMaxLength - prefix);
    if (prefix > 0) std::memcpy(field->text, text, static_cast<size_t>(prefix));
    if (kept > 0) std::memcpy(field->text + prefix, editable.data(), static_cast<size_t>(kept));
    field->prefixLength = prefix;
    field->length = prefix + kept;
    field->text[field->length] = '\0';
    field->caret = prefix;
    field->firstShown = 0;
    field->flags |= kTextFieldChanged;
}

void TextField_SetText(TextField* field, const char* text) {
    if (!field) return;
    const int room = kTextFieldMaxLength - field->prefixLength;
    const int n = std::min(static_cast<int>(text ? std::strlen(text) : 0), room);
    if (n > 0) std::memcpy(field->text + field->prefixLength, text, static_cast<size_t>(n));
    field->length = field->prefixLength + n;
    field->text[field->length] = '\0';
    field->caret = field->length;
    ScrollToCaret(field);
    field->flags |= kTextFieldChanged;
}

int TextField_OnKey(TextField* field, uint32_t message, WParam key) {
    if (!field || !(field->flags & kTextFieldFocused)) return 0;
    if (message == WM_CHAR) {
        if (key < 32 || key > 255) return 0;
        if (field->length >= kTextFieldMaxLength) return 1;
        std::memmove(field->text + field->caret + 1, field->text + field->caret,
                     static_cast<size_t>(field->length - field->caret));
        field->text[field->caret] = static_cast<char>(key);
        ++field->length;
        field->text[field->length] = '\0';
        ++field->caret;
        ScrollToCaret(field);
        field->flags |= kTextFieldChanged;
        return 1;
    }
    if (message == WM_KEYDOWN) return OnKeyDown(field, static_cast<int>(key));
    return 0;
}

int TextField_HandleKey(TextField* field, uint32_t message, WParam key) {
    const int answer = TextField_OnKey(field, message, key);
    if (answer == 2 && TextField_IsListed(field)) TextField_SetFocus(field, false);
    return answer;
}

void TextField_DrawAll() {
    RenderSeam& render = Seam_Render();
    const int clipWidth = ClipWidth();
    const int clipHeight = ClipHeight();
    for (TextField* f = g_head; f; f = f->next) {
        if (!(f->flags & kTextFieldEnabled)) continue;
        const int left = f->x * clipWidth / kVirtualWidth;
        const int top = f->y * clipHeight / kVirtualHeight;
        const int width = f->width * clipWidth / kVirtualWidth;
        const int height = f->height * clipHeight / kVirtualHeight;
        render.fillRect(left, top, left + width - 1, top + height - 1, 0);
        // The visible text: from the first shown character while it fits the field.
        int end = f->firstShown;
        while (end < f->length && SpanWidth(f, f->firstShown, end + 1) <= width) ++end;
        if (end > f->firstShown)
            render.drawText(left, top, std::string(f->text + f->firstShown, f->text + end).c_str(), f->colour);
        if (f->flags & kTextFieldFocused) {
            const int x = left + SpanWidth(f, f->firstShown, f->caret);
            const int w = CharWidth(f, f->caret);
            const int y = top + height - 1;
            render.fillRect(x, y, std::min(x + w, left + width) - 1, y, f->colour);
        }
        f->flags &= ~kTextFieldChanged;
    }
}

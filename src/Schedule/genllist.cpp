#include "Schedule/genllist.h"

#include <cstdlib>

#include "core/drdebug.h"

#define DR_SOURCE_NAME "Schedule/genllist"

namespace {

bool NullList(const GLL* gll) {
    DR_Assert(gll != nullptr, __LINE__, DR_SOURCE_NAME, "gll != NULL");
    return gll == nullptr;
}

void CheckInvariant(const GLL* gll) { DR_ASSERT(GLL_Invariant(gll)); }

// The cursor must stand on a node for Remove, Get and Replace.
bool OnNode(const GLL* gll) {
    DR_ASSERT(!GLL_Empty(gll));
    DR_ASSERT(!GLL_OffLeft(gll));
    DR_ASSERT(!GLL_OffRight(gll));
    return !GLL_Empty(gll) && !GLL_OffLeft(gll) && !GLL_OffRight(gll) && gll->current;
}

GLLNode* NewNode(void* data) {
    auto* node = static_cast<GLLNode*>(DR_RawCalloc(1, sizeof(GLLNode)));
    if (node) node->data = data;
    return node;
}

}  // namespace

bool GLL_Empty(const GLL* gll) { return gll->count == 0; }
bool GLL_OffLeft(const GLL* gll) { return gll->position == 0; }
bool GLL_OffRight(const GLL* gll) { return gll->position == gll->count + 1; }

bool GLL_Invariant(const GLL* gll) {
    if (!gll) return false;
    if (gll->position < 0 || gll->position > gll->count + 1) return false;
    if ((gll->position == 0 || gll->position == gll->count + 1) && gll->current) return false;
    if (gll->position == 1 && gll->count >= 1 && gll->current != gll->first) return false;
    if (gll->position == gll->count && gll->count >= 1 && gll->current != gll->last) return false;
    if (gll->position >= 1 && gll->position <= gll->count && !gll->current) return false;
    if (gll->count > 0 && (!gll->first || !gll->last)) return false;
    return true;
}

GLL* GLL_New() { return static_cast<GLL*>(DR_RawCalloc(1, sizeof(GLL))); }

void GLL_Free(GLL* gll, GLLRelease release) {
    if (!gll) return;
    GLLNode* node = gll->first;
    while (node) {
        GLLNode* next = node->next;
        switch (release.kind) {
            case GLLRelease::StandardFree: std::free(node->data); break;
            case GLLRelease::Call:
                if (release.fn) release.fn(node->data);
                break;
            case GLLRelease::Leave: break;
        }
        std::free(node);
        node = next;
    }
    std::free(gll);
}

int GLL_InsertAfter(GLL* gll, void* data) {
    if (NullList(gll)) return 1;
    CheckInvariant(gll);
    DR_Assert(!GLL_OffRight(gll) || GLL_Empty(gll), __LINE__, DR_SOURCE_NAME,
              "(GLL_OffRight(gll) != TRUE) || (GLL_Empty(gll))");
    if (GLL_OffRight(gll) && !GLL_Empty(gll)) return GLL_InsertBefore(gll, data);
    GLLNode* node = NewNode(data);
    if (!node) return 1;
    if (GLL_Empty(gll)) {
        gll->first = gll->last = node;
        // An empty list may have its cursor off either end; the new node is position 1.
        gll->position = 0;
    } else if (GLL_OffLeft(gll)) {
        node->next = gll->first;
        gll->first->prev = node;
        gll->first = node;
    } else {
        GLLNode* at = gll->current;
        node->prev = at;
        node->next = at->next;
        if (at->next) at->next->prev = node;
        else gll->last = node;
        at->next = node;
    }
    ++gll->count;
    ++gll->position;
    gll->current = node;
    CheckInvariant(gll);
    return 0;
}

int GLL_InsertBefore(GLL* gll, void* data) {
    if (NullList(gll)) return 1;
    CheckInvariant(gll);
    if (GLL_OffLeft(gll) && !GLL_Empty(gll)) return GLL_InsertAfter(gll, data);
    GLLNode* node = NewNode(data);
    if (!node) return 1;
    if (GLL_Empty(gll)) {
        gll->first = gll->last = node;
        gll->position = 1;
    } else if (GLL_OffRight(gll)) {
        node->prev = gll->last;
        gll->last->next = node;
        gll->last = node;
    } else {
        GLLNode* at = gll->current;
        node->next = at;
        node->prev = at->prev;
        if (at->prev) at->prev->next = node;
        else gll->first = node;
        at->prev = node;
    }
    ++gll->count;
    gll->current = node;
    CheckInvariant(gll);
    return 0;
}

void* GLL_Remove(GLL* gll) {
    if (NullList(gll)) return nullptr;
    CheckInvariant(gll);
    if (!OnNode(gll)) return nullptr;
    GLLNode* node = gll->current;
    void* data = node->data;
    if (node->prev) node->prev->next = node->next;
    else gll->first = node->next;
    if (node->next) node->next->prev = node->prev;
    else gll->last = node->prev;
    gll->current = node->next;  // off the right end when the last went
    --gll->count;
    std::free(node);
    CheckInvariant(gll);
    return data;
}

void* GLL_Get(GLL* gll) {
    if (NullList(gll)) return nullptr;
    CheckInvariant(gll);
    if (!OnNode(gll)) return nullptr;
    return gll->current->data;
}

void* GLL_Replace(GLL* gll, void* data) {
    if (NullList(gll)) return nullptr;
    CheckInvariant(gll);
    if (!OnNode(gll)) return nullptr;
    void* old = gll->current->data;
    gll->current->data = data;
    CheckInvariant(gll);
    return old;
}

void GLL_First(GLL* gll) {
    if (NullList(gll)) return;
    CheckInvariant(gll);
    if (GLL_Empty(gll)) return;
    gll->current = gll->first;
    gll->position = 1;
    CheckInvariant(gll);
}

void GLL_Last(GLL* gll) {
    if (NullList(gll)) return;
    CheckInvariant(gll);
    if (GLL_Empty(gll)) return;
    gll->current = gll->last;
    gll->position = gll->count;
    CheckInvariant(gll);
}

void GLL_Next(GLL* gll) {
    if (NullList(gll)) return;
    CheckInvariant(gll);
    if (GLL_OffRight(gll) || GLL_Empty(gll)) return;
    gll->current = GLL_OffLeft(gll) ? gll->first : gll->current->next;
    ++gll->position;
    CheckInvariant(gll);
}

void GLL_Prev(GLL* gll) {
    if (NullList(gll)) return;
    CheckInvariant(gll);
    if (GLL_OffLeft(gll)) return;
    gll->current = GLL_OffRight(gll) ? gll->last : gll->current->prev;
    --gll->position;
    CheckInvariant(gll);
}

void GLL_Seek(GLL* gll, int position) {
    if (NullList(gll)) return;
    CheckInvariant(gll);
    while (gll->position < position && !GLL_OffRight(gll) && !GLL_Empty(gll)) GLL_Next(gll);
    while (gll->position > position && !GLL_OffLeft(gll)) GLL_Prev(gll);
    CheckInvariant(gll);
}

int GLL_ForEach(GLL* gll, int (*fn)(void* data, int index)) {
    if (NullList(gll)) return 0;
    CheckInvariant(gll);
    int sum = 0;
    int index = 1;
    if (fn)
        for (GLLNode* node = gll->first; node; node = node->next) sum += fn(node->data, index++);
    CheckInvariant(gll);
    return sum;
}

int GLL_Search(GLL* gll, int (*fn)(void* data, void* value), void* value) {
    if (NullList(gll)) return 0;
    CheckInvariant(gll);
    int found = 0;
    int index = 1;
    if (fn) {
        for (GLLNode* node = gll->first; node; node = node->next, ++index) {
            const int answer = fn(node->data, value);
            if (answer < 0) continue;
            if (answer == 0) found = index;
            break;
        }
    }
    CheckInvariant(gll);
    return found;
}

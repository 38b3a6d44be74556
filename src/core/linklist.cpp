#include "core/linklist.h"

#include <cstdlib>

#include "core/drdebug.h"

#define DR_SOURCE_NAME "core/linklist"

namespace {

void ForgetCursor(Linklist* list) {
    list->cursorIndex = kLinklistNoCursor;
    list->cursorCell = nullptr;
}

// Unlinks and frees a cell of the list.
void Unlink(Linklist* list, LinklistCell* cell) {
    if (cell == list->head) {
        if (cell == list->tail) list->tail = nullptr;
        list->head = cell->next;
        if (list->head) list->head->prev = nullptr;
    } else if (cell == list->tail) {
        list->tail = cell->prev;
        if (list->tail) list->tail->next = nullptr;
    } else {
        if (cell->prev) cell->prev->next = cell->next;
        if (cell->next) cell->next->prev = cell->prev;
    }
    std::free(cell);
    --list->count;
}

}  // namespace

LinklistCell* Linklist_NewCell() {
    auto* new_cell = static_cast<LinklistCell*>(DR_RawCalloc(1, sizeof(LinklistCell)));
    DR_ASSERT(new_cell);
    return new_cell;
}

int Linklist_Init(Linklist* the_list) {
    DR_ASSERT(the_list);
    if (!the_list) return 0;
    the_list->count = 0;
    the_list->head = nullptr;
    the_list->tail = nullptr;
    ForgetCursor(the_list);
    return 0;
}

Linklist* Linklist_New() {
    auto* new_list = static_cast<Linklist*>(DR_RawCalloc(1, sizeof(Linklist)));
    DR_ASSERT(new_list);
    if (!new_list) return nullptr;
    Linklist_Init(new_list);
    return new_list;
}

void Linklist_Clear(Linklist* the_list) {
    DR_ASSERT(the_list);
    if (!the_list) return;
    LinklistCell* cell = the_list->head;
    for (int i = 0; i < the_list->count && cell; ++i) {
        LinklistCell* next = cell->next;
        std::free(cell);
        cell = next;
    }
    Linklist_Init(the_list);
}

void Linklist_Free(Linklist* the_list) {
    DR_ASSERT(the_list);
    if (!the_list) return;
    Linklist_Clear(the_list);
    std::free(the_list);
}

LinklistCell* Linklist_AddHead(Linklist* the_list, void* value) {
    DR_ASSERT(the_list);
    if (!the_list) return nullptr;
    LinklistCell* new_cell = Linklist_NewCell();
    if (!new_cell) return nullptr;
    new_cell->data = value;
    new_cell->next = the_list->head;
    if (the_list->head) the_list->head->prev = new_cell;
    else the_list->tail = new_cell;
    the_list->head = new_cell;
    ++the_list->count;
    the_list->cursorIndex = kLinklistNoCursor;
    return new_cell;
}

LinklistCell* Linklist_AddTail(Linklist* the_list, void* value) {
    DR_ASSERT(the_list);
    if (!the_list) return nullptr;
    LinklistCell* new_cell = Linklist_NewCell();
    if (!new_cell) return nullptr;
    new_cell->data = value;
    new_cell->prev = the_list->tail;
    if (the_list->tail) the_list->tail->next = new_cell;
    else the_list->head = new_cell;
    the_list->tail = new_cell;
    ++the_list->count;
    the_list->cursorIndex = kLinklistNoCursor;
    return new_cell;
}

void Linklist_RemoveCell(Linklist* the_list, LinklistCell* the_cell) {
    DR_ASSERT(the_list);
    if (!the_list) return;
    DR_ASSERT(the_cell);
    if (!the_cell) return;
    Unlink(the_list, the_cell);
    ForgetCursor(the_list);
}

int Linklist_Remove(Linklist* the_list, void* value) {
    DR_ASSERT(the_list);
    if (!the_list) return 0;
    ForgetCursor(the_list);
    for (LinklistCell* cell = the_list->head; cell; cell = cell->next) {
        if (cell->data == value) {
            Unlink(the_list, cell);
            return 1;
        }
    }
    return 0;
}

int Linklist_RemoveAll(Linklist* the_list, void* value) {
    DR_ASSERT(the_list);
    if (!the_list) return 0;
    ForgetCursor(the_list);
    int removed = 0;
    LinklistCell* cell = the_list->head;
    while (cell) {
        LinklistCell* next = cell->next;
        if (cell->data == value) {
            Unlink(the_list, cell);
            ++removed;
        }
        cell = next;
    }
    return removed;
}

void* Linklist_Get(Linklist* the_list, int index) {
    DR_ASSERT(the_list);
    if (!the_list) return nullptr;
    if (index < 0 || index >= the_list->count) return nullptr;
    LinklistCell* current_cell = nullptr;
    if (the_list->cursorIndex != kLinklistNoCursor && the_list->cursorCell && index == the_list->cursorIndex - 1) {
        current_cell = the_list->cursorCell->prev;
    } else if (the_list->cursorIndex != kLinklistNoCursor && the_list->cursorCell &&
               index == the_list->cursorIndex + 1) {
        current_cell = the_list->cursorCell->next;
    } else {
        // Every cell of the walk is tested: a chain shorter than the count ends the read here.
        current_cell = the_list->head;
        DR_ASSERT(current_cell);
        if (!current_cell) return nullptr;
        for (int i = 0; i < index; ++i) {
            current_cell = current_cell->next;
            DR_ASSERT(current_cell);
            if (!current_cell) return nullptr;
        }
    }
    DR_ASSERT(current_cell);
    if (!current_cell) return nullptr;
    the_list->cursorIndex = index;
    the_list->cursorCell = current_cell;
    return current_cell->data;
}

LinklistCell* Linklist_GetCell(Linklist* the_list, int index) {
    DR_ASSERT(the_list);
    if (!the_list) return nullptr;
    if (index < 0 || index >= the_list->count) return nullptr;
    const bool cursor = the_list->cursorIndex != kLinklistNoCursor && the_list->cursorCell;
    LinklistCell* cell = nullptr;
    if (cursor && index == the_list->cursorIndex) {
        cell = the_list->cursorCell;
    } else if (cursor && index == the_list->cursorIndex - 1) {
        cell = the_list->cursorCell->prev;
    } else if (cursor && index == the_list->cursorIndex + 1) {
        cell = the_list->cursorCell->next;
    } else {
        cell = the_list->head;
        for (int i = 0; i < index && cell; ++i) cell = cell->next;
    }
    if (!cell) return nullptr;
    the_list->cursorIndex = index;
    the_list->cursorCell = cell;
    return cell;
}

int Linklist_Contains(Linklist* the_list, void* value) {
    DR_ASSERT(the_list);
    if (!the_list) return 0;
    LinklistCell* cell = the_list->head;
    for (int i = 0; i < the_list->count && cell; ++i, cell = cell->next)
        if (cell->data == value) return 1;
    return 0;
}

int Linklist_IndexOf(const Linklist* the_list, void* value) {
    if (!the_list) return -1;
    int index = 0;
    for (const LinklistCell* cell = the_list->head; cell; cell = cell->next, ++index)
        if (cell->data == value) return index;
    return -1;
}

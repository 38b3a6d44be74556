// The planner's indexed list: a doubly linked list of opaque pointer-sized values, read by
// position. A cursor remembers the last cell read, so reading 0, 1, 2... (or back down) costs one
// link per step; any change of membership resets it (index -999). Values are compared by
// identity and never dereferenced or freed by the list.
//
// Every operation but Linklist_IndexOf reports a null list ("the_list") through DR_Assert and
// returns at once: null, 0 or nothing.
#pragma once

struct LinklistCell {
    void* data = nullptr;
    LinklistCell* next = nullptr;  // toward the tail
    LinklistCell* prev = nullptr;  // toward the head
};

constexpr int kLinklistNoCursor = -999;

struct Linklist {
    int cursorIndex = kLinklistNoCursor;
    LinklistCell* cursorCell = nullptr;
    int count = 0;
    LinklistCell* head = nullptr;
    LinklistCell* tail = nullptr;
};

LinklistCell* Linklist_NewCell();  // zeroed; null (reported "new_cell") when out of memory
int Linklist_Init(Linklist* the_list);
Linklist* Linklist_New();  // null (reported "new_list") when out of memory
void Linklist_Clear(Linklist* the_list);
void Linklist_Free(Linklist* the_list);
// Both answer the new cell, or null when no cell could be made (the list is unchanged).
LinklistCell* Linklist_AddHead(Linklist* the_list, void* value);
LinklistCell* Linklist_AddTail(Linklist* the_list, void* value);
void Linklist_RemoveCell(Linklist* the_list, LinklistCell* the_cell);
int Linklist_Remove(Linklist* the_list, void* value);     // 1 when the cell nearest the head went
int Linklist_RemoveAll(Linklist* the_list, void* value);  // how many went
void* Linklist_Get(Linklist* the_list, int index);        // null when out of range
LinklistCell* Linklist_GetCell(Linklist* the_list, int index);
int Linklist_Contains(Linklist* the_list, void* value);
int Linklist_IndexOf(const Linklist* the_list, void* value);  // -1 when absent

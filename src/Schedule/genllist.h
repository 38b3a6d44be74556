// The planner's second list: a doubly linked list of opaque values with one cursor counted from
// 1 (0 is off the left end, count + 1 off the right end). Every operation checks GLL_Invariant
// on entry and exit through DR_Assert; a null list is reported ("gll != NULL") and the operation
// answers none at once.
#pragma once

struct GLLNode {
    GLLNode* next = nullptr;
    GLLNode* prev = nullptr;
    void* data = nullptr;
};

struct GLL {
    GLLNode* first = nullptr;
    GLLNode* current = nullptr;
    GLLNode* last = nullptr;
    int count = 0;
    int position = 0;
};

// What GLL_Free does with each node's data.
struct GLLRelease {
    enum Kind { Leave, StandardFree, Call };
    Kind kind = Leave;
    void (*fn)(void* data) = nullptr;

    static GLLRelease LeaveData() { return {Leave, nullptr}; }
    static GLLRelease FreeData() { return {StandardFree, nullptr}; }  // std::free
    static GLLRelease CallOnData(void (*f)(void*)) { return {Call, f}; }
};

bool GLL_Empty(const GLL* gll);
bool GLL_OffLeft(const GLL* gll);
bool GLL_OffRight(const GLL* gll);
bool GLL_Invariant(const GLL* gll);

GLL* GLL_New();  // null when out of memory
void GLL_Free(GLL* gll, GLLRelease release);
// 0, or 1 when no node could be made (the list is unchanged).
int GLL_InsertAfter(GLL* gll, void* data);
int GLL_InsertBefore(GLL* gll, void* data);
void* GLL_Remove(GLL* gll);
void* GLL_Get(GLL* gll);
void* GLL_Replace(GLL* gll, void* data);
void GLL_First(GLL* gll);
void GLL_Last(GLL* gll);
void GLL_Next(GLL* gll);
void GLL_Prev(GLL* gll);
void GLL_Seek(GLL* gll, int position);
// Sum of fn's answers over every data from the first (index from 1).
int GLL_ForEach(GLL* gll, int (*fn)(void* data, int index));
// 1-based index of the first node where fn answered 0 while it answered below 0 before; 0 when it
// answered above 0 or the list ended.
int GLL_Search(GLL* gll, int (*fn)(void* data, void* value), void* value);

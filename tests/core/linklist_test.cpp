#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/drdebug.h"
#include "core/linklist.h"
#include "support/trace_capture.h"

namespace {

// Distinct values the list only compares.
void* V(int n) { return reinterpret_cast<void*>(static_cast<uintptr_t>(0x1000 + n)); }

std::vector<void*> Contents(const Linklist& list) {
    std::vector<void*> out;
    for (const LinklistCell* c = list.head; c; c = c->next) out.push_back(c->data);
    return out;
}

// Head, tail, count and both directions of links agree.
void ExpectConsistent(const Linklist& list) {
    int n = 0;
    const LinklistCell* prev = nullptr;
    for (const LinklistCell* c = list.head; c; c = c->next, ++n) {
        EXPECT_EQ(c->prev, prev);
        prev = c;
    }
    EXPECT_EQ(n, list.count);
    EXPECT_EQ(list.tail, prev);
}

struct ListCase {
    const char* name;
    std::vector<int> start;  // values added at the tail first
    std::function<void(Linklist&)> check;
};

TEST(LinklistTest, CasesOfReadingAddingAndRemoving) {
    const ListCase cases[] = {
        {"empty list", {},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_Get(&l, 0), nullptr);
             EXPECT_EQ(l.cursorIndex, kLinklistNoCursor);
             EXPECT_EQ(Linklist_Remove(&l, V(1)), 0);
             EXPECT_EQ(Linklist_GetCell(&l, 0), nullptr);
         }},
        {"reading 0, 1, 2 then 1 steps back through the cursor", {10, 11, 12, 13},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_Get(&l, 0), V(10));
             EXPECT_EQ(Linklist_Get(&l, 1), V(11));
             EXPECT_EQ(Linklist_Get(&l, 2), V(12));
             // With the head hidden a walk would find nothing: the right value proves the step
             // went back one link from the cursor.
             LinklistCell* head = l.head;
             l.head = nullptr;
             EXPECT_EQ(Linklist_Get(&l, 1), V(11));
             EXPECT_EQ(Linklist_Get(&l, 2), V(12));
             l.head = head;
             EXPECT_EQ(l.cursorIndex, 2);
             EXPECT_EQ(Linklist_Get(&l, 4), nullptr);  // out of range leaves the cursor
             EXPECT_EQ(l.cursorIndex, 2);
         }},
        {"an add during a read resets the cursor and an add at the head shifts the indices", {20, 21, 22},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_Get(&l, 0), V(20));
             EXPECT_EQ(Linklist_Get(&l, 1), V(21));
             ASSERT_NE(Linklist_AddHead(&l, V(19)), nullptr);
             EXPECT_EQ(l.cursorIndex, kLinklistNoCursor);
             EXPECT_EQ(Linklist_Get(&l, 2), V(21));
             ASSERT_NE(Linklist_AddTail(&l, V(23)), nullptr);
             EXPECT_EQ(l.cursorIndex, kLinklistNoCursor);
             EXPECT_EQ(Linklist_Get(&l, 0), V(19));
             EXPECT_EQ(Linklist_Get(&l, 4), V(23));
         }},
        {"removing the only cell empties the list", {30},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_Get(&l, 0), V(30));
             EXPECT_EQ(Linklist_Remove(&l, V(30)), 1);
             EXPECT_EQ(l.head, nullptr);
             EXPECT_EQ(l.tail, nullptr);
             EXPECT_EQ(l.count, 0);
             EXPECT_EQ(l.cursorIndex, kLinklistNoCursor);
             EXPECT_EQ(l.cursorCell, nullptr);
         }},
        {"a value stored twice", {1, 2, 1, 3},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_Remove(&l, V(1)), 1);
             EXPECT_EQ(Contents(l), (std::vector<void*>{V(2), V(1), V(3)}));
             EXPECT_EQ(Linklist_AddTail(&l, V(1)) != nullptr, true);
             EXPECT_EQ(Linklist_RemoveAll(&l, V(1)), 2);
             EXPECT_EQ(Contents(l), (std::vector<void*>{V(2), V(3)}));
         }},
        {"removing the head, the tail and a middle cell", {1, 2, 3, 4, 5},
         [](Linklist& l) {
             Linklist_RemoveCell(&l, l.head);
             Linklist_RemoveCell(&l, l.tail);
             Linklist_RemoveCell(&l, l.head->next);
             EXPECT_EQ(Contents(l), (std::vector<void*>{V(2), V(4)}));
         }},
        {"positions of values", {5, 6, 7},
         [](Linklist& l) {
             EXPECT_EQ(Linklist_IndexOf(&l, V(7)), 2);
             EXPECT_EQ(Linklist_IndexOf(&l, V(8)), -1);
             EXPECT_EQ(Linklist_Contains(&l, V(6)), 1);
             EXPECT_EQ(Linklist_Contains(&l, V(8)), 0);
             EXPECT_EQ(Linklist_GetCell(&l, 1)->data, V(6));
             EXPECT_EQ(Linklist_GetCell(&l, 1)->data, V(6));  // the cursor cell itself
         }},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.name);
        TraceCapture trace;
        Linklist* list = Linklist_New();
        ASSERT_NE(list, nullptr);
        for (int v : c.start) ASSERT_NE(Linklist_AddTail(list, V(v)), nullptr);
        c.check(*list);
        ExpectConsistent(*list);
        EXPECT_EQ(trace.Count("ASSERTION FAILED"), 0);
        Linklist_Free(list);
    }
}

TEST(LinklistTest, ANullListIsReportedAndNothingIsTouched) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    const std::function<void()> operations[] = {
        [] { EXPECT_EQ(Linklist_Init(nullptr), 0); },
        [] { Linklist_Clear(nullptr); },
        [] { Linklist_Free(nullptr); },
        [] { EXPECT_EQ(Linklist_AddHead(nullptr, V(1)), nullptr); },
        [] { EXPECT_EQ(Linklist_AddTail(nullptr, V(1)), nullptr); },
        [] { Linklist_RemoveCell(nullptr, nullptr); },
        [] { EXPECT_EQ(Linklist_Remove(nullptr, V(1)), 0); },
        [] { EXPECT_EQ(Linklist_RemoveAll(nullptr, V(1)), 0); },
        [] { EXPECT_EQ(Linklist_Get(nullptr, 0), nullptr); },
        [] { EXPECT_EQ(Linklist_GetCell(nullptr, 0), nullptr); },
        [] { EXPECT_EQ(Linklist_Contains(nullptr, V(1)), 0); },
    };
    for (const auto& op : operations) {
        trace.Clear();
        op();
        EXPECT_EQ(trace.Count("ASSERT (the_list);"), 1);
    }
    EXPECT_EQ(Linklist_IndexOf(nullptr, V(1)), -1);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("ASSERT (the_list);"), std::string::npos);
}

TEST(LinklistTest, AChainShorterThanItsCountIsReportedInsteadOfFollowed) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    Linklist list;
    Linklist_Init(&list);
    Linklist_AddTail(&list, V(1));
    Linklist_AddTail(&list, V(2));
    list.count = 4;  // a damaged count
    EXPECT_EQ(Linklist_Get(&list, 3), nullptr);
    EXPECT_EQ(trace.Count("ASSERT (current_cell);"), 1);
    EXPECT_EQ(list.cursorIndex, kLinklistNoCursor);
    Linklist_Clear(&list);  // frees the two cells there are
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(list.count, 0);
}

TEST(LinklistTest, AFailedCellIsReportedAndTheListStaysAsItWas) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    Linklist list;
    Linklist_Init(&list);
    Linklist_AddTail(&list, V(1));
    Linklist_Get(&list, 0);
    DR_FailAllocations(2);
    EXPECT_EQ(Linklist_AddTail(&list, V(2)), nullptr);
    EXPECT_EQ(Linklist_AddHead(&list, V(3)), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.Count("ASSERT (new_cell);"), 2);
    EXPECT_EQ(Contents(list), (std::vector<void*>{V(1)}));
    EXPECT_EQ(list.cursorIndex, 0);

    DR_FailAllocations(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Linklist_New(), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.Count("ASSERT (new_list);"), 1);
    Linklist_Clear(&list);
}

}  // namespace

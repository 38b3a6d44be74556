#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "Schedule/genllist.h"
#include "core/drdebug.h"
#include "support/trace_capture.h"

namespace {

void* V(int n) { return reinterpret_cast<void*>(static_cast<uintptr_t>(0x2000 + n)); }

std::vector<void*> Contents(const GLL* gll) {
    std::vector<void*> out;
    for (const GLLNode* n = gll->first; n; n = n->next) out.push_back(n->data);
    return out;
}

TEST(GenericListTest, InsertingIntoAnEmptyListStandsOnTheOneNode) {
    TraceCapture trace;
    GLL* gll = GLL_New();
    ASSERT_NE(gll, nullptr);
    EXPECT_EQ(GLL_InsertAfter(gll, V(1)), 0);
    EXPECT_EQ(gll->count, 1);
    EXPECT_EQ(gll->position, 1);
    EXPECT_EQ(gll->first, gll->last);
    EXPECT_EQ(gll->current, gll->first);
    EXPECT_EQ(GLL_Get(gll), V(1));
    EXPECT_EQ(trace.Count("ASSERTION FAILED"), 0);
    GLL_Free(gll, GLLRelease::LeaveData());
}

TEST(GenericListTest, RemovingTheLastNodeLeavesTheCursorOffTheRightEnd) {
    GLL* gll = GLL_New();
    for (int i = 1; i <= 3; ++i) GLL_InsertAfter(gll, V(i));
    GLL_Last(gll);
    EXPECT_EQ(GLL_Remove(gll), V(3));
    EXPECT_EQ(gll->count, 2);
    EXPECT_EQ(gll->position, 3);
    EXPECT_TRUE(GLL_OffRight(gll));
    EXPECT_TRUE(GLL_Invariant(gll));
    // A middle node: the cursor moves to the following node at the same position.
    GLL_First(gll);
    EXPECT_EQ(GLL_Remove(gll), V(1));
    EXPECT_EQ(gll->position, 1);
    EXPECT_EQ(GLL_Get(gll), V(2));
    GLL_Free(gll, GLLRelease::LeaveData());
}

TEST(GenericListTest, AnInsertAfterTheOnlyNodeWentStartsAgainAtPositionOne) {
    TraceCapture trace;
    GLL* gll = GLL_New();
    GLL_InsertAfter(gll, V(1));
    GLL_Remove(gll);  // empty, cursor off the right end (position 1)
    EXPECT_EQ(gll->position, 1);
    EXPECT_EQ(GLL_InsertAfter(gll, V(2)), 0);
    EXPECT_EQ(gll->position, 1);
    EXPECT_TRUE(GLL_Invariant(gll));
    EXPECT_EQ(trace.Count("ASSERTION FAILED"), 0);
    GLL_Free(gll, GLLRelease::LeaveData());
}

int g_calls = 0;
int AnswerOne(void*, void*) {
    ++g_calls;
    return 1;
}
int FindTarget(void* data, void* value) {
    ++g_calls;
    return data == value ? 0 : -1;
}

TEST(GenericListTest, SearchStopsAtTheFirstAnswerThatIsNotBelowZero) {
    GLL* gll = GLL_New();
    for (int i = 1; i <= 4; ++i) GLL_InsertAfter(gll, V(i));
    g_calls = 0;
    EXPECT_EQ(GLL_Search(gll, AnswerOne, V(3)), 0);
    EXPECT_EQ(g_calls, 1);
    g_calls = 0;
    EXPECT_EQ(GLL_Search(gll, FindTarget, V(3)), 3);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(GLL_Search(gll, FindTarget, V(9)), 0);
    EXPECT_EQ(GLL_ForEach(gll, [](void*, int index) { return index; }), 1 + 2 + 3 + 4);
    GLL_Free(gll, GLLRelease::LeaveData());
}

// A plain model of the list: the values and the cursor position.
struct Model {
    std::vector<void*> values;
    int position = 0;
};

TEST(GenericListTest, TheInvariantHoldsThroughASeededRunOfEveryOperation) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    std::mt19937 random(20261211);
    GLL* gll = GLL_New();
    Model m;
    int next = 0;
    for (int step = 0; step < 4000; ++step) {
        const int count = static_cast<int>(m.values.size());
        const bool onNode = m.position >= 1 && m.position <= count;
        switch (random() % 9) {
            case 0: {  // insert after
                void* v = V(++next);
                GLL_InsertAfter(gll, v);
                if (count == 0) {
                    m.values.push_back(v);
                    m.position = 1;
                } else if (m.position == count + 1) {
                    m.values.push_back(v);
                    m.position = count + 1;
                } else {
                    m.values.insert(m.values.begin() + m.position, v);
                    m.position += 1;
                }
                break;
            }
            case 1: {  // insert before
                void* v = V(++next);
                GLL_InsertBefore(gll, v);
                if (count == 0) {
                    m.values.push_back(v);
                    m.position = 1;
                } else if (m.position == 0) {
                    m.values.insert(m.values.begin(), v);
                    m.position = 1;
                } else {
                    m.values.insert(m.values.begin() + (m.position - 1), v);
                }
                break;
            }
            case 2:
                if (onNode) {
                    EXPECT_EQ(GLL_Remove(gll), m.values[static_cast<size_t>(m.position - 1)]);
                    m.values.erase(m.values.begin() + (m.position - 1));
                }
                break;
            case 3: GLL_Next(gll);
                if (count > 0 && m.position <= count) ++m.position;
                break;
            case 4: GLL_Prev(gll);
                if (m.position > 0) --m.position;
                break;
            case 5: GLL_First(gll);
                if (count > 0) m.position = 1;
                break;
            case 6: GLL_Last(gll);
                if (count > 0) m.position = count;
                break;
            case 7: {
                const int target = static_cast<int>(random() % static_cast<unsigned>(count + 2));
                GLL_Seek(gll, target);
                if (count > 0 || target < m.position) m.position = target;  // an empty list has no node to step onto
                break;
            }
            case 8:
                if (onNode) {
                    void* v = V(++next);
                    EXPECT_EQ(GLL_Replace(gll, v), m.values[static_cast<size_t>(m.position - 1)]);
                    m.values[static_cast<size_t>(m.position - 1)] = v;
                }
                break;
        }
        ASSERT_TRUE(GLL_Invariant(gll)) << "step " << step;
        ASSERT_EQ(gll->position, m.position) << "step " << step;
        ASSERT_EQ(Contents(gll), m.values) << "step " << step;
    }
    testing::internal::GetCapturedStdout();
    // An insert after off the right end is reported by design; nothing else is.
    EXPECT_EQ(trace.Count("ASSERTION FAILED"), trace.Count("(GLL_OffRight(gll) != TRUE)"));
    EXPECT_EQ(trace.Count("GLL_Invariant"), 0);
    GLL_Free(gll, GLLRelease::LeaveData());
}

int g_released = 0;

TEST(GenericListTest, FreeingReleasesTheDataAsAsked) {
    GLL* called = GLL_New();
    for (int i = 0; i < 3; ++i) GLL_InsertAfter(called, V(i));
    g_released = 0;
    GLL_Free(called, GLLRelease::CallOnData([](void*) { ++g_released; }));
    EXPECT_EQ(g_released, 3);

    GLL* owned = GLL_New();  // the sanitizers see a leak if these blocks stay
    for (int i = 0; i < 3; ++i) GLL_InsertAfter(owned, std::malloc(8));
    GLL_Free(owned, GLLRelease::FreeData());
    GLL_Free(nullptr, GLLRelease::FreeData());
}

TEST(GenericListTest, MisuseIsReportedAndChangesNothing) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    EXPECT_EQ(GLL_InsertAfter(nullptr, V(1)), 1);
    EXPECT_EQ(GLL_Get(nullptr), nullptr);
    GLL_Next(nullptr);
    EXPECT_EQ(trace.Count("ASSERT (gll != NULL);"), 3);

    GLL* gll = GLL_New();
    trace.Clear();
    EXPECT_EQ(GLL_Remove(gll), nullptr);
    EXPECT_EQ(trace.Count("ASSERT (!GLL_Empty(gll));"), 1);
    GLL_InsertAfter(gll, V(1));
    GLL_Next(gll);  // off the right end
    trace.Clear();
    EXPECT_EQ(GLL_Get(gll), nullptr);
    EXPECT_EQ(trace.Count("ASSERT (!GLL_OffRight(gll));"), 1);
    GLL_InsertAfter(gll, V(2));  // reported, then handed to the insert before
    EXPECT_EQ(trace.Count("ASSERT ((GLL_OffRight(gll) != TRUE) || (GLL_Empty(gll)));"), 1);
    EXPECT_EQ(Contents(gll), (std::vector<void*>{V(1), V(2)}));
    EXPECT_EQ(gll->position, 2);

    DR_FailAllocations(1);
    EXPECT_EQ(GLL_InsertBefore(gll, V(3)), 1);
    EXPECT_EQ(gll->count, 2);

    gll->position = 7;  // damaged
    trace.Clear();
    GLL_Prev(gll);
    testing::internal::GetCapturedStdout();
    EXPECT_GE(trace.Count("ASSERT (GLL_Invariant(gll));"), 1);
    gll->position = 1;
    gll->current = gll->first;
    GLL_Free(gll, GLLRelease::LeaveData());
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/drdebug.h"
#include "support/trace_capture.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(DrAssertTest, ReportsOnlyAZeroValueOnceOnEachOutputWithTheSameText) {
    TraceCapture trace;
    CaptureStdout();
    EXPECT_EQ(DR_Assert(7, 12, "core/linklist", "the_list"), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(trace.Lines().empty());

    CaptureStdout();
    EXPECT_EQ(DR_Assert(0, 42, "Schedule/prereq", "PREREQ_IsValid(id)"), 0);
    const std::string printed = GetCapturedStdout();
    const std::string expected = "ASSERTION FAILED\n\nSchedule/prereq(42): ASSERT (PREREQ_IsValid(id));\n";
    EXPECT_EQ(printed, expected);
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0], expected);
}

TEST(DrAssertTest, DebugPrintCutsALongMessageTo255Characters) {
    TraceCapture trace;
    const std::string text(300, 'x');
    DR_DebugPrint(kDrLevelError, "%s", text.c_str());
    DR_DebugPrint(kDrLevelTrace, "short %d", 5);  // the level changes nothing
    ASSERT_EQ(trace.Lines().size(), 2u);
    EXPECT_EQ(trace.Lines()[0], std::string(255, 'x'));
    EXPECT_EQ(trace.Lines()[1], "short 5");
}

TEST(DrAllocationLogTest, CountsBlocksAndWritesOneTraceLinePerCall) {
    TraceCapture trace;
    void* a = DR_Malloc(16, "plan.cpp", 10);
    void* b = DR_Calloc(4, 8, "plan.cpp", 11);
    char* c = DR_Strdup("tank", "plan.cpp", 12);
    ASSERT_TRUE(a && b && c);
    EXPECT_STREQ(c, "tank");
    EXPECT_EQ(static_cast<const char*>(b)[31], 0);
    EXPECT_EQ(DR_Outstanding(), 3);
    EXPECT_EQ(DR_Sequence(), 3);
    EXPECT_EQ(trace.Count("ALLOC Address [0x"), 3);
    EXPECT_EQ(trace.Count("] [000002] size [0x000020] in [plan.cpp] @ line [11]\n"), 1);

    DR_Free(&a, "plan.cpp", 20);
    DR_Free(&b, "plan.cpp", 21);
    void* cv = c;
    DR_Free(&cv, "plan.cpp", 22);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(cv, nullptr);
    EXPECT_EQ(DR_Outstanding(), 0);
    EXPECT_EQ(DR_Sequence(), 6);
    EXPECT_EQ(trace.Count("FREE  Address [0x"), 3);
}

TEST(DrAllocationLogTest, FreeingANullBlockWritesItsLineAndChangesNoCount) {
    TraceCapture trace;
    void* kept = DR_Malloc(8, "a.cpp", 1);
    const int outstanding = DR_Outstanding();
    const int sequence = DR_Sequence();

    void* none = nullptr;
    DR_Free(&none, "a.cpp", 30);
    EXPECT_EQ(DR_Outstanding(), outstanding);
    EXPECT_EQ(DR_Sequence(), sequence + 1);
    EXPECT_EQ(trace.Count("FREE  Address [0x00000000] [000002]                 in [a.cpp] @ line [30]\n"), 1);

    // No pointer at all: the error line, and not even the sequence moves.
    DR_Free(nullptr, "a.cpp", 31);
    EXPECT_EQ(DR_Sequence(), sequence + 1);
    EXPECT_EQ(trace.Count("FREE  NULL??? [0x00000000] [000002] in [a.cpp] @ line [31]\n"), 1);
    DR_Free(&kept, "a.cpp", 32);
}

TEST(DrAllocationLogTest, AFailedAllocationIsReportedAndHandsBackNull) {
    TraceCapture trace;
    DR_FailAllocations(2);
    EXPECT_EQ(DR_Malloc(64, "m.cpp", 5), nullptr);
    EXPECT_EQ(DR_Calloc(3, 7, "m.cpp", 6), nullptr);
    EXPECT_EQ(DR_Outstanding(), 0);
    EXPECT_EQ(DR_Sequence(), 2);
    EXPECT_EQ(trace.Count("Debug error: Could not malloc 64 bytes in source file m.cpp, line 5 : "), 1);
    EXPECT_EQ(trace.Count("Debug error: Could not calloc 3 items of size 7 bytes in source file m.cpp, line 6 : "), 1);
    // The heap check has nothing to say here.
    EXPECT_EQ(trace.Count("Heap"), 0);
    EXPECT_EQ(DR_HeapCheck(), kDrHeapOk);
}

TEST(DrAllocationLogTest, AFailedReallocLeavesTheOldBlockWithTheCaller) {
    TraceCapture trace;
    auto* block = static_cast<char*>(DR_Malloc(4, "r.cpp", 1));
    ASSERT_NE(block, nullptr);
    block[0] = 'k';
    DR_FailAllocations(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(DR_Realloc(block, 1 << 20, "r.cpp", 2), nullptr);
    EXPECT_NE(GetCapturedStdout().find("ASSERT (new_buffer);"), std::string::npos);
    EXPECT_EQ(block[0], 'k');
    EXPECT_EQ(DR_Outstanding(), 1);

    auto* grown = static_cast<char*>(DR_Realloc(block, 1 << 20, "r.cpp", 3));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(grown[0], 'k');
    EXPECT_EQ(DR_Outstanding(), 1);
    void* v = grown;
    DR_Free(&v, "r.cpp", 4);
    EXPECT_EQ(DR_Outstanding(), 0);
}

std::vector<int>& Order() {
    static std::vector<int> order;
    return order;
}

TEST(DrAllocationLogTest, DebugDoneRunsTheCallbacksNewestFirstAndReportsWhatIsLeft) {
    TraceCapture trace;
    Order().clear();
    DR_AtDone([] { Order().push_back(1); });
    DR_AtDone([] { Order().push_back(2); });
    DR_AtDone([] { Order().push_back(3); });
    void* left = DR_Malloc(10, "d.cpp", 1);
    Debug_Done();
    EXPECT_EQ(Order(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(trace.Count("Debug warning: 1 outstanding allocations on call to Debug_Done\n"), 1);

    // The list was emptied: a second run calls nothing.
    Order().clear();
    DR_Free(&left, "d.cpp", 2);
    trace.Clear();
    Debug_Done();
    EXPECT_TRUE(Order().empty());
    EXPECT_EQ(trace.Count("outstanding"), 0);
}

TEST(DrAllocationLogTest, ClosingAFileThatFailsIsReported) {
    TraceCapture trace;
    EXPECT_NE(DR_Fclose(nullptr, "f.cpp", 9), 0);
    EXPECT_EQ(trace.Count("Debug error: Could not close file in source file f.cpp, line 9 : "), 1);
    FILE* file = DR_Fopen("/dev/null", "r");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(DR_Fclose(file, "f.cpp", 10), 0);
    EXPECT_EQ(trace.Count("Could not close"), 1);
}

}  // namespace

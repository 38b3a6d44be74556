#include "core/fixup.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/fieldarchive.h"
#include "support/field_stream.h"

namespace {

class FixupTest : public ::testing::Test {
protected:
    void TearDown() override {
        Field_DiscardFixups();
        Field_ResetSaveIds();
        Field_SetHandleFinder(nullptr);
    }
};

struct Node {
    int value = 0;
    Node* peer = nullptr;
};

TEST_F(FixupTest, SaveIdsAreStablePerObjectAndRestartAfterAReset) {
    Node a, b;
    EXPECT_EQ(Field_SaveId(nullptr), 0u);
    const uint32_t idA = Field_SaveId(&a);
    const uint32_t idB = Field_SaveId(&b);
    EXPECT_EQ(idA, 1u);
    EXPECT_EQ(idB, 2u);
    EXPECT_EQ(Field_SaveId(&a), idA);
    Field_ResetSaveIds();
    EXPECT_EQ(Field_SaveId(&b), 1u);
}

// Saves three nodes, each as its own id and its peer pointer, then loads them back in the given
// form and fixes up the peers.
TEST_F(FixupTest, PointersRoundTripThroughSaveIdsInBothForms) {
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        Node saved[3];
        saved[0].peer = &saved[2];
        saved[1].peer = nullptr;
        saved[2].peer = &saved[0];
        Field_ResetSaveIds();
        const std::string stream = CaptureFields(binary, [&](FILE* f) {
            bool ok = true;
            for (Node& n : saved) ok = ok && Field_WritePointer(f, &n, kFieldUndefPtr) && Field_WritePointer(f, n.peer, kFieldUndefPtr);
            return ok;
        });
        Field_ResetSaveIds();

        Node loaded[3];
        FieldReadScope scope(stream, binary);
        for (Node& n : loaded) {
            uint32_t self = 0;
            ASSERT_TRUE(Field_ReadPointer(kFieldUndefPtr, &self));
            Field_RegisterPointer(self, &n);
            ASSERT_TRUE(Field_ReadPointerFixup(kFieldUndefPtr, &n.peer, "Node", &n));
        }
        EXPECT_EQ(Field_FixupQueueSize(), 3u);
        Field_ResolvePointers();
        EXPECT_EQ(loaded[0].peer, &loaded[2]);
        EXPECT_EQ(loaded[1].peer, nullptr);
        EXPECT_EQ(loaded[2].peer, &loaded[0]);
        EXPECT_EQ(Field_FixupQueueSize(), 0u);
        EXPECT_EQ(Field_PointerMapSize(), 0u);
    }
}

TEST_F(FixupTest, EarlyFixupKeepsUnknownIdsAndTheFinalOneClearsThem) {
    const std::string stream = CrLfLines({"undefptr = 00000000", "undefptr = 00000007", "undefptr = 00000009"});
    FieldReadScope scope(stream, false);
    Node target;
    Node* zero = &target;  // overwritten by the read
    Node* known = nullptr;
    Node* unknown = nullptr;
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &zero));
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &known));
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &unknown));
    EXPECT_EQ(zero, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(unknown), 9u);  // the saved id until the fix-up

    Field_RegisterPointer(7, &target);
    Field_FixupEarly();
    EXPECT_EQ(zero, nullptr);
    EXPECT_EQ(known, &target);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(unknown), 9u);
    EXPECT_EQ(Field_FixupQueueSize(), 3u);

    Field_ResolvePointers();
    EXPECT_EQ(zero, nullptr);
    EXPECT_EQ(known, &target);
    EXPECT_EQ(unknown, nullptr);
}

TEST_F(FixupTest, TheFirstRegisteredPairWinsAndZeroIsNeverLookedUp) {
    Node first, second;
    Field_RegisterPointer(0, &first);
    EXPECT_EQ(Field_LookupPointer(0), nullptr);
    Field_RegisterPointer(5, &first);
    Field_RegisterPointer(5, &second);
    EXPECT_EQ(Field_LookupPointer(5), &first);
    Field_UnregisterPointer(5, &first);
    EXPECT_EQ(Field_LookupPointer(5), &second);
    EXPECT_EQ(Field_LookupPointer(6), nullptr);
}

TEST_F(FixupTest, AFailedReadQueuesNothingAndDiscardLeavesFieldsAlone) {
    FieldReadScope scope(CrLfLines({"undefptr = nothex", "undefptr = 00000003"}), false);
    Node* p = nullptr;
    EXPECT_FALSE(Field_ReadPointerFixup("undefptr", &p));
    EXPECT_EQ(Field_FixupQueueSize(), 0u);
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &p));
    Node target;
    Field_RegisterPointer(3, &target);
    Field_DiscardFixups();
    Field_ResolvePointers();  // nothing left to do
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p), 3u);
    EXPECT_EQ(Field_PointerMapSize(), 0u);
}

TEST_F(FixupTest, TruncatingTheQueueDropsLaterEntries) {
    FieldReadScope scope(FieldRecord(8, Le(uint32_t{4})) + FieldRecord(8, Le(uint32_t{4})), true);
    Node target;
    Node* kept = nullptr;
    Node* dropped = nullptr;
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &kept));
    ASSERT_TRUE(Field_ReadPointerFixup("undefptr", &dropped));
    Field_TruncateFixupQueue(1);
    Field_RegisterPointer(4, &target);
    Field_ResolvePointers();
    EXPECT_EQ(kept, &target);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dropped), 4u);
}

// A small stand-in pool: handles are slot << 23 | serial.
struct FakeObject {
    uint32_t handle;
    bool live;
};
std::vector<FakeObject> g_objects;
uint32_t FindBySerial(uint32_t serial) {
    for (const FakeObject& o : g_objects)
        if (o.live && (o.handle & 0x7FFFFF) == serial) return o.handle;
    return 0;
}

TEST_F(FixupTest, SavedHandlesResolveByTheirSerial) {
    EXPECT_EQ(Field_ResolveHandle(0x00800005), 0u);  // no pool yet: nothing resolves
    g_objects = {{3u << 23 | 5, false}, {7u << 23 | 5, true}, {2u << 23 | 6, true}};
    Field_SetHandleFinder(FindBySerial);
    EXPECT_EQ(Field_ResolveHandle(0), 0u);
    EXPECT_EQ(Field_ResolveHandle(1u << 23 | 5), 7u << 23 | 5);  // the slot may differ; dead objects are skipped
    EXPECT_EQ(Field_ResolveHandle(2u << 23 | 6), 2u << 23 | 6);
    EXPECT_EQ(Field_ResolveHandle(2u << 23 | 8), 0u);  // its object was not re-created
}

}  // namespace

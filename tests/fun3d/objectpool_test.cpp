#include <gtest/gtest.h>

#include <vector>

#include "core/fixup.h"
#include "core/phasehook.h"
#include "fun3d_fixture.h"
#include "platform/msgbox.h"
#include "support/exit_trap.h"

namespace {

class ObjectPoolTest : public Fun3dFixture {};

std::vector<size_t> g_handlerSizes;
int RecordingHandler(size_t size) {
    g_handlerSizes.push_back(size);
    return 0;
}

TEST_F(ObjectPoolTest, AllocationRunsDownFromTheTopSlotAndReusesAFreedSlotFirst) {
    void* a = GameObject_PoolAlloc(sizeof(GameObject));
    void* b = GameObject_PoolAlloc(sizeof(GameObject));
    EXPECT_EQ(GameObject_PoolSlotOf(a), 511);
    EXPECT_EQ(GameObject_PoolSlotOf(b), 510);
    EXPECT_EQ(GameObject_PoolFreeCount(), 510);

    GameObject_PoolFree(a);
    EXPECT_EQ(GameObject_PoolFreeCount(), 511);
    EXPECT_EQ(GameObject_PoolAlloc(sizeof(GameObject)), a);  // last in, first out
    EXPECT_EQ(GameObject_PoolSlotOf(GameObject_PoolAlloc(sizeof(GameObject))), 509);
}

TEST_F(ObjectPoolTest, FreeingAndRebuildingTheSlotLeavesTheOldHandleDead) {
    GameObjectClass& cls = NewClass();
    GameObject* first = Build(cls);
    const uint32_t oldHandle = first->GetObjHandle();
    EXPECT_EQ(oldHandle >> kHandleSlotShift, 511u);
    EXPECT_EQ(oldHandle & kHandleSerialMask, first->seqNo);
    EXPECT_EQ(GameObject::FromHandle(oldHandle), first);

    delete first;
    EXPECT_EQ(GameObject::FromHandleRaw(oldHandle), nullptr);
    GameObject* second = Build(cls);
    EXPECT_EQ(static_cast<void*>(second), static_cast<void*>(first));  // the same slot
    const uint32_t newHandle = second->GetObjHandle();
    EXPECT_EQ(newHandle >> kHandleSlotShift, oldHandle >> kHandleSlotShift);
    EXPECT_NE(newHandle, oldHandle);
    EXPECT_EQ(GameObject::FromHandleRaw(oldHandle), nullptr);
    EXPECT_EQ(GameObject::FromHandle(newHandle), second);
}

TEST_F(ObjectPoolTest, LookupsRefuseNullWrongSerialsAndFreeSlotsAndOnlyTheRawOneFindsTheDead) {
    GameObjectClass& cls = NewClass();
    GameObject* object = Build(cls);
    const uint32_t handle = object->GetObjHandle();
    EXPECT_EQ(GameObject::FromHandleRaw(0), nullptr);
    EXPECT_EQ(GameObject::FromHandleRaw(handle ^ 1u), nullptr);
    EXPECT_EQ(GameObject::FromHandleRaw((handle & kHandleSerialMask) | 3u << kHandleSlotShift), nullptr);  // free slot
    EXPECT_EQ(GameObject::GetObjHandle(nullptr), 0u);

    object->entity->flags |= kEntityDead;
    EXPECT_EQ(GameObject::FromHandleRaw(handle), object);
    EXPECT_EQ(GameObject::FromHandle(handle), nullptr);
}

TEST_F(ObjectPoolTest, AnExhaustedPoolCallsTheNewHandlerAndGivesNoSlot) {
    g_handlerSizes.clear();
    GameObject_SetNewHandler(RecordingHandler);
    for (int i = 0; i < kObjectPoolSize; ++i) ASSERT_NE(GameObject_PoolAlloc(100), nullptr) << i;
    EXPECT_TRUE(g_handlerSizes.empty());
    EXPECT_EQ(GameObject_PoolAlloc(100), nullptr);  // the 513th
    EXPECT_EQ(g_handlerSizes, std::vector<size_t>{100});

    GameObject_SetNewHandler(nullptr);
    EXPECT_EQ(GameObject_PoolAlloc(100), nullptr);
    EXPECT_EQ(g_handlerSizes.size(), 1u);
}

TEST_F(ObjectPoolTest, TheProgramsHandlerShowsOutOfMemoryAndEndsWith152) {
    GameObject_SetNewHandler(GameObject_OutOfMemoryHandler);
    for (int i = 0; i < kObjectPoolSize; ++i) ASSERT_NE(GameObject_PoolAlloc(8), nullptr);
    EXPECT_EQ(RunForExit([] { GameObject_PoolAlloc(8); }), 152);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    const MessageBoxRecord& box = Plat_MessageBoxLog().back();
    EXPECT_EQ(box.text, "Out of Memory");
    EXPECT_EQ(box.caption, "Gravenholt");
    EXPECT_EQ(box.flags & MB_ICONERROR, MB_ICONERROR);
    GameObject_SetNewHandler(nullptr);
}

TEST_F(ObjectPoolTest, FreeingMemoryThatIsNoPoolSlotIsRefused) {
    int local = 0;
    void* slot = GameObject_PoolAlloc(8);
    GameObject_PoolFree(&local);
    GameObject_PoolFree(static_cast<char*>(slot) + 1);
    GameObject_PoolFree(slot);
    GameObject_PoolFree(slot);  // twice
    EXPECT_EQ(GameObject_PoolFreeCount(), kObjectPoolSize);
    EXPECT_EQ(Plat_MessageBoxLog().size(), 3u);
}

TEST_F(ObjectPoolTest, HandlesKeepResolvingPastTwoToTheTwentyThreeConstructions) {
    GameObjectClass& cls = NewClass();
    // Serials whose low 23 bits are 0 are skipped; the rest resolve by their low 23 bits.
    struct Case {
        uint32_t counter;
        uint32_t serial;
    } cases[] = {{0x7FFFFF, 0x7FFFFF}, {0x800000, 0x800001}, {0x1000000, 0x1000001}, {0x12345678, 0x12345678},
                 {0xFFFFFFFF, 0xFFFFFFFF}, {0, 1}};
    for (const Case& c : cases) {
        GameObject_SetSerialCounter(c.counter);
        GameObject* object = Build(cls);
        EXPECT_EQ(object->seqNo, c.serial) << std::hex << c.counter;
        const uint32_t handle = object->GetObjHandle();
        EXPECT_NE(handle & kHandleSerialMask, 0u);
        EXPECT_EQ(GameObject::FromHandle(handle), object) << std::hex << c.counter;
        EXPECT_EQ(GameObject_GetSerialCounter(), c.serial + 1);
        delete object;
        EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr);
    }
}

TEST_F(ObjectPoolTest, SlotZeroNeverGetsHandleZero) {
    GameObjectClass& cls = NewClass();
    for (int i = 0; i < kObjectPoolSize - 1; ++i) GameObject_PoolAlloc(8);
    GameObject_SetSerialCounter(0x800000);
    GameObject* object = Build(cls);
    ASSERT_EQ(object->slotIndex, 0);
    EXPECT_NE(object->GetObjHandle(), 0u);
    EXPECT_EQ(GameObject::FromHandle(object->GetObjHandle()), object);
}

TEST_F(ObjectPoolTest, TheListHoldsRootObjectsInConstructionOrderUntilTheyAreDestroyed) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls);
    Entity* parent = NewRoot();
    GameObject* part = Build(cls, NewPart(parent, "sub"));
    GameObject* b = Build(cls);
    EXPECT_EQ(GameObject_List(), (std::vector<GameObject*>{a, b}));
    EXPECT_EQ(part->record, nullptr);
    EXPECT_NE(part->GetObjHandle(), 0u);  // handles do not depend on the list
    EXPECT_GE(GameObject_List().capacity(), kObjectListReserve);
    delete a;
    EXPECT_EQ(GameObject_List(), (std::vector<GameObject*>{b}));
}

TEST_F(ObjectPoolTest, SavedHandlesResolveThroughTheListByTheirSerial) {
    GameObjectClass& cls = NewClass();
    GameObject_SetSerialCounter(0x800005);
    GameObject* object = Build(cls);
    const uint32_t saved = 7u << kHandleSlotShift | (object->seqNo & kHandleSerialMask);
    EXPECT_EQ(GameObject_HandleForSerial(saved & kHandleSerialMask), object->GetObjHandle());
    EXPECT_EQ(GameObject_HandleForSerial(0), 0u);
    EXPECT_EQ(GameObject_HandleForSerial(0x1234), 0u);

    Field_SetHandleFinder(GameObject_HandleForSerial);
    EXPECT_EQ(Field_ResolveHandle(saved), object->GetObjHandle());
    EXPECT_EQ(Field_ResolveHandle(0), 0u);
    Field_SetHandleFinder(nullptr);
}

TEST_F(ObjectPoolTest, TheModuleMemberInstallsItsHandlersAndResetsThePoolPerMission) {
    PhaseHook& member = GameObjectPool_Member();
    EXPECT_TRUE(member.flags & kPhaseFlagFrame);
    GameObjectClass& cls = NewClass();
    GameObject* user = Build(cls, 1, kEntityUser);
    ASSERT_EQ(GameObject_GetUser(), user);

    member.Startup();
    EXPECT_EQ(Field_ResolveHandle(user->GetObjHandle()), user->GetObjHandle());
    EXPECT_EQ(GameObject_SetNewHandler(nullptr), &GameObject_OutOfMemoryHandler);
    std::set_new_handler(nullptr);
    Field_SetHandleFinder(nullptr);

    delete user;
    GameObject_PoolAlloc(8);
    GameObject_ForgetUser();
    Build(cls, 3, kEntityUser);
    member.MissionSetup();
    EXPECT_EQ(GameObject_GetUser(), nullptr);
    EXPECT_EQ(GameObject_GetUserTeam(), 0);
    EXPECT_EQ(GameObject_PoolFreeCount(), kObjectPoolSize);
    GameObject_List().clear();  // the slots were taken back under the listed object
}

}  // namespace

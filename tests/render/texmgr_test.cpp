#include <cstring>

#include "core/seams/render.h"
#include "texture_fixture.h"

namespace {

using content::ArchiveRecord;

// Four frames f0..f3 as solid 4 x 4 textures of colours 10..13, and the code book they name.
std::vector<ArchiveRecord> Frames(const std::string& stem, int count) {
    std::vector<ArchiveRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back({stem + std::to_string(i) + ".vqm",
                           content::VqmBytes(0, 4, 4, "book.cbk", {static_cast<uint16_t>(0x8000 | (10 + i))}), true, 0});
    records.push_back({"book.cbk", content::CodeBookBytes({}), true, 0});
    return records;
}

std::vector<std::string> Names(const std::string& stem, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(stem + std::to_string(i));
    return names;
}

int Texel(const TextureImage* image) { return image ? TextureImage_Texels(image)[0] : -1; }

TEST(FrameList, DimensionsProductsAndNames) {
    std::string bytes = content::FrameListBytes({2, 4}, 12.5f, 3, Names("fr", 8));
    FrameList list{};
    char names[8][16];
    ASSERT_TRUE(FrameList_Read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &list, names));
    EXPECT_EQ(list.dimensionCount, 2);
    EXPECT_EQ(list.dimensionProducts[0], 4);
    EXPECT_EQ(list.dimensionProducts[1], 8);
    EXPECT_EQ(list.frameCount, 8);
    EXPECT_EQ(list.frameRate, 12.5f);
    EXPECT_EQ(list.flags, 3u);
    EXPECT_STREQ(names[0], "fr0.map");
    EXPECT_STREQ(names[7], "fr7.map");
    // Eight-character names fill their field without a terminator.
    std::string full = content::FrameListBytes({1}, 1.0f, 0, {"abcdefgh"});
    char one[1][16];
    ASSERT_TRUE(FrameList_Read(reinterpret_cast<const uint8_t*>(full.data()), full.size(), &list, one));
    EXPECT_STREQ(one[0], "abcdefgh.map");
}

TEST(FrameList, RefusesBadFiles) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string good = content::FrameListBytes({3}, 5.0f, 1, Names("f", 3));
    std::string noDims = good;
    noDims[20] = 0;
    std::string fourDims = good;
    fourDims[20] = 4;
    const Case cases[] = {
        {"short header", good.substr(0, 63)},
        {"names cut short", good.substr(0, good.size() - 1)},
        {"no dimensions", noDims},
        {"four dimensions", fourDims},
        {"a zero dimension", content::FrameListBytes({2, 0}, 5.0f, 1, {})},
        {"negative dimension", content::FrameListBytes({-3}, 5.0f, 1, {})},
        {"more frames than a selector can name", content::FrameListBytes({300, 300}, 5.0f, 1, {})},
    };
    for (const Case& c : cases) {
        FrameList list{};
        EXPECT_FALSE(FrameList_Read(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &list, nullptr))
            << c.what;
    }
}

TEST_F(TextureTest, RecordsAreSharedByName) {
    auto records = Frames("s", 1);
    records.push_back({"two.tmt", content::FrameListBytes({2, 4}, 8.0f, 0, Names("s", 8)), true, 0});
    records.push_back({"bad.tmt", std::string(10, 'x'), true, 0});
    Install(records);
    TexMapRecord* single = TexMap_Acquire("s0.map");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->users, 1);
    EXPECT_STREQ(single->frameNames[0], "s0.map");
    EXPECT_EQ(TexMap_Acquire("s0.map"), single);
    EXPECT_EQ(single->users, 2);
    TexMapRecord* list = TexMap_Acquire("two.tmt");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->dimensionProducts[1], 8);
    EXPECT_STREQ(list->frameNames[5], "s5.map");
    EXPECT_EQ(Cache_LockCount("two.tmt"), 0) << "the frame list is locked only while read";
    // A missing frame list leaves a failed record: null now and later, no second read.
    EXPECT_EQ(TexMap_Acquire("gone.tmt"), nullptr);
    EXPECT_EQ(TexMap_Acquire("gone.tmt"), nullptr);
    EXPECT_EQ(TexMap_UsedCount(), 3);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(TexMap_Acquire("bad.tmt"), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Error: frame list bad.tmt is damaged");
}

TEST_F(TextureTest, TheHundredAndFirstRecordIsRefused) {
    Install(Frames("s", 1));
    for (int i = 0; i < kTexMapRecords; ++i)
        ASSERT_NE(TexMap_Acquire(("r" + std::to_string(i) + ".map").c_str()), nullptr) << i;
    EXPECT_EQ(TexMap_Acquire("r100.map"), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Error: texture map table full, r100.map not bound");
    EXPECT_NE(TexMap_Acquire("r7.map"), nullptr) << "known names are still found";
    // A new mission starts with an empty table.
    TexMgr_Init();
    EXPECT_EQ(TexMap_UsedCount(), 0);
    EXPECT_NE(TexMap_Acquire("r100.map"), nullptr);
}

TEST_F(TextureTest, EntityBindingHoldsOneReference) {
    Install(Frames("s", 1));
    Entity* e = NewRoot();
    TextureImage* image = TexMgr_BindEntity(e, "s0.map");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Texel(image), 10);
    EXPECT_EQ(TexMgr_BindEntity(e, "s0.map"), image);
    EXPECT_EQ(TexMgr_BindEntity(e, nullptr), image);
    EXPECT_EQ(Refs("s0.vqm"), 1);
    TexBindingInfo info{};
    ASSERT_TRUE(TexMgr_GetBinding(e, &info));
    EXPECT_EQ(info.record->users, 1);
    EXPECT_STREQ(info.frameName, "s0.map");

    // A debris copy holds its own reference; each unbind gives one back.
    Entity* debris = NewRoot();
    TexMgr_CopyBinding(e, debris);
    EXPECT_EQ(TexMgr_BindEntity(debris, nullptr), image);
    EXPECT_EQ(Refs("s0.vqm"), 2);
    EXPECT_EQ(info.record->users, 2);
    TexMgr_UnbindEntity(debris);
    EXPECT_EQ(debris->texture, nullptr);
    EXPECT_EQ(Refs("s0.vqm"), 1);

    // Releasing the entity unbinds it through the entity layer's hook.
    Entity_Release(e);
    EXPECT_EQ(Refs("s0.vqm"), 0);
    EXPECT_EQ(info.record->users, 0);
    EXPECT_EQ(TexCache_PurgeOrder(nullptr, 0), 1);
    // An entity without a binding and a missing texture: null, nothing else.
    Entity* other = NewRoot();
    TexMgr_UnbindEntity(other);
    EXPECT_EQ(TexMgr_BindEntity(other, "none.map"), nullptr);
    EXPECT_EQ(TexMgr_BindEntity(other, "none.map"), nullptr);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(TexMgr_BindEntity(NewRoot(), "a_long_texture_name.map"), nullptr);
    EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(TextureTest, SetFrameSelectsRowsAndFrames) {
    auto records = Frames("s", 4);
    records.push_back({"grid.tmt", content::FrameListBytes({2, 2}, 4.0f, 0, Names("s", 4)), true, 0});
    Install(records);
    Entity* e = NewRoot();
    ASSERT_EQ(Texel(TexMgr_BindEntity(e, "grid.tmt")), 10);
    TexBindingInfo info{};
    TexMgr_SetFrame(e, "grid.tmt", 0, 2, true);
    TexMgr_GetBinding(e, &info);
    EXPECT_EQ(info.selector, 2u);
    EXPECT_EQ(Texel(info.image), 12);
    EXPECT_EQ(Refs("s0.vqm"), 0);
    EXPECT_EQ(Refs("s2.vqm"), 1);
    // Row 2 stores 1 in the upper half; row 0 keeps it.
    TexMgr_SetFrame(e, "grid.tmt", 2, 3, true);
    TexMgr_SetFrame(e, "grid.tmt", 0, 1, true);
    TexMgr_GetBinding(e, &info);
    EXPECT_EQ(info.selector, 0x10001u);
    EXPECT_EQ(Texel(info.image), 11);
    // The same selector again changes nothing.
    uint32_t requests = TexCache_GetStats().requests;
    TexMgr_SetFrame(e, "grid.tmt", 2, 1, true);
    EXPECT_EQ(TexCache_GetStats().requests, requests);
    // Without load the old frame is released and nothing is loaded until the next bind.
    TexMgr_SetFrame(e, "grid.tmt", 0, 3, false);
    EXPECT_EQ(Refs("s1.vqm"), 0);
    TexMgr_GetBinding(e, &info);
    EXPECT_EQ(info.image, nullptr);
    EXPECT_EQ(Texel(TexMgr_BindEntity(e, nullptr)), 13);
    // A frame past the table shows nothing.
    TexMgr_SetFrame(e, "grid.tmt", 0, 9, true);
    TexMgr_GetBinding(e, &info);
    EXPECT_EQ(info.image, nullptr);
    EXPECT_EQ(Refs("s3.vqm"), 0);
}

TEST_F(TextureTest, CyclingAnimationWrapsOverTheLastDimension) {
    auto records = Frames("s", 8);
    records.push_back({"cyc.tmt", content::FrameListBytes({2, 4}, 10.0f, 3, Names("s", 8)), true, 0});
    Install(records);
    SetTime(0);
    Entity* e = NewRoot();
    ASSERT_EQ(Texel(TexMgr_BindEntity(e, "cyc.tmt")), 10);
    EXPECT_EQ(TexAnim_Count(), 1);
    EXPECT_EQ(e->useCount, 2) << "the animation holds the entity";
    std::vector<int> shown;
    for (uint32_t ms = 150; ms <= 650; ms += 100) {
        SetTime(ms);
        TexAnim_UpdateAll();
        TexBindingInfo info{};
        TexMgr_GetBinding(e, &info);
        shown.push_back(Texel(info.image) - 10);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 0, 1, 2}));
    EXPECT_EQ(Refs("s1.vqm"), 0);
    EXPECT_EQ(Refs("s2.vqm"), 1);
    // A jump of several periods takes every step at once.
    SetTime(950);
    TexAnim_UpdateAll();
    EXPECT_EQ(TexAnim_CurrentFrame(e, "cyc.tmt"), 1);
    TexAnim_FreeAll();
    EXPECT_EQ(e->useCount, 1);
}

TEST_F(TextureTest, BackwardCycle) {
    Install(Frames("s", 3));
    SetTime(0);
    Entity* e = NewRoot();
    TexMgr_BindEntity(e, "s0.map");
    TexAnim_StartCycle(e, "s0.map", 0.1f, 0, 3, false);
    std::vector<int> frames;
    for (uint32_t ms = 150; ms <= 450; ms += 100) {
        SetTime(ms);
        TexAnim_UpdateAll();
        frames.push_back(TexAnim_CurrentFrame(e, "s0.map"));
    }
    EXPECT_EQ(frames, (std::vector<int>{2, 1, 0, 2}));
    // Starting again replaces the running animation of that entity and name.
    TexAnim_StartCycle(e, "s0.map", 0.1f, 1, 3, true);
    EXPECT_EQ(TexAnim_Count(), 1);
    EXPECT_EQ(e->useCount, 2);
    TexAnim_Remove(e, "s0.map");
    EXPECT_EQ(TexAnim_Count(), 0);
    EXPECT_EQ(e->useCount, 1);
}

TEST_F(TextureTest, PlayOnceAnimationEndsWithItsCallback) {
    auto records = Frames("s", 4);
    records.push_back({"once.tmt", content::FrameListBytes({4}, 10.0f, 1, Names("s", 4)), true, 0});
    Install(records);
    SetTime(0);
    Entity* e = NewRoot();
    ASSERT_EQ(Texel(TexMgr_BindEntity(e, "once.tmt")), 10);
    std::vector<int> shown = {0};
    for (uint32_t ms = 150; ms <= 350; ms += 100) {
        SetTime(ms);
        TexAnim_UpdateAll();
        shown.push_back(TexAnim_CurrentFrame(e, "once.tmt"));
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Refs("s3.vqm"), 1);
    // The step past the last frame ends it: the entity is released and its texture with it.
    SetTime(450);
    TexAnim_UpdateAll();
    EXPECT_EQ(TexAnim_Count(), 0);
    EXPECT_EQ(Refs("s3.vqm"), 0);
    EXPECT_NE(e->state, kEntityAlive);
    roots.clear();
}

std::vector<std::string> g_ended;

TEST_F(TextureTest, PlayOnceWithOwnCallbackAndReleasedEntities) {
    Install(Frames("s", 4));
    SetTime(0);
    Entity* e = NewRoot();
    TexMgr_BindEntity(e, "s0.map");
    g_ended.clear();
    TexAnim_StartOnce(e, "s0.map", 0.25f, 2, 4, [](Entity*, const char* name) { g_ended.push_back(name); });
    SetTime(300);
    TexAnim_UpdateAll();
    EXPECT_EQ(TexAnim_CurrentFrame(e, "s0.map"), 3);
    EXPECT_TRUE(g_ended.empty());
    SetTime(2000);
    TexAnim_UpdateAll();
    EXPECT_EQ(g_ended, (std::vector<std::string>{"s0.map"}));
    EXPECT_EQ(TexAnim_Count(), 0);
    EXPECT_EQ(e->useCount, 1);

    // An animation whose entity was released elsewhere is dropped on the next update, and the
    // entity goes with it.
    Entity* gone = NewRoot();
    TexAnim_StartCycle(gone, "s0.map", 0.1f, 0, 4, true);
    Entity_Release(gone);
    EXPECT_EQ(gone->state, kEntityReleased);
    TexAnim_UpdateAll();
    EXPECT_EQ(TexAnim_Count(), 0);
    roots.pop_back();
}

TEST_F(TextureTest, InstallFillsTheSeamAndHooks) {
    TexMgr_InstallServices();
    EXPECT_EQ(Seam_Render().animTexUpdate, TexAnim_UpdateAll);
    EXPECT_EQ(Seam_Render().texCacheFree, TexMap_FreeAll);
    EXPECT_EQ(Objkr_Services().unbindTexture, TexMgr_UnbindEntityHook);
    // The file cache's display-variant locks reach the texture cache.
    auto records = Frames("s", 1);
    records.push_back({"6s0.vqm", records[0].data, true, 0});
    Install(records);
    File_SetDisplayModeSource([] { return 1; });
    TexCache_UseModeVariant("s0.map", 0, 0);
    EXPECT_EQ(Refs("6s0.vqm"), 1);
    EXPECT_EQ(Refs("s0.vqm"), -1);
    TexCache_ReleaseModeVariant("s0.map", 0, 0);
    EXPECT_EQ(Refs("6s0.vqm"), 0);
    File_SetDisplayModeSource(nullptr);
    TexCache_SetHooks(nullptr, nullptr);
}

}  // namespace

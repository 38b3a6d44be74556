#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "core/helpers.h"
#include "terrain_fixture.h"
#include "texture_writer.h"

namespace {

// A small image of one colour, or of the given texels.
content::ArchiveRecord Texture(const std::string& name, std::vector<uint8_t> texels, int width, int height) {
    content::TextureSpec spec;
    spec.name = name;
    spec.width = width;
    spec.height = height;
    spec.texels = std::move(texels);
    return {name + ".map", content::MapImageBytes(spec), true, 0};
}
content::ArchiveRecord Solid(const std::string& name, uint8_t colour) {
    return Texture(name, std::vector<uint8_t>(16, colour), 4, 4);
}

class TerrainTexTest : public TerrainTest {
protected:
    // One zone with the given ".TRN" texture sections and textures; loaded at a detail option.
    void LoadWith(const std::string& sections, std::vector<content::ArchiveRecord> textures, int option = 3,
                  std::function<uint16_t(int, int)> material = nullptr) {
        content::TerrainMapSpec spec = Map("tex", 1280, 1280, 0, 0, nullptr, std::move(material));
        spec.extraSections = sections;
        std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
        records.insert(records.end(), textures.begin(), textures.end());
        Install(records, "terrain.zfs");
        ASSERT_EQ(Terrain_LoadMap("tex.bzn", option), 1);
    }
    // The list entry a slot's level k holds, by name.
    static std::string LevelName(int slotIndex, int k) {
        const int first = Terrain_SlotTable()[slotIndex];
        return first ? Terrain_TextureEntry(first + k).name : "";
    }
    void TearDown() override {
        Terrain_FreeTextures();
        TerrainTest::TearDown();
    }
};

int Slot(int type, int neighbour, int variant, int diagonal) { return type * 64 + neighbour * 8 + variant * 2 + diagonal; }

}  // namespace

TEST_F(TerrainTexTest, VariantAFillsEveryVariantAndEmptyLevelsRepeat) {
    LoadWith("[TextureType1]\nSolidA0 = a0.map\nSolidA1 = a1.map\nSolidA2 =\n",
             {Solid("a0", 10), Solid("a1", 20)});
    ASSERT_TRUE(Terrain_TexturesLoaded());
    const int first = Terrain_SlotTable()[Slot(1, 1, 0, 0)];
    ASSERT_NE(first, 0);
    for (int variant = 0; variant < 4; ++variant)
        for (int diagonal = 0; diagonal < 2; ++diagonal)
            EXPECT_EQ(Terrain_SlotTable()[Slot(1, 1, variant, diagonal)], first) << variant << diagonal;
    // Level 2 is empty and level 3 missing: both repeat level 1.
    EXPECT_TRUE(Text_CompareNoCase(LevelName(Slot(1, 1, 0, 0), 0).c_str(), "a0.map") == 0);
    for (int k = 1; k < 4; ++k)
        EXPECT_TRUE(Text_CompareNoCase(LevelName(Slot(1, 1, 0, 0), k).c_str(), "a1.map") == 0) << k;
    EXPECT_EQ(Terrain_TextureEntry(first + 2).image, Terrain_TextureEntry(first + 1).image);
    // Other types have no slot.
    EXPECT_EQ(Terrain_SlotTable()[Slot(0, 0, 0, 0)], 0);
}

TEST_F(TerrainTexTest, DistanceBandsPickTheLevel) {
    LoadWith("[TextureType0]\nSolidA0 = l0.map\nSolidA1 = l1.map\nSolidA2 = l2.map\nSolidA3 = l3.map\n",
             {Solid("l0", 1), Solid("l1", 2), Solid("l2", 3), Solid("l3", 4)});
    const int first = Terrain_SlotTable()[Slot(0, 0, 0, 0)];
    auto level = [first](const TextureImage* image) {
        for (int k = 0; k < 4; ++k)
            if (Terrain_TextureEntry(first + k).image == image) return k;
        return -1;
    };
    // The camera at the middle of cell (0, 0); bands 36, 144, 576 and 230400 cells squared.
    struct Case {
        int x, z, level;
    } cases[] = {{0, 0, 0}, {6, 0, 0}, {7, 0, 1}, {12, 0, 1}, {0, 13, 2}, {24, 0, 2}, {25, 0, 3}, {480, 0, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(level(Terrain_SelectCellTexture(c.x, c.z, 0x0000, 0.5f, 0.5f)), c.level) << c.x << "," << c.z;
    // Beyond the last band: the default texture.
    EXPECT_EQ(Terrain_SelectCellTexture(481, 0, 0x0000, 0.5f, 0.5f), Terrain_TextureEntry(0).image);
    // With the level-0-only flag the slot's first level is used at any distance.
    *Terrain_RenderHooks().renderFlags |= kRenderFlagLevelZeroOnly;
    EXPECT_EQ(level(Terrain_SelectCellTexture(100, 0, 0x0000, 0.5f, 0.5f)), 0);
}

TEST_F(TerrainTexTest, ReducedDetailReadsOneLevelOnAndWidensTheFirstBand) {
    LoadWith("[TextureType0]\nSolidA0 = l0.map\nSolidA1 = l1.map\nSolidA2 = l2.map\nSolidA3 = l3.map\n",
             {Solid("l0", 1), Solid("l1", 2), Solid("l2", 3), Solid("l3", 4)}, 2);
    EXPECT_TRUE(Terrain_DrawMode().reducedDetail);
    EXPECT_NE(*Terrain_RenderHooks().renderFlags & kRenderFlagReducedTextures, 0u);
    EXPECT_FLOAT_EQ(Terrain_TextureBands()[0], 10000.0f);
    // Levels read keys 1, 2, 3 and 4; key 4 does not exist and repeats level 3's texture.
    const int slot = Slot(0, 0, 0, 0);
    const char* expected[] = {"l1.map", "l2.map", "l3.map", "l3.map"};
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(Text_CompareNoCase(LevelName(slot, k).c_str(), expected[k]) == 0) << k << LevelName(slot, k);
    // Option 3 clears it again.
    Terrain_SetDrawMode(3);
    Terrain_CheckDetailChange();
    EXPECT_FALSE(Terrain_DrawMode().reducedDetail);
    EXPECT_EQ(*Terrain_RenderHooks().renderFlags & kRenderFlagReducedTextures, 0u);
    EXPECT_FLOAT_EQ(Terrain_TextureBands()[0], 36.0f);
}

TEST_F(TerrainTexTest, ArrangementsMapTheCellCornersIntoTheTexture) {
    LoadWith("", {});
    // (u, v) of corner (x, z) of an even cell (X = Z = 0) and of corner (x+1, z+1) of an odd-x,
    // even-z cell (X = 1, Z = 0.5).
    const float table[8][4] = {
        {0, 0, 1, 0.5f}, {0, 1, 0.5f, 0}, {1, 1, 0, 0.5f}, {1, 0, 0.5f, 1},
        {1, 0, 0, 0.5f}, {1, 1, 0.5f, 0}, {0, 1, 1, 0.5f}, {0, 0, 0.5f, 1},
    };
    const int twins[8] = {8, 9, 10, 11, 15, 12, 13, 14};
    for (int a = 0; a < 8; ++a)
        for (int arrangement : {a, twins[a]}) {
            const float* even = Terrain_Arrangement(arrangement, 0, 0);
            const float* odd = Terrain_Arrangement(arrangement, 1, 0);
            EXPECT_FLOAT_EQ(even[0], table[a][0]) << arrangement;
            EXPECT_FLOAT_EQ(even[1], table[a][1]) << arrangement;
            EXPECT_FLOAT_EQ(odd[4], table[a][2]) << arrangement;
            EXPECT_FLOAT_EQ(odd[5], table[a][3]) << arrangement;
        }
    // Arrangement 1, (u, v) = (Z, 1 - X), at the four parities, corners in cell order.
    const float parity[4][8] = {
        {0, 1, 0, 0.5f, 0.5f, 0.5f, 0.5f, 1},        // x even, z even
        {0, 0.5f, 0, 0, 0.5f, 0, 0.5f, 0.5f},        // x odd
        {0.5f, 1, 0.5f, 0.5f, 1, 0.5f, 1, 1},        // z odd
        {0.5f, 0.5f, 0.5f, 0, 1, 0, 1, 0.5f},        // both odd
    };
    for (int p = 0; p < 4; ++p) {
        const float* uv = Terrain_Arrangement(1, p & 1, p >> 1);
        for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(uv[i], parity[p][i]) << p << " " << i;
    }
}

TEST_F(TerrainTexTest, CellTexCoordsFollowTheMaterialWord) {
    // Every 2 x 2 square is a grass-to-dirt cap in arrangement 2, variant 0.
    LoadWith("[TextureType0]\nCapTo1_A0 = cap.map\n", {Solid("cap", 7)}, 3,
             [](int, int) { return content::MaterialWord(0, 1, 2, 0); });
    float u[4], v[4];
    const TextureImage* image = Terrain_GetCellTexCoords(3, 4, u, v);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image, Terrain_TextureEntry(Terrain_SlotTable()[Slot(0, 1, 0, 0)]).image);
    // Cell (3, 4): x odd, z even; (1 - X, 1 - Z).
    const float eu[4] = {0.5f, 0, 0, 0.5f}, ev[4] = {1, 1, 0.5f, 0.5f};
    for (int c = 0; c < 4; ++c) {
        EXPECT_FLOAT_EQ(u[c], eu[c]) << c;
        EXPECT_FLOAT_EQ(v[c], ev[c]) << c;
    }
    EXPECT_EQ(Terrain_GetMapColor(3, 4), Terrain_SlotTable()[Slot(0, 1, 0, 0)] / 4);
}

TEST_F(TerrainTexTest, AMissingTextureTurnsTexturesOff) {
    LoadWith("[TextureType0]\nSolidA0 = here.map\n[TextureType2]\nSolidA0 = gone.map\n", {Solid("here", 3)});
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().back(), "Terrain Texture GONE.MAP not found\nTexture will be off");
    EXPECT_FALSE(Terrain_TexturesLoaded());
    EXPECT_EQ(Terrain_TextureCount(), 0);
    EXPECT_EQ(Terrain_SlotTable()[Slot(0, 0, 0, 0)], 0);
    EXPECT_LE(Cache_LockCount("here.map"), 0);
}

TEST_F(TerrainTexTest, TheListRefusesItsTwoHundredFiftySixthEntry) {
    // 64 slots of four entries each: the default and 63 slots fit in 253 entries, the 64th
    // would need entries 253 to 256.
    std::string text;
    for (int t = 0; t < 8; ++t) {
        text += "[TextureType" + std::to_string(t) + "]\n";
        for (char letter : {'A', 'B', 'C', 'D'}) text += std::string("Solid") + letter + "0 = x.map\n";
        for (int n = 0; n < 4; ++n) text += "CapTo" + std::to_string(n) + "_A0 = x.map\n";
    }
    LoadWith(text, {Solid("x", 9)});
    EXPECT_TRUE(Terrain_TexturesLoaded());
    EXPECT_EQ(Terrain_TextureCount(), 253);
    EXPECT_NE(Terrain_SlotTable()[Slot(7, 2, 0, 0)], 0);
    EXPECT_EQ(Terrain_SlotTable()[Slot(7, 3, 0, 0)], 0);
    int full = 0;
    for (const std::string& text : BoxTexts()) full += text.find("list is full") != std::string::npos;
    EXPECT_EQ(full, 1);
    // A cell of the refused slot draws the default texture.
    EXPECT_EQ(Terrain_SelectCellTexture(0, 0, content::MaterialWord(7, 3, 0, 0), 0.5f, 0.5f),
              Terrain_TextureEntry(0).image);
}

TEST_F(TerrainTexTest, TypeAndNeighbourReadAsZeroToSeven) {
    LoadWith("[TextureType1]\nSolidA0 = one.map\n", {Solid("one", 5)});
    const TerrainMaterial m = Terrain_SplitMaterial(0x9983);
    EXPECT_EQ(m.type, 1);
    EXPECT_EQ(m.neighbour, 1);
    EXPECT_EQ(m.arrangement, 8);
    EXPECT_EQ(m.diagonal, 1);
    EXPECT_EQ(m.variant, 3);
    EXPECT_LT(Terrain_SlotIndex(Terrain_SplitMaterial(0xFFFF)), kTerrainSlots);
    // Type 9 draws type 1's texture and flat colour.
    EXPECT_EQ(Terrain_SelectCellTexture(0, 0, 0x9900, 0.5f, 0.5f),
              Terrain_SelectCellTexture(0, 0, 0x1100, 0.5f, 0.5f));
    EXPECT_NE(Terrain_SelectCellTexture(0, 0, 0x1100, 0.5f, 0.5f), Terrain_TextureEntry(0).image);
}

TEST_F(TerrainTexTest, AverageColoursNeverReadPastAnImage) {
    std::vector<content::ArchiveRecord> textures = {Texture("pair", {10, 20}, 2, 1), Texture("none", {}, 0, 0)};
    // A header claiming 8 x 8 texels over a file holding 10.
    content::ArchiveRecord shortImage = Texture("short", std::vector<uint8_t>(64, 200), 8, 8);
    shortImage.data.resize(8 + 10);
    textures.push_back(shortImage);
    static uint8_t palette[768];
    for (int i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
    Terrain_RenderHooks().palette = []() -> const uint8_t* { return palette; };
    LoadWith("[TextureType0]\nSolidA0 = pair.map\n[TextureType1]\nSolidA0 = none.map\n"
             "[TextureType2]\nSolidA0 = short.map\n",
             textures);
    ASSERT_TRUE(Terrain_TexturesLoaded());
    uint8_t rgb[3];
    Terrain_GetColorEntry(rgb, Terrain_SlotTable()[Slot(0, 0, 0, 0)]);
    EXPECT_EQ(rgb[0], 15);
    for (int type : {1, 2}) {
        Terrain_GetColorEntry(rgb, Terrain_SlotTable()[Slot(type, type, 0, 0)]);
        EXPECT_EQ(rgb[0] | rgb[1] | rgb[2], 0) << type;
        // Neither is handed to the drawers: their cells draw the default texture.
        EXPECT_EQ(Terrain_SelectCellTexture(0, 0, content::MaterialWord(type, type, 0, 0), 0.5f, 0.5f),
                  Terrain_TextureEntry(0).image);
    }
}

TEST_F(TerrainTexTest, CyclesWithoutAnAlternativeKeepTheWord) {
    // One type with a plain texture whose four variants share it; no cap, no diagonal.
    LoadWith("[TextureType1]\nSolidA0 = one.map\n", {Solid("one", 5)});
    const uint16_t word = content::MaterialWord(1, 1, 5, 2);
    EXPECT_EQ(Terrain_CycleType(word, 1), word);
    EXPECT_EQ(Terrain_CycleType(word, -1), word);
    EXPECT_EQ(Terrain_CycleVariant(word, 1), word);
    uint16_t cap = word, diagonal = word;
    EXPECT_EQ(Terrain_CycleCapTo(&cap, 1), 16);
    EXPECT_EQ(cap, word);
    EXPECT_EQ(Terrain_CycleDiagonalTo(&diagonal, -1), 16);
    EXPECT_EQ(diagonal, word);
}

TEST_F(TerrainTexTest, CyclesStepToTheNextTexture) {
    LoadWith("[TextureType1]\nSolidA0 = one.map\nSolidC0 = two.map\nDiagonalTo4_A0 = two.map\n"
             "[TextureType3]\nSolidA0 = two.map\nCapTo1_A0 = one.map\n",
             {Solid("one", 5), Solid("two", 6)});
    const uint16_t word = content::MaterialWord(1, 1, 5, 1) | 0x8;  // bits 2-6 kept by the type cycle
    EXPECT_EQ(Terrain_CycleType(word, 1), content::MaterialWord(3, 3, 5, 0) | 0x8);
    EXPECT_EQ(Terrain_CycleType(word, -1), content::MaterialWord(3, 3, 5, 0) | 0x8);
    // Variants A and B share a texture, C and D the other.
    EXPECT_EQ(Terrain_CycleVariant(word, 1) & 3, 2);
    uint16_t cap = word;
    EXPECT_EQ(Terrain_CycleCapTo(&cap, 1), 3 * 16);
    EXPECT_EQ(cap, (content::MaterialWord(3, 1, 5, 1) | 0x8) & ~0x80);
    uint16_t diagonal = word;
    EXPECT_EQ(Terrain_CycleDiagonalTo(&diagonal, 1), 1 * 16);
    EXPECT_EQ(Terrain_SplitMaterial(diagonal).neighbour, 4);
    EXPECT_EQ(Terrain_SplitMaterial(diagonal).diagonal, 1);
}

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "render/graphicbuffer.h"
#include "render/picture.h"

namespace {

std::vector<uint8_t> Row(const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> out;
    Rle_WriteRow(pixels.data(), static_cast<int>(pixels.size()), out);
    return out;
}

// A header the reader accepts for a width x 1 picture, with the given bytes per line.
std::vector<uint8_t> Header(int width, int rowBytes) {
    uint8_t palette[kPicturePaletteSize] = {};
    std::vector<uint8_t> one(static_cast<size_t>(width), 1);
    std::vector<uint8_t> file = Picture_Encode(one.data(), width, 1, one.size(), palette);
    file.resize(kPictureHeaderSize);
    file[66] = static_cast<uint8_t>(rowBytes);
    file[67] = static_cast<uint8_t>(rowBytes >> 8);
    return file;
}

class PictureTest : public ::testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() / ("gv_picture_" + std::to_string(::getpid()) + ".pcx")).string();
    void TearDown() override { std::remove(path.c_str()); }
};

}  // namespace

TEST_F(PictureTest, RunsAreCodedPerRowInRunsOfAtMostSixtyThree) {
    EXPECT_EQ(Row(std::vector<uint8_t>(100, 7)), (std::vector<uint8_t>{0xFF, 0x07, 0xE5, 0x07}));
    EXPECT_EQ(Row({200}), (std::vector<uint8_t>{0xC1, 0xC8}));
    EXPECT_EQ(Row({191}), (std::vector<uint8_t>{0xBF}));
    EXPECT_EQ(Row({1, 1, 2}), (std::vector<uint8_t>{0xC2, 1, 2}));
}

TEST_F(PictureTest, OnePixelFileLayoutAndRoundTrip) {
    uint8_t palette[kPicturePaletteSize];
    for (int i = 0; i < kPicturePaletteSize; ++i) palette[i] = static_cast<uint8_t>(i * 7);
    uint8_t pixel = 200;
    GraphicBuffer one;
    Graphic_InitBuffer(&one, 1, 1, &pixel, kGraphicFormat8);
    ASSERT_EQ(Picture_Write(path.c_str(), &one, palette), 1);
    EXPECT_EQ(std::filesystem::file_size(path), 128u + 2u + 1u + 768u);
    std::vector<uint8_t> bytes(std::filesystem::file_size(path));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    const uint8_t head[] = {10, 5, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0, 64, 1, 200, 0};
    EXPECT_TRUE(std::equal(head, head + 16, bytes.begin()));
    EXPECT_EQ(bytes[65], 1);
    EXPECT_EQ(Bytes_U16(&bytes[66]), 1);
    EXPECT_EQ(Bytes_U16(&bytes[68]), 1);
    EXPECT_EQ(bytes[128], 0xC1);
    EXPECT_EQ(bytes[129], 200);
    EXPECT_EQ(bytes[130], 12);
    EXPECT_EQ(bytes.back(), palette[767]);
    uint8_t back[kPicturePaletteSize] = {};
    EXPECT_EQ(Picture_CheckFile(path.c_str(), back), 1);
    EXPECT_EQ(back[767], palette[767]);

    GraphicBuffer b;
    Graphic_InitBuffer(&b, 70, 5, nullptr, kGraphicFormat8);
    for (int i = 0; i < 70 * 5; ++i) b.pixels[i] = static_cast<uint8_t>(i / 3 * 5);
    ASSERT_EQ(Picture_Write(path.c_str(), &b, palette), 1);
    uint8_t* image = Picture_Read(path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes_U16(image), 70);
    EXPECT_EQ(Bytes_U32(image + 4), 5u);
    EXPECT_TRUE(std::equal(b.pixels, b.pixels + 350, image + 8));
    ASSERT_EQ(Picture_WriteImage(path.c_str(), image, palette), 1);
    uint8_t* again = Picture_Read(path.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(std::equal(image + 8, image + 358, again + 8));
    delete[] image;
    delete[] again;
    Graphic_FreeBuffer(&b);
}

TEST_F(PictureTest, RefusedHeadersShortFilesAndOverlongRuns) {
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const Case refused[] = {
        {"manufacturer", 0, 11}, {"bits per pixel", 3, 4}, {"planes", 65, 3},
        {"x max below x min", 4, 5},  // x min 5, x max 3
        {"bytes per line below the width", 66, 2},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = Header(4, 4);
        file[8] = 3;
        file[c.at] = c.value;
        file.push_back(0xC4);
        file.push_back(9);
        EXPECT_EQ(Picture_Decode(file.data(), file.size()), nullptr);
    }
    std::vector<uint8_t> wide = Header(4, 4);
    wide[8] = 0xFF;
    wide[9] = 0x7F;  // x max 32767: width 32768
    wide[66] = 0x00;
    wide[67] = 0x80;
    wide.resize(wide.size() + 2000, 0xFF);
    EXPECT_EQ(Picture_Decode(wide.data(), wide.size()), nullptr);
    EXPECT_EQ(Picture_Decode(wide.data(), 100), nullptr) << "shorter than a header";

    // A run longer than the row stops at the row's end; the next row starts fresh.
    std::vector<uint8_t> two = Header(3, 3);
    two[10] = 1;  // two rows
    for (uint8_t b : {0xFF, 5, 0xC3, 6}) two.push_back(b);
    uint8_t* image = Picture_Decode(two.data(), two.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[8 + 2], 5);
    EXPECT_EQ(image[8 + 3], 6) << "the run of 63 did not spill into the second row";
    delete[] image;
    two.resize(two.size() - 2);
    EXPECT_EQ(Picture_Decode(two.data(), two.size()), nullptr) << "rows missing";

    // Bytes per line above the width: the padding is decoded and dropped.
    std::vector<uint8_t> padded = Header(2, 4);
    for (uint8_t b : {1, 2, 3, 4}) padded.push_back(b);
    image = Picture_Decode(padded.data(), padded.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[8], 1);
    EXPECT_EQ(image[9], 2);
    delete[] image;

    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(padded.data(), 1, padded.size(), f);
    std::fclose(f);
    EXPECT_EQ(Picture_CheckFile(path.c_str(), nullptr), 0) << "too short for a palette";
    EXPECT_EQ(Picture_Read("/nonexistent/none.pcx"), nullptr);
}

TEST_F(PictureTest, FailedWritesReportFailure) {
    uint8_t palette[kPicturePaletteSize] = {};
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 8, 8, nullptr, kGraphicFormat8);
    EXPECT_EQ(Picture_Write("/nonexistent/dir/x.pcx", &b, palette), 0);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(Picture_Write("/dev/full", &b, palette), 0);
    }
    Graphic_FreeBuffer(&b);
}

// Pictures of shots and effects drawn by the software renderer: the sample sprites served from a
// scratch data root, the sample world's colour tables swapped in (and put back afterwards), and
// helpers to open a small 8-bit frame, count its ink and write it out for a person to look at.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "colortables.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/sprite.h"
#include "render/view.h"
#include "sprite_writer.h"
#include "support/data_root_fixture.h"
#include "weapons_fixture.h"

class PictureFixture : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        std::vector<content::ArchiveRecord> files;
        for (const content::NamedFile& f : content::SampleSpriteFiles()) files.push_back({f.name, f.bytes, false, 0});
        scratch_.Open();
        scratch_.Install(files, "data.zfs");
        Sprite_Reset();
        ASSERT_EQ(Sprite_LoadTable(), 1);
        Sprite_InstallSeam();
        Render_InstallBillboards();
        ASSERT_EQ(RenderQueue_Init(), 1);
        saved_.assign(3 * 65536, 0);
        std::memcpy(saved_.data(), LumaTable, 65536);
        std::memcpy(saved_.data() + 65536, TranslucencyTable, 65536);
        std::memcpy(saved_.data() + 2 * 65536, AlphaTable, 65536);
        const content::ColorTables tables = content::MakeColorTables(content::MakeWorldPalette());
        std::memcpy(LumaTable, tables.luma.data(), 65536);
        std::memcpy(TranslucencyTable, tables.translucency.data(), 65536);
        std::memcpy(AlphaTable, tables.alpha.data(), 65536);
    }
    void TearDown() override {
        std::memcpy(LumaTable, saved_.data(), 65536);
        std::memcpy(TranslucencyTable, saved_.data() + 65536, 65536);
        std::memcpy(AlphaTable, saved_.data() + 2 * 65536, 65536);
        RenderQueue_Close();
        Sprite_Reset();
        WeaponsFixture::TearDown();
        scratch_.Close();
    }

    // A cleared width x height frame and a view looking down +z from the origin into it, with an
    // empty render queue.
    static void OpenFrame(GraphicBuffer* frame, RenderView* view, int width, int height) {
        Graphic_InitBuffer(frame, width, height, nullptr, kGraphicFormat8);
        Graphic_Clear(frame, 0);
        View_Init(view, frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        RenderQueue_Reset();
    }

    // How many pixels in [left, right) x [top, bottom) are not the background colour.
    static int InkIn(const GraphicBuffer& frame, int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += frame.pixels[y * frame.width + x] != 0;
        return n;
    }

    // Writes the frame as a binary PPM in the sample world's colours next to the test data.
    static void SavePicture(const GraphicBuffer& frame, const char* name) {
        const char* data = std::getenv("GV_TEST_DATA");
        const std::filesystem::path dir =
            data ? std::filesystem::path(data).parent_path() : std::filesystem::current_path();
        const std::vector<uint8_t> palette = content::MakeWorldPalette();
        std::ofstream out(dir / name, std::ios::binary);
        out << "P6\n" << frame.width << " " << frame.height << "\n255\n";
        for (int i = 0; i < frame.width * frame.height; ++i)
            out.write(reinterpret_cast<const char*>(palette.data() + frame.pixels[i] * 3), 3);
    }

    ScratchDataRoot scratch_;
    std::vector<uint8_t> saved_;
};

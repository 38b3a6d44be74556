// A scratch data root holding sprite tables and pages made with the content writers, the sprite,
// font and blit state put back around each test, and small 8-bit targets.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "render/blit.h"
#include "render/font.h"
#include "render/graphicdriver.h"
#include "render/sprite.h"
#include "sprite_writer.h"
#include "support/data_root_fixture.h"

class SpriteTest : public DataRootTest {
protected:
    void SetUp() override {
        DataRootTest::SetUp();
        ResetSpriteState();
    }
    void TearDown() override {
        ResetSpriteState();
        for (GraphicBuffer& b : buffers_) Graphic_FreeBuffer(&b);
        DataRootTest::TearDown();
    }
    static void ResetSpriteState() {
        Sprite_Reset();
        Font_Reset();
        Blit_Reset();
        GraphicD3DFlags = 0;
    }
    // Installs "sprite8.stb" with the records and the given pages, then loads it.
    int Load(const std::vector<content::SpriteRecordSpec>& records, const std::vector<content::NamedFile>& pages) {
        std::vector<content::ArchiveRecord> files;
        files.push_back({"sprite8.stb", content::SpriteTableBytes(records), false, 0});
        for (const content::NamedFile& p : pages) files.push_back({p.name, p.bytes, false, 0});
        Install(files);
        return Sprite_LoadTable();
    }
    // A page whose pixel at (x, y) is x + 16 y (below 255).
    static content::NamedFile CountingPage(const std::string& name, int width, int height) {
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>((x + 16 * y) % 255);
        return {name, content::SpritePageBytes(width, height, pixels)};
    }
    GraphicBuffer* Target(int width, int height, int fill = 0) {
        buffers_.emplace_back();
        GraphicBuffer* b = &buffers_.back();
        Graphic_InitBuffer(b, width, height, nullptr, kGraphicFormat8);
        Graphic_Clear(b, fill);
        return b;
    }
    static uint8_t At(const GraphicBuffer* b, int x, int y) { return b->pixels[y * b->width + x]; }

private:
    std::deque<GraphicBuffer> buffers_{};
};

// Sprite tables and their pages are outside input: any table with any page must load, and every
// sprite must draw, plain and scaled, without reading past its page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_seeds.h"
#include "platform/msgbox.h"
#include "render/sprite.h"
#include "render/view.h"

namespace {
std::string g_table, g_page;
const uint8_t* Use(const char* name, size_t* size) {
    const std::string& file = std::string(name) == "sprite8.stb" ? g_table : g_page;
    *size = file.size();
    return reinterpret_cast<const uint8_t*>(file.data());
}
void Release(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = content::FuzzUnframe(data, size, 2);
    g_table = parts[0];
    g_page = parts[1];
    g_table.shrink_to_fit();
    g_page.shrink_to_fit();
    const SpriteFiles files{Use, Release};
    Sprite_SetFiles(&files);
    Sprite_LoadTable();
    GraphicBuffer target;
    Graphic_InitBuffer(&target, 48, 32, nullptr, kGraphicFormat8);
    RenderView view;
    View_Init(&view, &target, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    for (int i = 0; i < SpriteCount && i < 64; ++i) {
        Sprite_Draw(&target, i, 10, 10, kSpriteCentreX | static_cast<uint32_t>(i & 7));
        Sprite_DrawScaled(&view, i, 20, 12, 5, 30, 9, static_cast<uint32_t>(i & 7));
        Sprite_CentreTexel(i);
    }
    Graphic_FreeBuffer(&target);
    Sprite_Reset();
    Plat_ClearMessageBoxLog();  // the warnings of a refused table
    return 0;
}

// Font files are outside input: any ".fnt" must load or be refused, and a loaded font must draw
// and measure any text without reading or writing outside its glyphs or the target.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text.h"
#include "render/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t flags = (data[0] & 1) ? kFontDoubleByte | 2 : 2;
    const std::vector<uint8_t> file(data + 1, data + size);  // exact size for the sanitizer
    BitmapFont* font = Font_LoadBytes(file.data(), file.size(), flags);
    if (!font) return 0;
    DbcsLeadTable[0x81] = 3;
    Text_SetLanguage((flags & kFontDoubleByte) != 0, nullptr);
    std::string text;
    for (int c = 1; c < 256; c += 7) text += static_cast<char>(c);
    text += "\t\x81\x05\nA";
    GraphicBuffer target;
    Graphic_InitBuffer(&target, 40, 20, nullptr, kGraphicFormat8);
    Graphic_SetClipRect(&target, 3, 2, 30, 15);
    Font_DrawText(font, &target, -5, -3, text.c_str());
    Font_DrawText(font, &target, 20, 10, text.c_str());
    int w = 0, h = 0;
    Font_MeasureText(font, text.c_str(), &w, &h);
    Graphic_FreeBuffer(&target);
    Font_Free(font);
    Text_SetLanguage(false, nullptr);
    return 0;
}

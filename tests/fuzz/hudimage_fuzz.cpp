// Display raw images and the saved mission timer are outside input: any image must be taken
// whole or refused, and any saved timer must load (or stop at its first bad field) and then run
// and draw without harm.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "fuzz_seeds.h"
#include "interface/hudbasic.h"
#include "render/graphicbuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = content::FuzzUnframe(data, size, 3);
    // Each part in a buffer of its own exact size, so that any read past it is caught.
    const std::vector<uint8_t> image(parts[1].begin(), parts[1].end());
    GraphicBuffer picture;
    if (Hud_ReadRawImage(image.data(), image.size(), &picture) == 0) {
        unsigned sum = 0;
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x) sum += picture.pixels[size_t(y) * size_t(picture.width) + x];
        (void)sum;
        Graphic_FreeBuffer(&picture);
    }

    const std::vector<char> stream(parts[2].begin(), parts[2].end());
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    Field_SetBinary(!parts[0].empty() && (parts[0][0] & 1));
    Field_SetVersion(kSaveVersionCurrent);
    Field_BeginRead(stream.data(), stream.size());
    MissionTimer_Load();
    Field_EndRead();
    Field_SetBinary(false);
    // The world start lists a shown timer again; a few seconds run; then the digits are drawn.
    timer.Start();
    GraphicBuffer screen;
    Graphic_InitBuffer(&screen, 640, 48, nullptr, kGraphicFormat8);
    Hud_Context().buffer = &screen;
    for (int frame = 0; frame < 8; ++frame) {
        timer.Update(0.4f);
        timer.Draw();
    }
    Hud_Context().buffer = nullptr;
    Graphic_FreeBuffer(&screen);
    timer.End();
    return 0;
}

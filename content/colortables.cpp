#include "colortables.h"

#include "archive_writer.h"

#include <filesystem>
#include <system_error>
#include <cstring>
#include <fstream>

#include "render/graphicdriver.h"
#include "render/palette.h"

namespace content {

std::vector<uint8_t> MakeWorldPalette() {
    std::vector<uint8_t> palette(768, 0);
    int index = 1;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b, ++index) {
                palette[index * 3 + 0] = static_cast<uint8_t>(r * 51);
                palette[index * 3 + 1] = static_cast<uint8_t>(g * 51);
                palette[index * 3 + 2] = static_cast<uint8_t>(b * 51);
            }
    for (; index < 255; ++index) {
        int grey = 6 + (index - 217) * 243 / 37;
        if (grey % 51 == 0) grey += 3;  // the cube has those greys already
        palette[index * 3 + 0] = palette[index * 3 + 1] = palette[index * 3 + 2] = static_cast<uint8_t>(grey);
    }
    // The sky is cleared to this entry wherever the sky plane does not reach (beyond its far edge,
    // and the whole sky at the plainest detail), so it takes a blue between the sky tile's two
    // blues rather than a grey. It is a colour of its own, so every entry blends back to itself.
    palette[kSkyClearIndex * 3 + 0] = 120;
    palette[kSkyClearIndex * 3 + 1] = 160;
    palette[kSkyClearIndex * 3 + 2] = 255;
    palette[255 * 3 + 0] = 255;
    palette[255 * 3 + 1] = 0;
    palette[255 * 3 + 2] = 255;
    return palette;
}

namespace {

// The rows above a colour's own (full fog, and the sky plane's far edge, light 1) run from the
// colour into the sky's clear colour instead of on towards white, ending on it in row 0: fogged
// ground at the edge of the visibility range and the sky plane's far edge meet the clear colour
// that shows beyond them without a seam. The rows a lit surface takes keep nearly their colour
// (the share of haze grows with the cube of the step). The clear colour's own column, the colour
// sky's, runs from black to a darker sky blue at full light and on up to the clear colour, so
// the colour sky still pales from the zenith towards the horizon.
constexpr int kHazeRows = 8;  // rows 7..0: the built rows reach the colour at row 7
constexpr float kZenithShare = 0.75f;

void HazeTopRows(const std::vector<uint8_t>& palette) {
    float haze[3];
    for (int c = 0; c < 3; ++c) haze[c] = palette[kSkyClearIndex * 3 + c] / 255.0f;
    auto nearest = [](const float rgb[3]) { return static_cast<uint8_t>(Palette_FindNearest(rgb[0], rgb[1], rgb[2])); };
    for (int column = 0; column < 255; ++column) {
        float colour[3];
        for (int c = 0; c < 3; ++c) colour[c] = palette[column * 3 + c] / 255.0f;
        if (column == kSkyClearIndex) {
            for (int c = 0; c < 3; ++c) colour[c] *= kZenithShare;
            for (int row = kHazeRows; row < kLightLevels; ++row) {
                const float t = float(kLightLevels - 1 - row) / float(kLightLevels - 1 - kHazeRows);
                float mixed[3];
                for (int c = 0; c < 3; ++c) mixed[c] = 0.01f + (colour[c] - 0.01f) * t;
                LumaTable[row][column] = nearest(mixed);
            }
        }
        for (int row = 1; row < kHazeRows; ++row) {
            const float step = float(kHazeRows - row) / float(kHazeRows);
            const float t = step * step * step;
            float mixed[3];
            for (int c = 0; c < 3; ++c) mixed[c] = colour[c] + (haze[c] - colour[c]) * t;
            LumaTable[row][column] = nearest(mixed);
        }
        LumaTable[0][column] = static_cast<uint8_t>(kSkyClearIndex);
    }
    Palette_FillClampRows(-1);
}

}  // namespace

ColorTables MakeColorTables(const std::vector<uint8_t>& palette) {
    ColorTables tables;
    tables.palette = palette;
    GraphicDriver* driver = new GraphicDriver;
    std::memcpy(driver->palette, palette.data(), 768);

    Palette_Load(driver, nullptr);
    HazeTopRows(palette);
    tables.luma.assign(&LumaTable[0][0], &LumaTable[0][0] + 65536);

    Palette_BuildBlendTable(driver, kTranslucencyOpacity);
    tables.translucency.assign(&TranslucencyTable[0][0], &TranslucencyTable[0][0] + 65536);

    tables.alpha.assign(65536, 0);
    Palette_BuildBlendInto(reinterpret_cast<uint8_t(*)[256]>(tables.alpha.data()), driver, kAlphaOpacity);
    delete driver;
    return tables;
}

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool WriteColorTables(const std::string& dir, std::string* error) {
    ColorTables tables = MakeColorTables(MakeWorldPalette());
    // Loose beside the archive for the tools, and packed so the game finds them through its index.
    const std::string pack = dir + "/" + kPackDirectory;
    std::error_code ec;
    std::filesystem::create_directories(pack, ec);
    if (ec) {
        if (error) *error = "cannot create " + pack + ": " + ec.message();
        return false;
    }
    for (const std::string& where : {dir, pack})
        if (!WriteFile(where + "/" + kPaletteFile, tables.palette, error) ||
            !WriteFile(where + "/" + kLumaFile, tables.luma, error) ||
            !WriteFile(where + "/" + kTranslucencyFile, tables.translucency, error) ||
            !WriteFile(where + "/" + kAlphaFile, tables.alpha, error))
            return false;
    return true;
}

}  // namespace content

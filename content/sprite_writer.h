// Bitmap fonts, sprite tables and their texture pages, and the sample world's copies of them:
// the main font ("kolta.fnt", also written as "base6x76.fnt"), loose in the data root, and
// "sprite8.stb" with its ".MAP" pages in the archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct GlyphSpec {
    int width = 0;
    // height rows: single-byte fonts width bytes a row (255 background); double-byte fonts one
    // byte a row up to width 8, else two, bits most significant first.
    std::string rows;
};
struct FontSpec {
    int height = 0;
    bool doubleByte = false;
    std::vector<GlyphSpec> glyphs;
};
std::string FontFileBytes(const FontSpec& font);
// Our own 3 x 5 letter design in an 8-pixel-high cell, 256 glyphs, ink colour 15.
FontSpec SampleFont();
// The sample font's glyph of a character as 0/1 bits (width x height), for pages drawn from it.
std::vector<uint8_t> SampleGlyphBits(int code, int* width, int* height);

struct SpriteRecordSpec {
    std::string name;  // up to 32 characters
    std::string page;  // up to 8 characters
    int x = 0, y = 0, width = 0, height = 0;
    uint32_t flags = 0;
};
std::string SpriteTableBytes(const std::vector<SpriteRecordSpec>& records);
// A page: 16-bit row length in bytes, 16-bit pixel shift, 32-bit height, then the rows.
std::string SpritePageBytes(int width, int height, const std::vector<uint8_t>& pixels, int shift = 0);

struct NamedFile {
    std::string name;
    std::string bytes;
};
// Makes every 8-bit page a square of 16 to 256 texels a side (the hardware driver takes no
// other), padded with the key colour; a page taller than 256 rows is cut into pages of 256 rows,
// the later ones named after it with a digit in its eighth place, and the records on them move
// along (a record must not cross a cut).
void SquareSpritePages(std::vector<SpriteRecordSpec>& records, std::vector<NamedFile>& files);
// The sample sprite table and its pages (archive records).
std::vector<NamedFile> SampleSpriteFiles();

// Writes the fonts into dir and the sprite files into its pack directory.
bool WriteSpriteWorld(const std::string& dir, std::string* error);

}  // namespace content

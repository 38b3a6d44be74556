#include "sprite_writer.h"

#include "colortables.h"
#include "cockpit_sprites.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <fstream>
#include <system_error>

#include "archive_writer.h"
#include "core/bytes.h"

namespace content {

namespace {

constexpr int kCellHeight = 8;
constexpr uint8_t kInk = 15;
constexpr uint8_t kKey = 255;
constexpr int kSmokePageSide = 128;
constexpr int kSmokeCell = 32;  // a puff's square on the smoke page

// How far a puff's rim falls short of its radius at a texel (0 to 1 texel): an uneven edge
// without holes.
double RimJitter(int x, int y) { return ((x * 7 + y * 11) % 5) * 0.25; }

// Each letter is 3 x 5 cells, rows top to bottom, '#' ink.
struct Letter {
    char code;
    const char* rows;
};
const Letter kLetters[] = {
    {'0', "####.##.##.####"}, {'1', ".#.##..#..#.###"}, {'2', "###..#####..###"}, {'3', "###..#.##..####"},
    {'4', "#.##.####..#..#"}, {'5', "####..###..####"}, {'6', "####..####.####"}, {'7', "###..#..#.#..#."},
    {'8', "####.#####.####"}, {'9', "####.####..####"}, {'A', ".#.#.#####.##.#"}, {'B', "##.#.###.#.###."},
    {'C', ".###..#..#...##"}, {'D', "##.#.##.##.###."}, {'E', "####..##.#..###"}, {'F', "####..##.#..#.."},
    {'G', ".###..#.##.#.##"}, {'H', "#.##.#####.##.#"}, {'I', "###.#..#..#.###"}, {'J', "..#..#..##.#.#."},
    {'K', "#.##.###.#.##.#"}, {'L', "#..#..#..#..###"}, {'M', "#.########.##.#"}, {'N', "##.#.##.##.##.#"},
    {'O', ".#.#.##.##.#.#."}, {'P', "##.#.###.#..#.."}, {'Q', ".#.#.##.###..##"}, {'R', "##.#.###.#.##.#"},
    {'S', ".###...#...###."}, {'T', "###.#..#..#..#."}, {'U', "#.##.##.##.####"}, {'V', "#.##.##.##.#.#."},
    {'W', "#.##.########.#"}, {'X', "#.##.#.#.#.##.#"}, {'Y', "#.##.#.#..#..#."}, {'Z', "###..#.#.#..###"},
    {'.', ".............#."}, {',', "..........#.#.."}, {':', "....#.....#...."}, {'-', "......###......"},
    {'+', "....#.###.#...."}, {'/', "..#..#.#.#..#.."}, {'!', ".#..#..#.....#."}, {'?', "##...#.#.....#."},
    {'<', "..#.#.#...#...#"}, {'>', "#...#...#.#.#.."}, {'(', ".#.#..#..#...#."}, {')', ".#...#..#..#.#."},
    {'*', "...#.#.#.#.#..."}, {'=', "...###...###..."}, {'%', "#.#..#.#.#..#.#"}, {'\'', ".#..#.........."},
    {'_', "............###"}, {'[', "##.#..#..#..##."}, {']', ".##..#..#..#.##"}, {'#', "#.#####.#####.#"},
};

// A letter's 15 cells, or null for a code without a design.
const char* LetterRows(int code) {
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    for (const Letter& l : kLetters)
        if (l.code == code) return l.rows;
    return nullptr;
}

void PutU32(std::string& b, uint32_t v) { Bytes_AppendU32(b, v); }

}  // namespace

std::vector<uint8_t> SampleGlyphBits(int code, int* width, int* height) {
    *height = kCellHeight;
    code &= 0xFF;
    if (code < 32) {
        *width = 0;
        return {};
    }
    if (code == ' ') {
        *width = 3;
        return std::vector<uint8_t>(3 * kCellHeight, 0);
    }
    *width = 4;
    std::vector<uint8_t> bits(4 * kCellHeight, 0);
    const char* rows = LetterRows(code);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) {
            bool ink;
            if (rows) {
                ink = rows[y * 3 + x] == '#';
            } else {
                ink = code >= 128 ? (x + y) % 2 == 0 : y == 0 || y == 4 || x == 0 || x == 2;  // a box
            }
            bits[static_cast<size_t>((y + 1) * 4 + x)] = ink ? 1 : 0;
        }
    return bits;
}

std::string FontFileBytes(const FontSpec& font) {
    std::string b;
    const uint32_t count = static_cast<uint32_t>(font.glyphs.size());
    PutU32(b, 0);
    PutU32(b, count);
    PutU32(b, static_cast<uint32_t>(font.height));
    PutU32(b, 0);
    uint32_t offset = 16 + 4 * count;
    for (const GlyphSpec& g : font.glyphs) {
        PutU32(b, offset);
        offset += 4 + static_cast<uint32_t>(g.rows.size());
    }
    for (const GlyphSpec& g : font.glyphs) {
        PutU32(b, static_cast<uint32_t>(g.width));
        b += g.rows;
    }
    return b;
}

FontSpec SampleFont() {
    FontSpec font;
    font.height = kCellHeight;
    for (int code = 0; code < 256; ++code) {
        int w, h;
        std::vector<uint8_t> bits = SampleGlyphBits(code, &w, &h);
        GlyphSpec g;
        g.width = w;
        for (uint8_t bit : bits) g.rows.push_back(static_cast<char>(bit ? kInk : kKey));
        font.glyphs.push_back(g);
    }
    return font;
}

std::string SpriteTableBytes(const std::vector<SpriteRecordSpec>& records) {
    std::string b;
    for (const SpriteRecordSpec& r : records) {
        std::string name = r.name.substr(0, 32), page = r.page.substr(0, 8);
        name.resize(32, '\0');
        page.resize(8, '\0');
        b += name;
        b += page;
        Bytes_AppendU16(b, static_cast<uint32_t>(r.x));
        Bytes_AppendU16(b, static_cast<uint32_t>(r.y));
        Bytes_AppendU16(b, static_cast<uint32_t>(r.width));
        Bytes_AppendU16(b, static_cast<uint32_t>(r.height));
        PutU32(b, r.flags);
    }
    return b;
}

std::string SpritePageBytes(int width, int height, const std::vector<uint8_t>& pixels, int shift) {
    std::string b;
    Bytes_AppendU16(b, static_cast<uint32_t>(width << shift));
    Bytes_AppendU16(b, static_cast<uint32_t>(shift));
    PutU32(b, static_cast<uint32_t>(height));
    b.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
    return b;
}

namespace {

constexpr int kLargestSquarePage = 256;

uint8_t NearestWorldColour(int r, int g, int b) {
    static const std::vector<uint8_t> palette = MakeWorldPalette();
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 255; ++i) {
        const long dr = palette[i * 3] - r, dg = palette[i * 3 + 1] - g, db = palette[i * 3 + 2] - b;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<uint8_t>(best);
}

bool IsPageFile(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".MAP") == 0; }

}  // namespace

void SquareSpritePages(std::vector<SpriteRecordSpec>& records, std::vector<NamedFile>& files) {
    std::vector<NamedFile> out;
    for (NamedFile& file : files) {
        const std::string& b = file.bytes;
        const auto* head = reinterpret_cast<const uint8_t*>(b.data());
        if (!IsPageFile(file.name) || b.size() < 8 || Bytes_U16(head + 2) != 0) {
            out.push_back(std::move(file));
            continue;
        }
        const int width = Bytes_U16(head), height = static_cast<int>(Bytes_U32(head + 4));
        const std::string stem = file.name.substr(0, file.name.size() - 4);
        const int bands = std::max(1, (height + kLargestSquarePage - 1) / kLargestSquarePage);
        for (int band = 0; band < bands; ++band) {
            const int top = band * kLargestSquarePage, rows = std::min(kLargestSquarePage, height - top);
            int side = 16;
            while (side < std::max(width, rows)) side *= 2;
            std::vector<uint8_t> pixels(static_cast<size_t>(side) * side, kKey);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < width; ++x)
                    pixels[static_cast<size_t>(y) * side + x] =
                        static_cast<uint8_t>(b[8 + static_cast<size_t>(top + y) * width + x]);
            const std::string name = band == 0 ? stem : stem.substr(0, 7) + static_cast<char>('0' + band);
            out.push_back({name + ".MAP", SpritePageBytes(side, side, pixels)});
            if (band == 0) continue;
            for (SpriteRecordSpec& r : records)
                if (r.page == stem && r.y >= top && r.y < top + rows) r.page = name, r.y -= top;
        }
    }
    files = std::move(out);
}

std::vector<NamedFile> SampleSpriteFiles() {
    std::vector<SpriteRecordSpec> records;
    std::vector<NamedFile> files;
    // The character sprites: 16 x 16 cells of 4 x 8 on one page. Their ink is white: the
    // software driver draws them as silhouettes in the text colour, the hardware one multiplies
    // the texel by that colour.
    const uint8_t charInk = NearestWorldColour(255, 255, 255);
    std::vector<uint8_t> chars(64 * 128, kKey);
    for (int code = 0; code < 256; ++code) {
        int w, h;
        std::vector<uint8_t> bits = SampleGlyphBits(code, &w, &h);
        const int cx = (code % 16) * 4, cy = (code / 16) * 8;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                chars[static_cast<size_t>((cy + y) * 64 + cx + x)] = bits[static_cast<size_t>(y * w + x)] ? charInk : kKey;
        records.push_back({"char." + std::to_string(code), "charset", cx, cy, w, h, 0});
    }
    files.push_back({"charset.MAP", SpritePageBytes(64, 128, chars)});
    // Smoke, the sun and a marker with a coloured twin of its page share a 32 x 32 page. The
    // smoke is a grey puff: a light core in a darker ring (colours of the world palette, whose
    // low entries are a colour cube, not a grey ramp).
    const uint8_t smokeCore = NearestWorldColour(200, 200, 200), smokeRing = NearestWorldColour(160, 160, 160);
    std::vector<uint8_t> fx(32 * 32, kKey), fxRed(32 * 32, kKey);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const double d = std::hypot(x - 5.5, y - 5.5);
            if (d < 6.0) fx[static_cast<size_t>(y * 32 + x)] = d < 3.0 ? smokeCore : smokeRing;
        }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double d = std::hypot(x - 7.5, y - 7.5);
            if (d < 8.0) fx[static_cast<size_t>(y * 32 + 16 + x)] = static_cast<uint8_t>(d < 5.0 ? 254 : 251);
        }
    for (int y = 16; y < 24; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool edge = x == 0 || x == 7 || y == 16 || y == 23;
            fx[static_cast<size_t>(y * 32 + x)] = edge ? 31 : kKey;
            fxRed[static_cast<size_t>(y * 32 + x)] = edge ? 200 : kKey;
        }
    records.push_back({"lsmoke.12", "effects", 0, 0, 12, 12, 0});
    records.push_back({"sun", "effects", 16, 0, 16, 16, 0});
    records.push_back({"marker", "effects", 0, 16, 8, 8, 6});
    files.push_back({"effects.MAP", SpritePageBytes(32, 32, fx)});
    files.push_back({"effects_6.MAP", SpritePageBytes(32, 32, fxRed)});
    // The smoke and dust animations on a 128 x 128 page: light, medium, dark and black smoke and
    // tan dust, each a round puff with a ragged rim well inside its 32 x 32 cell (however far it is
    // stretched it never shows the cell's square). A puff thins out as it ages: its first half of
    // frames is whole, the next quarter a smaller puff and the last quarter a small one, so that
    // an old puff (and the faint halo a rocket's glow draws with "lsmoke.12") covers little of the
    // world. Every puff is solid within its rim: the puffs draw see-through anyway (the sprite
    // drawing blends them), and a puff with holes, stretched over a near view, would be a grid of
    // large squares.
    {
        struct Puff {
            const char* stem;
            int frames;
            int r, g, b;
        };
        const Puff puffs[] = {{"lsmoke", 16, 200, 200, 200},
                              {"msmoke", 16, 150, 150, 150},
                              {"dsmoke", 16, 95, 95, 95},
                              {"bsmoke", 16, 45, 45, 45},
                              {"dust", 32, 200, 150, 95}};
        std::vector<uint8_t> page(kSmokePageSide * kSmokePageSide, kKey);
        int cell = 0;
        int smokeLeft = 0, smokeTop = 0, thinLeft = 0, thinTop = 0;  // the medium smoke's whole and thinned cells
        for (const Puff& p : puffs) {
            const uint8_t core = NearestWorldColour(p.r, p.g, p.b);
            const uint8_t rim = NearestWorldColour(p.r * 4 / 5, p.g * 4 / 5, p.b * 4 / 5);
            int cellLeft[3], cellTop[3];
            for (int density = 0; density < 3; ++density, ++cell) {
                const int left = (cell % 4) * kSmokeCell, top = (cell / 4) * kSmokeCell;
                cellLeft[density] = left, cellTop[density] = top;
                const double radius = density == 0 ? 13.0 : density == 1 ? 10.0 : 7.0;
                const double coreRadius = density == 0 ? 7.0 : density == 1 ? 5.0 : 3.0;
                for (int y = 0; y < kSmokeCell; ++y)
                    for (int x = 0; x < kSmokeCell; ++x)
                        if (std::hypot(x - 15.5, y - 15.5) < radius - RimJitter(x, y))
                            page[static_cast<size_t>((top + y) * kSmokePageSide + left + x)] =
                                std::hypot(x - 15.5, y - 15.5) < coreRadius ? core : rim;
            }
            for (int i = 0; i < p.frames; ++i) {
                const int density = i < p.frames / 2 ? 0 : i < p.frames * 3 / 4 ? 1 : 2;
                records.push_back({std::string(p.stem) + "." + std::to_string(i), "smoke", cellLeft[density],
                                   cellTop[density], kSmokeCell, kSmokeCell, 0});
            }
            if (std::string(p.stem) == "msmoke") {
                smokeLeft = cellLeft[0], smokeTop = cellTop[0];
                thinLeft = cellLeft[1], thinTop = cellTop[1];
            }
        }
        // The explosions' fireball, "xfire.0" .. "xfire.15": a yellow and orange ball in the last
        // cell for the first six frames, then the medium smoke it leaves, whole and then thinning.
        {
            const int left = (cell % 4) * kSmokeCell, top = (cell / 4) * kSmokeCell;
            const uint8_t core = NearestWorldColour(255, 230, 120), rim = NearestWorldColour(255, 120, 30);
            for (int y = 0; y < kSmokeCell; ++y)
                for (int x = 0; x < kSmokeCell; ++x) {
                    const double d = std::hypot(x - 15.5, y - 15.5);
                    if (d < 13.0 - RimJitter(x, y))
                        page[static_cast<size_t>((top + y) * kSmokePageSide + left + x)] = d < 8.0 ? core : rim;
                }
            for (int i = 0; i < 16; ++i) {
                const int x = i < 6 ? left : i < 12 ? smokeLeft : thinLeft;
                const int y = i < 6 ? top : i < 12 ? smokeTop : thinTop;
                records.push_back({"xfire." + std::to_string(i), "smoke", x, y, kSmokeCell, kSmokeCell, 0});
            }
        }
        files.push_back({"smoke.MAP", SpritePageBytes(kSmokePageSide, kSmokePageSide, page)});
    }
    // The sprite effects on their own 128 x 16 page: an exhaust flame, a ground splash, a
    // building puff, a spark and a shock-wave band, each shared by all its frames and rows.
    {
        const std::vector<uint8_t> pal = MakeWorldPalette();
        auto colour = [&](int r, int g, int b) {
            int best = 0;
            long bestDistance = -1;
            for (int i = 0; i < 255; ++i) {
                const long dr = pal[i * 3] - r, dg = pal[i * 3 + 1] - g, db = pal[i * 3 + 2] - b;
                const long d = dr * dr + dg * dg + db * db;
                if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
            }
            return static_cast<uint8_t>(best);
        };
        std::vector<uint8_t> page(128 * 16, kKey);
        const uint8_t flameHot = colour(255, 240, 160), flame = colour(255, 140, 40), flameRim = colour(200, 60, 20),
                      splash = colour(200, 190, 160),
                      puff = colour(170, 200, 255), spark = colour(255, 255, 200), band = colour(230, 230, 255);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double dx = x - 7.5, dy = y - 7.5, d = std::hypot(dx, dy);
                uint8_t* px = &page[static_cast<size_t>(y * 128 + x)];
                // A flame laid along the rows, as the flame's quads lay the sprite: its root in the
                // top row, narrowing down to its tip; a hot core, shading out through orange to a
                // ragged dark rim, so its edges do not draw as a hard strip.
                const double half = 7.5 * (1.0 - y / 16.0), across = std::fabs(dx);
                if (across < half) {
                    if (across < 0.4 * half && y < 11) *px = flameHot;
                    else if (across < 0.75 * half) *px = flame;
                    else if ((x + y) & 1) *px = flameRim;
                }
                if (d < 7.5 && d > 4.0) px[16] = splash;
                if (d < 7.0) px[32] = puff;
                if (d < 3.0) px[48] = spark;
            }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 4; ++x) page[static_cast<size_t>(y * 128 + 64 + x)] = band;
        const struct {
            const char* stem;
            int frames;
            int x, w;
        } effects[] = {{"exhaust_b", 4, 0, 16},  {"splash", 28, 16, 16},   {"bpuff", 28, 32, 16},
                       {"particle", 16, 48, 16}, {"shockwave", 16, 64, 4}};
        for (const auto& e : effects)
            for (int i = 0; i < e.frames; ++i)
                records.push_back({std::string(e.stem) + "." + std::to_string(i), "effects2", e.x, 0, e.w, 16, 0});
        files.push_back({"effects2.MAP", SpritePageBytes(128, 16, page)});

        // Rockets and lock-on weapons on an 80 x 16 page: a glow tapering behind the rocket, a
        // flare, a trail puff, a tracer streak and a lock frame shared by the lock icons.
        std::vector<uint8_t> shots(80 * 16, kKey);
        const uint8_t glow = colour(255, 170, 60), flare = colour(255, 255, 220), trail = colour(190, 190, 190),
                      streak = colour(255, 230, 90), lock = colour(255, 60, 60);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double dy = y - 7.5, d = std::hypot(x - 7.5, dy);
                uint8_t* px = &shots[static_cast<size_t>(y * 80 + x)];
                // The glow and the streak lie along the rows, as the shots' quads lay them: the
                // glow widest at the rocket (the top row), the streak a band down its length.
                if (std::fabs(x - 7.5) < 6.0 * (1.0 - y / 18.0)) px[0] = glow;
                if (d < 6.0) px[16] = flare;
                // The trail puff is round with a ragged rim, like the smoke, never the cell's square.
                if (d < 6.5 - 0.5 * RimJitter(x, y)) px[32] = trail;
                if (std::fabs(x - 7.5) < 6.0) px[48] = streak;
                if ((x < 2 || x > 13 || y < 2 || y > 13) && (std::abs(x - 7) > 3 || std::abs(y - 7) > 3)) px[64] = lock;
            }
        const struct {
            const char* stem;
            int first, frames;
            int x;
        } shotSprites[] = {{"rglow", 0, 4, 0},    {"rflare", 0, 4, 16}, {"rpuff", 0, 8, 32},   {"streak", 0, 1, 48},
                           {"lockstage", 1, 4, 64}, {"locked", 0, 1, 64}, {"tracking", 0, 1, 64}};
        for (const auto& e : shotSprites)
            for (int i = e.first; i < e.first + e.frames; ++i)
                records.push_back({std::string(e.stem) + "." + std::to_string(i), "effects3", e.x, 0, 16, 16, 0});
        files.push_back({"effects3.MAP", SpritePageBytes(80, 16, shots)});

        // Beams, bolts, flames and the charge gun's level icons on a 112 x 16 page: a beam band
        // bright at its core, a bolt band, a flame disc, and four icons with 0 to 3 bars lit.
        std::vector<uint8_t> streaks(112 * 16, kKey);
        const uint8_t beamEdge = colour(80, 200, 255), beamCore = colour(220, 250, 255), boltEdge = colour(150, 150, 255),
                      boltCore = colour(255, 255, 255), flameOuter = colour(255, 120, 30), flameInner = colour(255, 220, 90),
                      barOff = colour(90, 90, 90), barOn = colour(255, 200, 60);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                // A quad's sprite runs down its rows along the streak: the bands are columns.
                const double dx = std::fabs(x - 7.5), d = std::hypot(x - 7.5, y - 7.5);
                uint8_t* px = &streaks[static_cast<size_t>(y * 112 + x)];
                if (dx < 6.0) px[0] = dx < 2.0 ? beamCore : beamEdge;
                if (dx < 5.0) px[16] = dx < 1.5 ? boltCore : boltEdge;
                if (d < 7.5) px[32] = d < 4.0 ? flameInner : flameOuter;
                for (int level = 0; level < 4; ++level) {
                    const int bar = (x - 2) / 4;  // bars at x 2..5, 6..9, 10..13
                    if (x >= 2 && x < 14 && (x - 2) % 4 < 3 && y >= 3 && y < 13)
                        px[48 + 16 * level] = bar < level ? barOn : barOff;
                }
            }
        const struct {
            const char* name;
            int x;
        } streakSprites[] = {{"beam.0", 0}, {"bolt.0", 16}, {"chargelevel.0", 48}, {"chargelevel.1", 64},
                             {"chargelevel.2", 80}, {"chargelevel.3", 96}};
        for (const auto& e : streakSprites) records.push_back({e.name, "effects4", e.x, 0, 16, 16, 0});
        for (int i = 0; i < 8; ++i) records.push_back({"flame." + std::to_string(i), "effects4", 32, 0, 16, 16, 0});
        files.push_back({"effects4.MAP", SpritePageBytes(112, 16, streaks)});
    }
    // The paused banner: its text drawn with the font, keyed around it.
    const std::string banner = "<<< PAUSED >>>";
    std::vector<uint8_t> text(64 * 8, kKey);
    int pen = 0;
    for (char c : banner) {
        int w, h;
        std::vector<uint8_t> bits = SampleGlyphBits(static_cast<uint8_t>(c), &w, &h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w && pen + x < 64; ++x)
                if (bits[static_cast<size_t>(y * w + x)]) text[static_cast<size_t>(y * 64 + pen + x)] = kInk;
        pen += w;
    }
    records.push_back({banner, "banner", 0, 0, pen, 8, 0});
    files.push_back({"banner.MAP", SpritePageBytes(64, 8, text)});
    // The display's sprites on one page: three coloured sets of large digits (0..9 and the
    // colon), the timer's label, the counters' icons and a panel background.
    const std::vector<uint8_t> palette = MakeWorldPalette();
    auto nearest = [&](int r, int g, int b) {
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < 255; ++i) {
            const long dr = palette[i * 3] - r, dg = palette[i * 3 + 1] - g, db = palette[i * 3 + 2] - b;
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
        }
        return static_cast<uint8_t>(best);
    };
    constexpr int kHudW = 128, kHudH = 64;
    std::vector<uint8_t> hud(kHudW * kHudH, kKey);
    auto glyph = [&](int code, int px, int py, int scale, uint8_t colour) {
        int w, h;
        std::vector<uint8_t> bits = SampleGlyphBits(code, &w, &h);
        for (int y = 0; y < h * scale && py + y < kHudH; ++y)
            for (int x = 0; x < w * scale && px + x < kHudW; ++x)
                if (bits[static_cast<size_t>((y / scale) * w + x / scale)])
                    hud[static_cast<size_t>((py + y) * kHudW + px + x)] = colour;
        return w * scale;
    };
    const struct {
        const char* name;
        uint8_t colour;
    } digitSets[] = {{"bignum_G", nearest(0, 255, 0)}, {"bignum_Y", nearest(255, 255, 0)}, {"bignum_R", nearest(255, 0, 0)}};
    for (int set = 0; set < 3; ++set)
        for (int d = 0; d < 11; ++d) {
            glyph(d < 10 ? '0' + d : ':', d * 8, set * 12, 2, digitSets[set].colour);
            records.push_back({std::string(digitSets[set].name) + "." + std::to_string(d), "hud", d * 8, set * 12, 8, 10, 0});
        }
    int labelWidth = 0;
    for (char c : std::string("Mission Time")) labelWidth += glyph(static_cast<uint8_t>(c), labelWidth, 36, 1, kInk);
    records.push_back({"Mission Time", "hud", 0, 36, labelWidth, 8, 0});
    for (int y = 46; y < 54; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool edge = x % 8 == 0 || x % 8 == 7 || y == 46 || y == 53;
            hud[static_cast<size_t>(y * kHudW + x)] = edge ? kInk : (x < 8 ? nearest(0, 0, 255) : nearest(0, 255, 0));
        }
    records.push_back({"Scrap", "hud", 0, 46, 8, 8, 0});
    records.push_back({"Pilot", "hud", 8, 46, 8, 8, 0});
    for (int y = 32; y < 62; ++y)
        for (int x = 88; x < 128; ++x) {
            const bool edge = x == 88 || x == 127 || y == 32 || y == 61;
            hud[static_cast<size_t>(y * kHudW + x)] = edge ? nearest(153, 153, 153) : nearest(40, 40, 40);
        }
    records.push_back({"scrap_panel", "hud", 88, 32, 40, 30, 0});
    records.push_back({"pilot_panel", "hud", 88, 32, 40, 30, 0});
    files.push_back({"hud.MAP", SpritePageBytes(kHudW, kHudH, hud)});
    // The ground marker's three squares and the lens flare's rings on a page of their own.
    constexpr int kFxW = 64, kFxH = 32;
    std::vector<uint8_t> hudfx(kFxW * kFxH, kKey);
    const uint8_t groundColours[3] = {nearest(0, 255, 0), nearest(255, 255, 0), nearest(255, 0, 0)};
    const char* const groundNames[3] = {"ground.G", "ground.Y", "ground.R"};
    for (int k = 0; k < 3; ++k) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool edge = x == 0 || x == 7 || y == 0 || y == 7;
                const bool hatch = (x + y) % 4 == 0;
                if (edge || hatch) hudfx[static_cast<size_t>(y * kFxW + k * 8 + x)] = groundColours[k];
            }
        records.push_back({groundNames[k], "hudfx", k * 8, 0, 8, 8, 0});
    }
    const struct {
        int x, size;
        uint8_t colour;
    } rings[5] = {{0, 16, nearest(255, 255, 160)}, {16, 12, nearest(160, 200, 255)}, {28, 8, nearest(255, 200, 120)},
                  {36, 10, nearest(200, 255, 200)}, {46, 14, nearest(255, 160, 220)}};
    for (int k = 0; k < 5; ++k) {
        const double c = (rings[k].size - 1) * 0.5, r = rings[k].size * 0.5;
        for (int y = 0; y < rings[k].size; ++y)
            for (int x = 0; x < rings[k].size; ++x) {
                const double d = std::hypot(x - c, y - c);
                if (d < r && d >= r - 1.6) hudfx[static_cast<size_t>((8 + y) * kFxW + rings[k].x + x)] = rings[k].colour;
            }
        records.push_back({"ring." + std::to_string(k), "hudfx", rings[k].x, 8, rings[k].size, rings[k].size, 0});
    }
    files.push_back({"hudfx.MAP", SpritePageBytes(kFxW, kFxH, hudfx)});
    AppendCockpitSprites(records, files, nearest);
    SquareSpritePages(records, files);
    files.push_back({"sprite8.stb", SpriteTableBytes(records)});
    return files;
}

bool WriteSpriteWorld(const std::string& dir, std::string* error) {
    auto write = [&](const std::string& path, const std::string& bytes) {
        std::ofstream file(path, std::ios::binary);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file && error) *error = "cannot write " + path;
        return static_cast<bool>(file);
    };
    const std::string font = FontFileBytes(SampleFont());
    if (!write(dir + "/kolta.fnt", font) || !write(dir + "/base6x76.fnt", font)) return false;
    const std::string pack = dir + "/" + kPackDirectory;
    std::error_code ec;
    std::filesystem::create_directories(pack, ec);
    if (ec) {
        if (error) *error = "cannot create " + pack;
        return false;
    }
    for (const NamedFile& f : SampleSpriteFiles())
        if (!write(pack + "/" + f.name, f.bytes)) return false;
    return true;
}

}  // namespace content

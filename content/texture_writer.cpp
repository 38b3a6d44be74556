#include "texture_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/bytes.h"

namespace content {

namespace {

// ---- the sample pictures --------------------------------------------------------------------

// The world palette: 0 black, 1 + 36 r + 6 g + b the colour cube (0..5 each), 217..254 greys.
uint8_t Cube(int r, int g, int b) {
    auto c = [](int v) { return v < 0 ? 0 : v > 5 ? 5 : v; };
    return static_cast<uint8_t>(1 + 36 * c(r) + 6 * c(g) + c(b));
}
uint8_t Grey(int level) {  // 0..37
    return static_cast<uint8_t>(217 + (level < 0 ? 0 : level > 37 ? 37 : level));
}
constexpr uint8_t kKeyColour = 255;

// A repeatable hash of a texel position and a seed, 0..255.
int Hash(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) & 0xFF);
}

TextureSpec Blank(const std::string& name, int w, int h) {
    TextureSpec t;
    t.name = name;
    t.width = w;
    t.height = h;
    t.texels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    return t;
}

template <typename F>
TextureSpec Paint(const std::string& name, int w, int h, F colour) {
    TextureSpec t = Blank(name, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) t.texels[static_cast<size_t>(y) * w + x] = colour(x, y);
    return t;
}

// Ground materials: speckled colour fields that tile (the hash wraps with the size).
struct Material {
    const char* name;
    uint32_t seed;
    uint8_t (*colour)(int noise);
};
uint8_t GrassColour(int n) { return n < 90 ? Cube(0, 2, 0) : n < 200 ? Cube(1, 3, 0) : n < 245 ? Cube(1, 3, 1) : Cube(2, 4, 1); }
uint8_t DirtColour(int n) { return n < 100 ? Cube(2, 1, 0) : n < 210 ? Cube(3, 2, 1) : Cube(3, 2, 0); }
uint8_t RockColour(int n) { return Grey(10 + n / 16); }
uint8_t SnowColour(int n) { return n < 60 ? Grey(30) : n < 230 ? Grey(35) : Cube(4, 4, 5); }
uint8_t SandColour(int n) { return n < 80 ? Cube(4, 3, 1) : n < 220 ? Cube(5, 4, 2) : Cube(4, 4, 2); }
const Material kMaterials[] = {
    {"grass", 11, GrassColour}, {"dirt", 23, DirtColour}, {"rock", 37, RockColour},
    {"snow", 41, SnowColour},   {"sand", 53, SandColour},
};

// Every level is a valid hardware texture: square, 128 down to 16 texels.
constexpr int kGroundSize = 128;
TextureSpec Ground(const Material& m, int level) {
    int size = kGroundSize >> level;
    return Paint(std::string(m.name) + std::to_string(level), size, size, [&](int x, int y) {
        // Each level averages 2^level hash cells so farther levels look smoother.
        int step = 1 << level, sum = 0;
        for (int dy = 0; dy < step; ++dy)
            for (int dx = 0; dx < step; ++dx)
                sum += Hash((x * step + dx) & (kGroundSize - 1), (y * step + dy) & (kGroundSize - 1), m.seed);
        return m.colour(sum / (step * step));
    });
}

// A blend of two materials with a ragged edge: a cap runs from the first material (u 0) to the
// second (u 1) across the texture, a diagonal fills the corner beyond the line u + v = 1 with the
// second material.
TextureSpec Blend(const std::string& name, const Material& from, const Material& to, bool diagonal, int level) {
    int size = kGroundSize >> level;
    return Paint(name + std::to_string(level), size, size, [&](int x, int y) {
        int step = 1 << level;
        int gx = (x * step) & (kGroundSize - 1), gy = (y * step) & (kGroundSize - 1);
        int edge = diagonal ? (gx + gy) / 2 : gx;
        int ragged = edge + (Hash(gx, gy, from.seed ^ to.seed) - 128) / 8;
        const Material& m = ragged < kGroundSize / 2 ? from : to;
        return m.colour(Hash(gx, gy, m.seed));
    });
}

// Riveted armour panels in a base colour, with seams every `panel` texels.
TextureSpec Panels(const std::string& name, int w, int h, int panel, uint8_t base, uint8_t seam, uint8_t rivet,
                   uint32_t seed) {
    return Paint(name, w, h, [&](int x, int y) {
        int px = x % panel, py = y % panel;
        if (px == 0 || py == 0) return seam;
        if ((px == 2 || px == panel - 2) && (py == 2 || py == panel - 2)) return rivet;
        return Hash(x, y, seed) < 24 ? seam : base;
    });
}

std::vector<TextureSpec> ObjectTextures() {
    std::vector<TextureSpec> list;
    list.push_back(Panels("hovtank", 64, 64, 16, Cube(2, 3, 1), Cube(1, 2, 0), Grey(20), 3));
    list.push_back(Panels("hovturt", 32, 32, 8, Cube(2, 3, 1), Cube(1, 2, 0), Grey(24), 5));
    // Square like every texture the hardware device takes: the figure is drawn twice as wide.
    list.push_back(Paint("pilot", 32, 32, [](int x, int y) {
        x /= 2;
        if (y < 8) return (x >= 4 && x < 12) ? Cube(5, 4, 3) : Cube(1, 1, 3);  // face and helmet
        if (y < 20) return (x == 7 || x == 8) ? Cube(4, 4, 0) : Cube(1, 2, 4);  // suit with a zip
        return Cube(1, 1, 2);
    }));
    list.push_back(Paint("bunker", 64, 64, [](int x, int y) {
        int row = y / 8, brickX = (x + (row % 2) * 8) % 16;
        if (y % 8 == 0 || brickX == 0) return Grey(12);
        return Grey(22 + Hash(x, y, 7) / 64);
    }));
    list.push_back(Paint("factory", 64, 64, [](int x, int y) {
        if (y < 8) return ((x + y) / 4) % 2 ? Cube(5, 4, 0) : Cube(0, 0, 0);  // hazard stripe
        if (x % 16 == 0) return Grey(14);
        return Hash(x, y, 9) < 30 ? Grey(20) : Grey(26);
    }));
    list.push_back(Paint("scrap", 32, 32, [](int x, int y) {
        int n = Hash(x, y, 13);
        return n < 80 ? Cube(3, 1, 0) : n < 180 ? Cube(2, 1, 1) : Grey(18);
    }));
    list.push_back(Paint("powerup", 32, 32, [](int x, int y) {
        bool edge = x < 2 || y < 2 || x > 29 || y > 29;
        bool cross = (x >= 13 && x <= 18) || (y >= 13 && y <= 18);
        return edge ? Grey(8) : cross ? Cube(5, 0, 0) : Cube(5, 5, 5);
    }));
    // The beacon's four frames: a light that sweeps round the lamp.
    for (int f = 0; f < 4; ++f)
        list.push_back(Paint("beacon" + std::to_string(f), 16, 16, [f](int x, int y) {
            int quadrant = (x < 8 ? 0 : 1) + (y < 8 ? 0 : 2);
            static const int order[4] = {0, 1, 3, 2};
            return quadrant == order[f] ? Cube(5, 5, 1) : Cube(3, 2, 0);
        }));
    // A flash that fades out over four frames (played once).
    for (int f = 0; f < 4; ++f)
        list.push_back(Paint("flash" + std::to_string(f), 16, 16, [f](int x, int y) {
            double d = std::hypot(x - 7.5, y - 7.5);
            return d < 7.5 - 1.5 * f ? Cube(5, 5 - f, 4 - f) : kKeyColour;
        }));
    return list;
}

// The ground shadow: a dark disc on the see-through key colour.
TextureSpec ShadowImage() {
    return Paint("shadow", 32, 32, [](int x, int y) {
        double d = std::hypot(x - 15.5, y - 15.5);
        return d < 15.0 ? Grey(d < 10.0 ? 0 : 3) : kKeyColour;
    });
}

// The sky tile: pale blue with soft white streaks of cloud; it wraps at its edges.
TextureSpec SkyTileImage() {
    return Paint("skytile", 64, 64, [](int x, int y) {
        const double phase = std::sin((x + 2 * y) * 3.14159265358979323846 / 32.0) +
                             std::sin((3 * x - y) * 3.14159265358979323846 / 64.0);
        const int n = Hash(x, y, 41) / 64;
        return phase > 1.3 ? Grey(34 + n) : phase > 0.9 ? Cube(4, 4, 5) : Cube(2 + (n > 2), 3, 5);
    });
}

// The backdrop: four 64 x 16 panels stacked (far hills, a ridge, a town's roofs, forest), each
// a dark silhouette on the key colour so the sky shows above it.
TextureSpec BackdropImage() {
    return Paint("backdrop", 64, 64, [](int x, int y) {
        const int panel = y / 16, row = y % 16;
        double top;
        switch (panel) {
        case 0: top = 5.0 + 3.0 * std::sin(x * 3.14159265358979323846 / 32.0); break;
        case 1: top = 2.0 + std::abs((x % 32) - 16) * 0.5; break;
        case 2: top = (x / 8) % 2 ? 4.0 : 7.0 - (x % 8 < 4 ? x % 8 : 7 - x % 8); break;
        default: top = 4.0 + (Hash(x, 0, 7) % 5); break;
        }
        if (row < top) return kKeyColour;
        return panel == 2 ? Cube(2, 1, 1) : panel == 3 ? Cube(0, 2, 0) : Cube(1, 1, 2);
    });
}

// Sky effects, all on the key colour. A cloud: a soft white puff of overlapping discs.
TextureSpec CloudImage(const std::string& name, uint32_t seed) {
    return Paint(name, 32, 32, [seed](int x, int y) {
        const double a = std::hypot(x - 11.0, y - 17.0), b = std::hypot(x - 20.0, y - 14.0);
        const double c = std::hypot(x - 16.0, y - 19.0 + seed % 3);
        const double d = std::min({a / 9.0, b / 10.0, c / 8.0});
        if (d >= 1.0) return kKeyColour;
        return d > 0.8 ? Cube(4, 4, 5) : Grey(32 + Hash(x, y, seed) / 64);
    });
}

// A star: a bright point with four short rays.
TextureSpec StarImage() {
    return Paint("star", 16, 16, [](int x, int y) {
        const int dx = std::abs(2 * x - 15), dy = std::abs(2 * y - 15);
        if (dx <= 3 && dy <= 3) return Grey(37);
        if ((dx <= 1 && dy < 14) || (dy <= 1 && dx < 14)) return Cube(5, 5, 3);
        return kKeyColour;
    });
}

// The animated sky's flash, frame f of four: a ring of light that widens and fades.
TextureSpec SkyFlashImage(int frame) {
    return Paint(std::string("skyfl0") + std::to_string(frame), 32, 32, [frame](int x, int y) {
        const double d = std::hypot(x - 15.5, y - 15.5), r = 3.0 * frame;
        if (std::abs(d - r) > 2.0) return kKeyColour;
        return frame < 3 ? Cube(5, 5, 4) : Cube(4, 4, 5);
    });
}

// Scrounge: a tuft of tall grass swaying, set s (0 or 1, two tints) and frame f (0..2, the lean).
TextureSpec TuftImage(int set, int frame) {
    return Paint("tuft" + std::to_string(set) + "0" + std::to_string(frame), 16, 16, [set, frame](int x, int y) {
        for (int blade = 0; blade < 3; ++blade) {
            const int base = 2 + blade * 5, lean = (frame - 1) * (15 - y) / 5;
            if ((x == base + lean || x == base + lean + 1) && y >= 2 + blade * 2)
                return y < 5 + blade * 2 ? Cube(5, 5, 1) : set ? Cube(4, 5, 0) : Cube(3, 5, 1);
        }
        return kKeyColour;
    });
}

// The sprite page every light set keeps loaded: a 64 x 64 page of four 32 x 32 cells on the key
// colour: a soft light glow, a ring, a four-pointed flare and a small spark.
TextureSpec SpritePageImage() {
    return Paint("sprite_a", 64, 64, [](int x, int y) {
        const int cx = x % 32, cy = y % 32;
        const double d = std::hypot(cx - 15.5, cy - 15.5);
        switch ((y / 32) * 2 + x / 32) {
        case 0: return d < 14.0 ? Cube(5, 5, 2 + static_cast<int>(d / 5.0)) : kKeyColour;
        case 1: return d > 10.0 && d < 14.0 ? Cube(5, 3, 0) : kKeyColour;
        case 2: return (std::abs(cx - 15) <= 1 || std::abs(cy - 15) <= 1) && d < 15.0 ? Grey(37) : kKeyColour;
        default: return d < 5.0 ? Cube(5, 4, 1) : kKeyColour;
        }
    });
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

// ---- file formats ---------------------------------------------------------------------------

std::string MapImageBytes(const TextureSpec& t) {
    std::string b;
    Bytes_AppendU16(b, static_cast<uint32_t>(t.width));
    Bytes_AppendU16(b, t.format);
    Bytes_AppendU32(b, static_cast<uint32_t>(t.height));
    b.append(reinterpret_cast<const char*>(t.texels.data()), t.texels.size());
    return b;
}

std::string VqmBytes(uint16_t format, int width, int height, const std::string& codeBookName,
                     const std::vector<uint16_t>& codes) {
    std::string b;
    Bytes_AppendU16(b, format);
    Bytes_AppendU16(b, static_cast<uint32_t>(width));
    Bytes_AppendU32(b, static_cast<uint32_t>(height));
    char name[16] = {};
    std::memcpy(name, codeBookName.data(), std::min<size_t>(codeBookName.size(), 16));
    b.append(name, 16);
    for (uint16_t code : codes) Bytes_AppendU16(b, code);
    return b;
}

std::string CodeBookBytes(const std::vector<std::array<uint8_t, 16>>& entries) {
    std::string b(4, '\0');
    for (const auto& entry : entries) b.append(reinterpret_cast<const char*>(entry.data()), 16);
    return b;
}

bool EncodeVqmSet(const std::vector<TextureSpec>& textures, const std::string& codeBookName,
                  std::vector<ArchiveRecord>* out) {
    if (!out || codeBookName.empty() || codeBookName.size() > 15) return false;
    std::vector<std::array<uint8_t, 16>> entries;
    std::map<std::array<uint8_t, 16>, uint16_t> index;
    std::vector<ArchiveRecord> records;
    for (const TextureSpec& t : textures) {
        if (t.name.empty() || t.name.size() > 11 || t.width <= 0 || t.width > 0x7FFF || t.height <= 0 ||
            t.texels.size() != static_cast<size_t>(t.width) * static_cast<size_t>(t.height))
            return false;
        std::vector<uint16_t> codes;
        for (int by = 0; by < t.height; by += 4)
            for (int bx = 0; bx < t.width; bx += 4) {
                std::array<uint8_t, 16> block{};
                bool solid = true;
                uint8_t first = t.texels[static_cast<size_t>(by) * t.width + bx];
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x) {
                        int sx = std::min(bx + x, t.width - 1), sy = std::min(by + y, t.height - 1);
                        uint8_t p = t.texels[static_cast<size_t>(sy) * t.width + sx];
                        block[y * 4 + x] = p;
                        if (p != first) solid = false;
                    }
                if (solid) {
                    codes.push_back(static_cast<uint16_t>(0x8000 | first));
                    continue;
                }
                auto found = index.find(block);
                if (found == index.end()) {
                    if (entries.size() >= 0x8000) return false;
                    found = index.emplace(block, static_cast<uint16_t>(entries.size())).first;
                    entries.push_back(block);
                }
                codes.push_back(found->second);
            }
        records.push_back({t.name + ".vqm", VqmBytes(t.format, t.width, t.height, codeBookName, codes), true, 0});
    }
    records.push_back({codeBookName, CodeBookBytes(entries), true, 0});
    out->insert(out->end(), records.begin(), records.end());
    return true;
}

std::string FrameListBytes(const std::vector<int>& dimensions, float frameRate, uint32_t flags,
                           const std::vector<std::string>& frameNames) {
    std::string b(20, '\0');
    Bytes_AppendU32(b, static_cast<uint32_t>(dimensions.size()));
    for (size_t i = 0; i < 4; ++i) Bytes_AppendU32(b, i < dimensions.size() ? static_cast<uint32_t>(dimensions[i]) : 0);
    uint32_t rateBits;
    std::memcpy(&rateBits, &frameRate, 4);
    Bytes_AppendU32(b, rateBits);
    Bytes_AppendU32(b, flags);
    b.resize(64, '\0');
    for (const std::string& name : frameNames) {
        char field[8] = {};
        std::memcpy(field, name.data(), std::min<size_t>(name.size(), 8));
        b.append(field, 8);
    }
    return b;
}

// ---- the sample world -----------------------------------------------------------------------

const char* const kSampleObjectTextures[] = {"hovtank", "hovturt", "pilot",  "bunker", "factory",
                                             "scrap",   "powerup", "beacon", "flash"};
const int kSampleObjectTextureCount = sizeof kSampleObjectTextures / sizeof kSampleObjectTextures[0];
const char* const kSampleTerrainMaterials[] = {"grass", "dirt", "rock", "snow", "sand"};
const int kSampleTerrainMaterialCount = sizeof kSampleTerrainMaterials / sizeof kSampleTerrainMaterials[0];
const char* const kSampleCapTexture = "gdcap";
const char* const kSampleDiagonalTexture = "gddiag";

std::vector<ArchiveRecord> SampleTextureRecords() {
    std::vector<ArchiveRecord> records;
    EncodeVqmSet(ObjectTextures(), kObjectCodeBook, &records);
    records.push_back({"beacon.tmt", FrameListBytes({4}, 8.0f, 3, {"beacon0", "beacon1", "beacon2", "beacon3"}),
                       true, 0});
    records.push_back({"flash.tmt", FrameListBytes({4}, 10.0f, 1, {"flash0", "flash1", "flash2", "flash3"}), true, 0});
    for (const Material& m : kMaterials)
        for (int level = 0; level < 4; ++level) {
            TextureSpec t = Ground(m, level);
            records.push_back({t.name + ".map", MapImageBytes(t), true, 0});
        }
    for (int level = 0; level < 4; ++level) {
        for (bool diagonal : {false, true}) {
            TextureSpec t = Blend(diagonal ? kSampleDiagonalTexture : kSampleCapTexture, kMaterials[0], kMaterials[1],
                                  diagonal, level);
            records.push_back({t.name + ".map", MapImageBytes(t), true, 0});
        }
    }
    records.push_back({"shadow.map", MapImageBytes(ShadowImage()), true, 0});
    records.push_back({"sprite_a.map", MapImageBytes(SpritePageImage()), true, 0});
    records.push_back({"skytile.map", MapImageBytes(SkyTileImage()), true, 0});
    records.push_back({"backdrop.map", MapImageBytes(BackdropImage()), true, 0});
    records.push_back({"cloud1.map", MapImageBytes(CloudImage("cloud1", 3)), true, 0});
    records.push_back({"cloud2.map", MapImageBytes(CloudImage("cloud2", 8)), true, 0});
    records.push_back({"star.map", MapImageBytes(StarImage()), true, 0});
    // Frame names end in their numbers, so they carry no extension.
    for (int f = 1; f <= 4; ++f) {
        TextureSpec t = SkyFlashImage(f);
        records.push_back({t.name, MapImageBytes(t), true, 0});
    }
    for (int set = 0; set < 2; ++set)
        for (int f = 0; f < 3; ++f) {
            TextureSpec t = TuftImage(set, f);
            records.push_back({t.name, MapImageBytes(t), true, 0});
        }
    records.push_back({"map.lst", SampleMapListText(), true, 0});
    return records;
}

std::string SampleMapListText() {
    // Written as people write it: comments, capitals, names with other extensions.
    return "; textures loaded before the first frame\r\n"
           "GRASS0.TGA dirt1.bmp\tRock2 // the detail levels\n"
           "// the ground shadow is preloaded anyway\n"
           "SAND0.MAP;sand\n"
           "snow3\n";
}

const char* const kSampleMapListNames[] = {"grass0.map", "dirt1.map", "rock2.map", "sand0.map", "snow3.map"};
const int kSampleMapListNameCount = sizeof kSampleMapListNames / sizeof kSampleMapListNames[0];

std::string SampleTerrainTextureSections() {
    // Flat colours are the materials' middle colours; one plain texture (variant A, used for
    // all four variants) with four detail levels per material.
    const uint8_t flat[] = {Cube(1, 3, 0), Cube(3, 2, 1), Grey(18), Grey(35), Cube(5, 4, 2)};
    std::string text;
    for (int t = 0; t < kSampleTerrainMaterialCount; ++t) {
        text += "[TextureType" + std::to_string(t) + "]\n";
        text += "FlatColor = " + std::to_string(flat[t]) + "\n";
        for (int level = 0; level < 4; ++level)
            text += "SolidA" + std::to_string(level) + " = " + kSampleTerrainMaterials[t] + std::to_string(level) +
                    ".map\n";
        // Grass blends into dirt at the foot of the ramp: a cap and a diagonal, four levels each.
        if (t == 0)
            for (int level = 0; level < 4; ++level) {
                const std::string n = std::to_string(level);
                text += "CapTo1_A" + n + " = " + kSampleCapTexture + n + ".map\n";
                text += "DiagonalTo1_A" + n + " = " + kSampleDiagonalTexture + n + ".map\n";
            }
    }
    return text;
}

std::string SampleSkySections() {
    return "[Sky]\nSkyHeight = 120\nSkyType = 0\nSkyTexture = skytile.map\nSunTexture = sun\n"
           "BackdropTexture = backdrop.map\nBackdropDistance = 400\nBackdropHeight = 120\nBackdropBase = -40\n"
           "BackdropType = 0\n"
           // Two kinds of cloud drifting under the sky plane, tiled every 250 m.
           "[Clouds]\nCount = 10\nTileSize = 250\nType = 0\nTexture0 = cloud1.map\nSize0 = 60\nHeight0 = 90\n"
           "Texture1 = cloud2.map\nSize1 = 45\nHeight1 = 100\n"
           "[Stars]\nRadius = 1000\nTexture00 = star.map\nSize00 = 40\nAzimuth00 = 120\nElevation00 = 50\n"
           "[StarList]\nTexture = star.map\nLayerHeight = 20\nSize0 = 30\nCount0 = 4\n"
           // Flashes of light high above, frames skyfl01 .. skyfl04.
           "[AnimatedSky]\nCount = 6\nDiameter = 400\nminDelay = 200\nmaxDelay = 800\nAnim0 = skyfl04\nRate0 = 120\n"
           "Size0 = 1500\n"
           // Tufts of grass swaying on the plain grass cells: two sets of three frames.
           "[AnimatedScrounge]\nType0 = tuft102\nRate = 150\nSize = 250\nCount = 24\nDiameter = 200\n";
}

bool WriteTextureWorld(const std::string& dir, std::string* error) {
    const std::string pack = dir + "/" + kPackDirectory;
    std::error_code ec;
    std::filesystem::create_directories(pack, ec);
    if (ec) return Fail(error, "cannot create " + pack + ": " + ec.message());
    for (const ArchiveRecord& record : SampleTextureRecords()) {
        std::ofstream file(pack + "/" + record.name, std::ios::binary);
        file.write(record.data.data(), static_cast<std::streamsize>(record.data.size()));
        if (!file) return Fail(error, "cannot write " + pack + "/" + record.name);
    }
    return true;
}

}  // namespace content

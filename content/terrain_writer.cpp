#include "terrain_writer.h"
#include "texture_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace content {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

void PutWord(std::string& out, uint16_t word) {
    out.push_back(static_cast<char>(word & 0xFF));
    out.push_back(static_cast<char>(word >> 8));
}

bool WriteBytes(const std::string& path, const std::string& bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) return Fail(error, "cannot write " + path);
    return true;
}

// Zone rows and columns in zone-number order.
template <typename Fn>
void ForEachZone(const TerrainMapSpec& spec, Fn fn) {
    int columns, rows, firstColumn, firstRow;
    TerrainZoneRect(spec, &columns, &rows, &firstColumn, &firstRow);
    for (int row = firstRow; row < firstRow + rows; ++row)
        for (int column = firstColumn; column < firstColumn + columns; ++column) fn(row, column);
}

}  // namespace

uint16_t MaterialWord(int type, int neighbour, int arrangement, int variant) {
    return static_cast<uint16_t>(((type & 15) << 12) | ((neighbour & 15) << 8) | ((arrangement & 15) << 4) |
                                 (variant & 3));
}

void TerrainZoneRect(const TerrainMapSpec& spec, int* columns, int* rows, int* firstColumn, int* firstRow) {
    *columns = std::max(spec.width, 0) / 10 >> 7;
    *rows = std::max(spec.depth, 0) / 10 >> 7;
    *firstColumn = std::max(spec.minX, 0) / 10 >> 7;
    *firstRow = std::max(spec.minZ, 0) / 10 >> 7;
}

std::string TerrainSettingsText(const TerrainMapSpec& spec) {
    std::string text = "; terrain settings of the map \"" + spec.name + "\"\n";
    text += "[Size]\n";
    text += "Width = " + std::to_string(spec.width) + "\n";
    text += "Depth = " + std::to_string(spec.depth) + "\n";
    text += "MinX = " + std::to_string(spec.minX) + "\n";
    text += "MinZ = " + std::to_string(spec.minZ) + "\n";
    text += "Height = " + std::to_string(spec.baseHeight) + "\n";
    return text + spec.extraSections;
}

std::string TerrainHeightBytes(const TerrainMapSpec& spec) {
    std::string out;
    ForEachZone(spec, [&](int row, int column) {
        for (int z = 0; z < 128; ++z)
            for (int x = 0; x < 128; ++x) PutWord(out, spec.height ? spec.height(column * 128 + x, row * 128 + z) : 0);
    });
    return out;
}

std::string TerrainMaterialBytes(const TerrainMapSpec& spec) {
    std::string out;
    ForEachZone(spec, [&](int row, int column) {
        for (int z = 0; z < 64; ++z)
            for (int x = 0; x < 64; ++x)
                PutWord(out, spec.material ? spec.material(column * 128 + 2 * x, row * 128 + 2 * z) : 0);
    });
    return out;
}

std::vector<ArchiveRecord> TerrainRecords(const TerrainMapSpec& spec) {
    return {
        {spec.name + ".trn", TerrainSettingsText(spec), true, 0},
        {spec.name + ".hgt", TerrainHeightBytes(spec), true, 0},
        {spec.name + ".mat", TerrainMaterialBytes(spec), true, 0},
    };
}

bool WriteTerrainFiles(const std::string& dir, const TerrainMapSpec& spec, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return Fail(error, "cannot create " + dir + ": " + ec.message());
    for (const ArchiveRecord& record : TerrainRecords(spec))
        if (!WriteBytes(dir + "/" + record.name, record.data, error)) return false;
    return true;
}

namespace {

// The sample map's mood: afternoon sun 45 degrees high, fog inside the visibility range, the
// world's colour tables, and a distant storm of two lightning bolts.
std::string SampleEnvironmentSections() {
    return "[World]\nMusicTrack = 2\n"
           "[NormalView]\nTime = 1400\nFogStart = 150\nFogEnd = 230\nFogBreak = 50\n"
           "VisibilityRange = 250\nFlatRange = 200\nIntensity = 80\nAmbient = 10\n"
           "ShadowLuma = 60\nTerrainShadowLuma = 50\ncarAmbient = 55\nFogDirection = 1\n"
           "[Color]\nPalette = world.pal\nLuma = world.lum\nTranslucency = world.trn\nAlpha = world.alp\n"
           "[LightningBolt]\nBolts = 2\nColor = 0x00e0e0f0\nminDelay = 4000\nmaxDelay = 9000\nDuration = 200\n"
           "Distance = 150\n";
}

enum SampleMaterial { kGrass = 0, kDirt = 1, kRock = 2, kSnow = 3, kSand = 4 };

// A smooth bump of the given height (0.1 m) and radius (cells).
double Bump(int x, int z, int cx, int cz, double radius, double height) {
    double d = std::sqrt(double(x - cx) * (x - cx) + double(z - cz) * (z - cz));
    if (d >= radius) return 0.0;
    return height * 0.5 * (1.0 + std::cos(3.14159265358979323846 * d / radius));
}

// Walls for the ground units to plan around (0.1 m): one vertex line raised 30 m makes the two
// cells beside it impassable. A long wall on the western flat ground along x = 1450 m from the
// map's southern edge to z = 3000 m, open ground north of it, and short pieces on the plateau.
double SampleWalls(int x, int z) {
    if (x == kSampleWallX && z >= kSampleWallZ0 && z <= kSampleWallZ1) return 300.0;
    struct Piece {
        int x0, z0, x1, z1;  // vertex lines, inclusive
    };
    static constexpr Piece kPieces[] = {
        {275, 175, 275, 186},  // north-south, 110 m
        {282, 205, 293, 205},  // east-west, 110 m
        {288, 214, 288, 224},  // north-south, 100 m
    };
    for (const Piece& p : kPieces)
        if (x >= p.x0 && x <= p.x1 && z >= p.z0 && z <= p.z1) return 300.0;
    return 0.0;
}

// The sample ground before clamping, in 0.1 m: flat at 30 m in the west, a ramp up to a
// plateau, two hills on the plateau, a ridge running north-east and a cliff in the east.
double SampleLand(int x, int z) {
    const double flat = 300.0;
    const double plateau = flat + 8.0 * (kSampleRampEndX - kSampleRampStartX);  // 81.2 m
    if (x < kSampleRampStartX) return flat;
    if (x < kSampleRampEndX) return flat + 8.0 * (x - kSampleRampStartX);
    double h = plateau + Bump(x, z, 320, 190, 30.0, 400.0) + Bump(x, z, 340, 320, 24.0, 250.0);
    if (x >= 384) {
        double ridgeZ = 200.0 + 0.5 * (x - 384);
        h += std::max(0.0, 600.0 - 20.0 * std::fabs(z - ridgeZ));
    }
    if (x >= kSampleCliffX) h -= 500.0;
    return h;
}

double SampleGround(int x, int z) { return SampleLand(x, z) + SampleWalls(x, z); }

uint16_t SampleHeight(int x, int z) {
    double h = std::clamp(SampleGround(x, z), 0.0, 4095.0);
    return static_cast<uint16_t>(std::lround(h));
}

uint16_t SampleMaterial(int x, int z) {
    int variant = static_cast<int>((uint32_t(x) * 73856093u ^ uint32_t(z) * 19349663u) >> 7) & 3;
    double h = SampleGround(x, z);
    double slope = std::max(std::fabs(SampleGround(x + 2, z) - h), std::fabs(SampleGround(x, z + 2) - h));
    int type = kGrass;
    if (x >= kSampleCliffX - 2 && x < kSampleCliffX + 2) type = kRock;
    else if (x >= kSampleCliffX) type = kSand;
    else if (h > 1200.0) type = kSnow;
    else if (slope > 60.0) type = kRock;
    else if (x >= kSampleRampStartX && x < kSampleRampEndX) type = kDirt;
    else if (x >= kSampleRampStartX - 4) {
        // Grass meets dirt at the foot of the ramp: caps next to the dirt, turned two ways, and
        // now and then a diagonal corner in front of them.
        const int row = (z / 2) & 15;
        if (x == kSampleRampStartX - 2) return MaterialWord(kGrass, kDirt, row & 1 ? 6 : 0, variant);
        if (row == 3 || row == 11) return MaterialWord(kGrass, kDirt, row == 3 ? 8 : 13, variant);
    }
    return MaterialWord(type, type, 0, variant);
}

}  // namespace

TerrainMapSpec SampleTerrain() {
    TerrainMapSpec spec;
    spec.name = "sample";
    spec.width = 3840;
    spec.depth = 2560;
    spec.minX = 1280;
    spec.minZ = 1280;
    spec.baseHeight = 20;
    spec.height = SampleHeight;
    spec.material = SampleMaterial;
    spec.extraSections = SampleTerrainTextureSections() + SampleEnvironmentSections() + SampleSkySections();
    return spec;
}

bool WriteTerrainWorld(const std::string& dir, std::string* error) {
    return WriteTerrainFiles(dir + "/" + kPackDirectory, SampleTerrain(), error);
}

}  // namespace content

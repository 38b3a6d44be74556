#include "Terrain/terramap.h"

#include "Objkr/entitysvc.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/configfile.h"
#include "core/debug.h"
#include "core/zix.h"
#include "platform/paths.h"

uint8_t ZoneMap[kZoneMapSize][kZoneMapSize];
uint16_t* HeightBlockTable[kBlockTableSize * kBlockTableSize];
uint16_t* MaterialBlockTable[kBlockTableSize * kBlockTableSize];
uint8_t LightBlockTable[kBlockTableSize * kBlockTableSize];
TerrainBoundsInfo TerrainBounds{};
float TerrainCellSize = 10.0f;
float TerrainCellsPerMetre = 0.1f;
float TerrainSineTable[128];
uint8_t TerrainModified = 0;
uint8_t* TerrainLightMap = nullptr;
uint32_t TerrainLightMapSize = 0;

namespace {

constexpr int kBlockWords = kZoneCells * kZoneCells;  // 16384
constexpr int kMaterialWords = 64 * 64;               // 4096

uint16_t g_defaultHeightBlock[kBlockWords];
uint16_t g_zeroMaterialBlock[kMaterialWords];
uint8_t g_noLight = 0;  // read when no light map exists

uint16_t* g_zones[kMaxZones] = {};
int g_zoneCount = 0;
uint16_t* g_heightImage = nullptr;
uint32_t g_heightImageSize = 0;
uint16_t* g_materialImage = nullptr;
uint32_t g_materialImageSize = 0;

std::string g_fileName;
int g_baseHeight = 0;
float g_zoneRect[4] = {};

std::vector<Entity*> g_entities;  // head first

// The images hold little-endian words; a big-endian host turns them around in place (and back
// on a copy when saving).
void WordsFromLittleEndian(uint16_t* words, size_t count) {
    if constexpr (std::endian::native == std::endian::big)
        for (size_t i = 0; i < count; ++i) words[i] = static_cast<uint16_t>((words[i] >> 8) | (words[i] << 8));
    else
        (void)words, (void)count;
}

void PointTablesAtDefaults() {
    for (uint16_t*& entry : HeightBlockTable) entry = g_defaultHeightBlock;
    for (uint16_t*& entry : MaterialBlockTable) entry = g_zeroMaterialBlock;
    std::memset(LightBlockTable, 0, sizeof LightBlockTable);
}

void ClearZones() {
    std::memset(ZoneMap, kNoZone, sizeof ZoneMap);
    for (uint16_t*& zone : g_zones) zone = nullptr;
    g_zoneCount = 0;
}

const bool g_tablesReady = (PointTablesAtDefaults(), ClearZones(), true);

int ClampCell(int v) { return v < kCellMin ? kCellMin : v > kCellMax ? kCellMax : v; }

std::string WithoutExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    size_t separator = name.find_last_of("\\/");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return name;
    return name.substr(0, dot);
}

std::string FilePart(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Writes the bytes whole to the game path; the two warnings on failure.
bool WriteWhole(const std::string& path, const void* data, size_t size) {
    FILE* file = Plat_OpenFile(Plat_ProfilePath(path), "wb");
    if (!file) {
        Error_Warning("Can't open file %s", path.c_str());
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0) ok = false;
    if (!ok) Error_Warning("Can't write file %s", path.c_str());
    return ok;
}

bool WriteWords(const std::string& path, const uint16_t* words, uint32_t bytes) {
    if (!words) {
        Error_Warning("Can't write file %s", path.c_str());
        return false;
    }
    if constexpr (std::endian::native == std::endian::big) {
        std::vector<uint16_t> copy(words, words + bytes / 2);
        WordsFromLittleEndian(copy.data(), copy.size());
        return WriteWhole(path, copy.data(), bytes);
    }
    return WriteWhole(path, words, bytes);
}

}  // namespace

void Terrain_SetBaseHeight(int metres) { g_baseHeight = metres; }
int Terrain_GetBaseHeight() { return g_baseHeight; }

void Terrain_SetFileName(const char* name) {
    g_fileName = WithoutExtension(name ? name : "") + ".TRN";
    // A map without its settings file is looked for once per map, not once for every setting
    // read; a new map name (a load, a new terrain) looks again.
    Cfg_ForgetMissing();
}

const char* Terrain_GetFileName() { return g_fileName.c_str(); }

int Terrain_ReadZoneFiles() {
    (void)g_tablesReady;
    Terrain_FreeAll();
    ClearZones();
    if (g_fileName.empty()) return 0;
    const std::string stem = WithoutExtension(g_fileName);

    int width = Cfg_GetProfileInt("Size", "Width", -1, g_fileName.c_str());
    int depth = Cfg_GetProfileInt("Size", "Depth", -1, g_fileName.c_str());
    int minX = Cfg_GetProfileInt("Size", "MinX", -1, g_fileName.c_str());
    int minZ = Cfg_GetProfileInt("Size", "MinZ", -1, g_fileName.c_str());
    if (width < 0 || depth < 0 || minX < 0 || minZ < 0) return 0;

    // trunc(metres x 0.1) is metres / 10 for the non-negative whole numbers read here.
    int columns = (width / 10) >> 7;
    int rows = (depth / 10) < kZoneCells ? 0 : (depth / 10) >> 7;
    int firstColumn = (minX / 10) >> 7;
    int firstRow = (minZ / 10) >> 7;
    // The zone pointer table holds 80 zones, and the rectangle must lie on the zone map. The
    // sizes come from the file: the product is formed in 64 bits (huge sides overflow int).
    if (columns <= 0 || rows <= 0 || int64_t(columns) * rows > kMaxZones) return 0;
    if (int64_t(firstColumn) + columns > kZoneMapSize || int64_t(firstRow) + rows > kZoneMapSize) return 0;

    int count = 0;
    for (int row = firstRow; row < firstRow + rows; ++row)
        for (int column = firstColumn; column < firstColumn + columns; ++column)
            ZoneMap[row][column] = static_cast<uint8_t>(count++);

    uint32_t heightSize = 0, materialSize = 0;
    void* heights = Zix_LoadFile((stem + ".HGT").c_str(), &heightSize);
    void* materials = Zix_LoadFile((stem + ".MAT").c_str(), &materialSize);
    bool fits = heights && materials && heightSize >= uint32_t(count) * kHeightBlockBytes &&
                materialSize >= uint32_t(count) * kMaterialBlockBytes;
    if (!fits) {
        std::free(heights);
        std::free(materials);
        ClearZones();
        return 0;
    }
    g_heightImage = static_cast<uint16_t*>(heights);
    g_heightImageSize = heightSize;
    g_materialImage = static_cast<uint16_t*>(materials);
    g_materialImageSize = materialSize;
    WordsFromLittleEndian(g_heightImage, heightSize / 2);
    WordsFromLittleEndian(g_materialImage, materialSize / 2);
    g_zoneCount = count;
    return 1;
}

int Terrain_LoadZone(const char* name) {
    if (name && name[0]) Terrain_SetFileName(name);
    if (!Terrain_ReadZoneFiles()) {
        Error_Fatal("Zone loader error");
        return 0;
    }
    for (int i = 0; i < kMaxZones; ++i) g_zones[i] = i < g_zoneCount ? g_heightImage + size_t(i) * kBlockWords : nullptr;
    return 1;
}

int Terrain_ZoneCount() { return g_zoneCount; }

uint16_t* Terrain_ZonePointer(int zone) {
    return zone >= 0 && zone < kMaxZones ? g_zones[zone] : nullptr;
}

void Terrain_BuildBlockTables() {
    // Tenths of a metre in the height word (the file's "Height" may be any int: widened first).
    const uint16_t baseWord = static_cast<uint16_t>(int64_t(g_baseHeight) * 10);
    for (uint16_t& word : g_defaultHeightBlock) word = baseWord;
    std::memset(g_zeroMaterialBlock, 0, sizeof g_zeroMaterialBlock);
    PointTablesAtDefaults();

    int lowRow = kZoneMapSize, highRow = -1, lowColumn = kZoneMapSize, highColumn = -1;
    for (int r = 0; r < kZoneMapSize; ++r) {
        for (int c = 0; c < kZoneMapSize; ++c) {
            uint8_t zone = ZoneMap[r][c];
            if (zone == kNoZone || zone >= kMaxZones || !g_zones[zone]) continue;
            HeightBlockTable[(r + kBlockTableOrigin) * kBlockTableSize + (c + kBlockTableOrigin)] = g_zones[zone];
            if (r < lowRow) lowRow = r;
            if (r > highRow) highRow = r;
            if (c < lowColumn) lowColumn = c;
            if (c > highColumn) highColumn = c;
        }
    }
    if (highRow < 0) {
        TerrainBounds.minX = TerrainBounds.maxX = TerrainBounds.minZ = TerrainBounds.maxZ = 0;
        TerrainBounds.minXm = TerrainBounds.maxXm = TerrainBounds.minZm = TerrainBounds.maxZm = 0.0f;
        return;
    }
    const int columns = highColumn - lowColumn + 1;
    for (int r = lowRow; r <= highRow; ++r) {
        for (int c = lowColumn; c <= highColumn; ++c) {
            uint8_t zone = ZoneMap[r][c];
            if (zone == kNoZone || zone >= kMaxZones || !g_zones[zone]) continue;
            size_t block = size_t(r - lowRow) * columns + size_t(c - lowColumn);
            // The loader checked the image against the full rectangle; keep to it all the same.
            if ((block + 1) * kMaterialBlockBytes > g_materialImageSize) continue;
            MaterialBlockTable[(r + kBlockTableOrigin) * kBlockTableSize + (c + kBlockTableOrigin)] =
                g_materialImage + block * kMaterialWords;
        }
    }
    TerrainBounds.minX = kZoneCells * lowColumn;
    TerrainBounds.maxX = kZoneCells * (highColumn + 1);
    TerrainBounds.minZ = kZoneCells * lowRow;
    TerrainBounds.maxZ = kZoneCells * (highRow + 1);
    TerrainBounds.minXm = TerrainBounds.minX * 10.0f;
    TerrainBounds.maxXm = TerrainBounds.maxX * 10.0f;
    TerrainBounds.minZm = TerrainBounds.minZ * 10.0f;
    TerrainBounds.maxZm = TerrainBounds.maxZ * 10.0f;
}

int Terrain_Init(int mode) {
    TerrainCellSize = 10.0f;
    TerrainCellsPerMetre = 0.1f;
    Terrain_ReadEnvironment();
    Terrain_BuildBlockTables();
    Terrain_LoadLightMap();
    Terrain_ComputeAllFlags();
    Terrain_ComputeZoneRect();
    Terrain_BuildFogTable();
    Terrain_SetDrawMode(mode);
    for (int i = 0; i < 128; ++i)
        TerrainSineTable[i] = static_cast<float>(std::sin(i * 2.0 * 3.14159265358979323846 / 128.0));
    return 1;
}

int Terrain_LoadMap(const char* missionName, int detailOption) {
    Terrain_FreeTextures();
    Terrain_SetFileName(missionName);
    Terrain_LoadWorldSection();
    if (!Terrain_LoadZone(nullptr)) return 0;
    Terrain_Init(detailOption);
    Terrain_LoadTextures();
    return 1;
}

void Terrain_GetBounds(float out[6]) {
    out[0] = TerrainBounds.minXm;
    out[1] = TerrainBounds.lowest;
    out[2] = TerrainBounds.minZm;
    out[3] = TerrainBounds.maxXm;
    out[4] = TerrainBounds.highest;
    out[5] = TerrainBounds.maxZm;
}

void Terrain_ComputeZoneRect() {
    g_zoneRect[0] = TerrainBounds.minXm;
    g_zoneRect[1] = TerrainBounds.minZm;
    g_zoneRect[2] = TerrainBounds.maxXm;
    g_zoneRect[3] = TerrainBounds.maxZm;
}

const float* Terrain_GetZoneRect() { return g_zoneRect; }

int Terrain_SaveZoneFiles(const char* path) {
    TerrainModified = 0;
    bool ok = true;
    std::string target;
    if (path && path[0]) {
        uint32_t size = 0;
        void* settings = g_fileName.empty() ? nullptr : Zix_LoadFile(g_fileName.c_str(), &size);
        const std::string settingsTarget = WithoutExtension(path) + ".TRN";
        if (!settings) {
            Error_Warning("Can't open file %s", g_fileName.c_str());
            ok = false;
        } else if (!WriteWhole(settingsTarget, settings, size)) {
            ok = false;
        }
        std::free(settings);
        Terrain_SetFileName(FilePart(path).c_str());
        target = path;
    } else {
        Plat_CreateDirectories(Plat_ProfilePath("Addon"));
        target = "Addon\\" + g_fileName;
    }
    const std::string stem = WithoutExtension(target);
    const std::string heightFile = stem + ".HGT";
    const std::string materialFile = stem + ".MAT";
    if (!WriteWords(heightFile, g_heightImage, g_heightImageSize)) ok = false;
    if (!WriteWords(materialFile, g_materialImage, g_materialImageSize)) ok = false;
    return ok ? 1 : 0;
}

void Terrain_FreeAll() {
    std::free(TerrainLightMap);
    TerrainLightMap = nullptr;
    TerrainLightMapSize = 0;
    std::free(g_heightImage);
    std::free(g_materialImage);
    g_heightImage = g_materialImage = nullptr;
    g_heightImageSize = g_materialImageSize = 0;
    for (uint16_t*& zone : g_zones) zone = nullptr;
    g_zoneCount = 0;
    // Edits go with the terrain they were made to: a mission written after this must not save a
    // terrain that is no longer there.
    TerrainModified = 0;
    PointTablesAtDefaults();
}

uint16_t* Terrain_GetCell(int x, int z) {
    const int xs = ClampCell(x) - kCellMin, zs = ClampCell(z) - kCellMin;
    return HeightBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)] + ((zs & 127) * kZoneCells + (xs & 127));
}

uint16_t* Terrain_GetMaterialWord(int x, int z) {
    const int xs = ClampCell(x) - kCellMin, zs = ClampCell(z) - kCellMin;
    return MaterialBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)] + (((zs / 2) & 63) * 64 + ((xs / 2) & 63));
}

uint8_t* Terrain_GetLightByte(int x, int z) {
    const int xs = ClampCell(x) - kCellMin, zs = ClampCell(z) - kCellMin;
    const size_t block = LightBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)];
    const size_t offset = (block * kZoneCells + size_t(zs & 127)) * kZoneCells + size_t(xs & 127);
    if (!TerrainLightMap || offset >= TerrainLightMapSize) return &g_noLight;
    return TerrainLightMap + offset;
}

// ---- terrain entities -----------------------------------------------------------------------

namespace {
// The entity layer's services; tests swap in fakes.
int EntityTypeCode(Entity* entity) { return entity->type; }
void CentreOnBounds(Entity* entity) {
    Vector min, max;
    Entity_ComputeExtents(entity, min, max);
    if (min.x > max.x) return;  // no geometry: nothing to centre on
    entity->boundsCentre = Vector{(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f};
    entity->boundsRadius =
        Entity_ComputeRadius(entity, entity->boundsCentre.x, entity->boundsCentre.y, entity->boundsCentre.z);
}
void ReleaseEntity(Entity* entity, const char*) { Entity_Release(entity); }
}  // namespace

TerrainEntityOps& Terrain_EntityOps() {
    static TerrainEntityOps ops{EntityTypeCode, CentreOnBounds, ReleaseEntity};
    return ops;
}

void Terrain_AddEntity(Entity* entity) {
    if (!entity) return;
    TerrainEntityOps& ops = Terrain_EntityOps();
    int type = ops.typeCode(entity);
    if (type != 81 && type != 11) ops.centreOnBounds(entity);
    // The first entity is the head; later ones go in right after it.
    if (g_entities.empty()) g_entities.push_back(entity);
    else g_entities.insert(g_entities.begin() + 1, entity);
}

void Terrain_ReleaseEntities() {
    std::vector<Entity*> listed;
    listed.swap(g_entities);
    for (Entity* entity : listed) Terrain_EntityOps().release(entity, "Terramap");
}

void Terrain_ClearEntityList() { g_entities.clear(); }

int Terrain_EntityCount() { return static_cast<int>(g_entities.size()); }

Entity* Terrain_EntityAt(int index) {
    return index >= 0 && index < static_cast<int>(g_entities.size()) ? g_entities[size_t(index)] : nullptr;
}

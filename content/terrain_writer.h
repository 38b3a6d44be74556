// Writers of the terrain files: the ".TRN" settings file, the ".HGT" height zones and the ".MAT"
// material zones of a map, and the sample world's map "sample".
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace content {

struct TerrainMapSpec {
    std::string name;  // the file stem: NAME.trn, NAME.hgt, NAME.mat
    // The "Size" section, in metres; the zones are the 1280 m squares it covers.
    int width = 0, depth = 0, minX = 0, minZ = 0;
    int baseHeight = 0;  // "Height": the ground outside the zones, whole metres
    // The height word of vertex (x, z) and the material word of the 2 x 2 cells from even
    // (x, z), in global cell indices. Unset: height 0, material 0.
    std::function<uint16_t(int x, int z)> height;
    std::function<uint16_t(int x, int z)> material;
    std::string extraSections;  // appended to the ".TRN" text as written
};

// Material word: texture type in bits 12-15, neighbour type 8-11, texture-coordinate
// arrangement 4-7, variant 0-1.
uint16_t MaterialWord(int type, int neighbour, int arrangement, int variant);

// The zone rectangle of a spec as the loader computes it (columns, rows, first column, first row).
void TerrainZoneRect(const TerrainMapSpec& spec, int* columns, int* rows, int* firstColumn, int* firstRow);
std::string TerrainSettingsText(const TerrainMapSpec& spec);
std::string TerrainHeightBytes(const TerrainMapSpec& spec);    // zone blocks in zone-number order
std::string TerrainMaterialBytes(const TerrainMapSpec& spec);  // the same for materials
// NAME.trn, NAME.hgt and NAME.mat as archive records.
std::vector<ArchiveRecord> TerrainRecords(const TerrainMapSpec& spec);
// The three files, loose, into dir.
bool WriteTerrainFiles(const std::string& dir, const TerrainMapSpec& spec, std::string* error);

// The sample map: 3 x 2 zones from (1280 m, 1280 m), flat ground, a ramp, hills, a ridge and a
// cliff, five materials.
TerrainMapSpec SampleTerrain();
// Named sample-map features (cell indices) that tests and tools point at.
constexpr int kSampleFlatX = 160, kSampleFlatZ = 200;     // flat ground, height 30 m
constexpr int kSampleRampStartX = 192, kSampleRampEndX = 256;  // rises 0.8 m a cell in x
constexpr int kSampleCliffX = 480;                         // 50 m drop between x 479 and 480
// A wall (vertex line x = kSampleWallX raised 30 m, cells x 144 and 145 impassable) from the
// southern edge to z = 3000 m; open ground north of it. It runs 50 m west of the sample base,
// whose buildings stand on the flat ground east of it.
constexpr int kSampleWallX = 145, kSampleWallZ0 = 128, kSampleWallZ1 = 300;
// The sample map into the pack directory of the world's directory.
bool WriteTerrainWorld(const std::string& dir, std::string* error);

}  // namespace content

// Writers of the texture files: ".vqm" block-coded textures with their shared code books, plain
// ".map" images, and frame lists of animated textures; and the sample world's textures.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace content {

struct TextureSpec {
    std::string name;  // the file stem, at most 8 characters for frame-list use, 11 otherwise
    int width = 0;
    int height = 0;
    uint16_t format = 0;
    std::vector<uint8_t> texels;  // width x height palette indices, row by row
};

// A plain image: width (16), format word (16), height (32), texels.
std::string MapImageBytes(const TextureSpec& texture);
// A ".vqm" file from its parts: format, width, height, code-book name (up to 16 bytes), codes.
std::string VqmBytes(uint16_t format, int width, int height, const std::string& codeBookName,
                     const std::vector<uint16_t>& codes);
// A code book: the 4-byte header, then the entries.
std::string CodeBookBytes(const std::vector<std::array<uint8_t, 16>>& entries);
// Encodes the textures against one shared code book named codeBookName: one-colour blocks
// become solid codes, other blocks code-book entries (equal blocks share one; the parts of edge
// blocks past the image repeat its last column and row). Appends NAME.vqm for each texture and
// the code book to out. False when a name or size does not fit or the book would pass 32768.
bool EncodeVqmSet(const std::vector<TextureSpec>& textures, const std::string& codeBookName,
                  std::vector<ArchiveRecord>* out);
// A frame list: dimension sizes (1 to 3), frame rate, flags (1 animated, 2 cycling) and one
// name (up to 8 characters, without extension) per frame.
std::string FrameListBytes(const std::vector<int>& dimensions, float frameRate, uint32_t flags,
                           const std::vector<std::string>& frameNames);

// ---- the sample world ---------------------------------------------------------------------

// The code book of the object textures.
constexpr const char* kObjectCodeBook = "objects.cbk";
// Object textures (".vqm" with kObjectCodeBook); models name them with ".map".
extern const char* const kSampleObjectTextures[];
extern const int kSampleObjectTextureCount;
// Terrain textures: plain ".map" images, four detail levels per material.
extern const char* const kSampleTerrainMaterials[];  // in material-type order
extern const int kSampleTerrainMaterialCount;
// The grass-to-dirt cap and diagonal textures ("gdcap0".."gdcap3", "gddiag0".."gddiag3").
extern const char* const kSampleCapTexture;
extern const char* const kSampleDiagonalTexture;

// The hardware preload list "map.lst" (comments, capitals, other extensions) and the texture
// names it lists, as the game reads them.
std::string SampleMapListText();
extern const char* const kSampleMapListNames[];
extern const int kSampleMapListNameCount;

// The sample map's "Sky" section: the tiled sky, the sun sprite and the four-panel backdrop.
std::string SampleSkySections();

// Every texture file of the sample world.
std::vector<ArchiveRecord> SampleTextureRecords();
// The "TextureType0".."TextureType4" sections of the sample map's ".TRN" file.
std::string SampleTerrainTextureSections();
// The sample textures into the pack directory of the world's directory.
bool WriteTextureWorld(const std::string& dir, std::string* error);

}  // namespace content

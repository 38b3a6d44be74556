// Picture files: 8-bit run-length coded PCX pictures with a 256-colour palette at the end
// (screenshots), written from a buffer or an image record and read back into an image record.
//
// Image record: 16-bit width, 16-bit zero, 32-bit height, then height rows of width bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "render/graphicbuffer.h"

constexpr int kPictureHeaderSize = 128;
constexpr int kPicturePaletteSize = 768;
constexpr int kPictureMaxWidth = 32767;

// 1, or 0 when the file cannot be created or a write fails. The path is used as given.
int Picture_Write(const char* path, const GraphicBuffer* buffer, const uint8_t palette[kPicturePaletteSize]);
int Picture_WriteImage(const char* path, const uint8_t* image, const uint8_t palette[kPicturePaletteSize]);
// The coded picture in memory (what the two writers put in the file).
std::vector<uint8_t> Picture_Encode(const uint8_t* pixels, int width, int height, size_t pitch,
                                    const uint8_t palette[kPicturePaletteSize]);
// A new image record (free with delete[]), or null for a missing, short or refused file.
uint8_t* Picture_Read(const char* path);
uint8_t* Picture_Decode(const uint8_t* bytes, size_t size);
// 1 when the file opens, its header is accepted and it holds a palette, which is copied out.
int Picture_CheckFile(const char* path, uint8_t palette[kPicturePaletteSize]);

// The coding steps: a run of count (1..63) of value; a row of count bytes.
void Rle_PutRun(int count, std::vector<uint8_t>& out, uint8_t value);
void Rle_WriteRow(const uint8_t* row, int count, std::vector<uint8_t>& out);
// Decodes one row of rowBytes coded bytes from bytes[*at..size) into row (count bytes kept);
// false when the data ends first.
bool Rle_ReadRow(const uint8_t* bytes, size_t size, size_t* at, uint8_t* row, int count, int rowBytes);

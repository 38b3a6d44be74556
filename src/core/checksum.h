// The content checksum players compare before a network game, and the CRC-32 behind it
// (polynomial 0x04C11DB7, most significant bit first).
#pragma once
#include <cstddef>
#include <cstdint>

// The text every content checksum starts from.
constexpr char kChecksumSeedText[] = "Thu 02/14/2008";
// The mission's files covered, in order: the mission name (cut at its first '.') with each.
constexpr const char* kChecksumMissionExtensions[6] = {"vxt", "trn", "lgt", "hgt", "qmn", "mat"};

// Continues the CRC from value over length bytes and returns the complement of the result.
// A chained call passes the previous result on as it is, so splitting a range in two calls
// gives another value than one call over the whole range.
uint32_t CRC32_Update(const void* bytes, size_t length, uint32_t value);
// The standard unreflected CRC-32 of the bytes: CRC32_Update from 0xFFFFFFFF.
uint32_t CRC32_Memory(const void* bytes, size_t length);
// Continues over every byte of a host file (mapped read-only; relative names from the working
// directory). A file that cannot be opened or mapped, an empty one included, leaves value as it is.
uint32_t CRC32_DiskFile(const char* path, uint32_t value);
// Continues over a data file found through the file index, telling the lobby first and tracing
// the name and the values. A missing file leaves value as it is.
uint32_t CRC32_File(const char* name, uint32_t value);
// Continues over "check.odf", then each file it names (separated by any of ", \t\r\n"); after a
// name ending in ".odf" also over the same name ending in ".vdf" and then ".sdf" when the index
// knows them.
uint32_t CRC32_CheckList(uint32_t value);
// The content checksum: the seed text from 0, the running program's own file, the check list,
// then the mission's files.
uint32_t CRC32_GameContent(const char* missionName);

// The size of the mission's ".qmn" file through the index (the name cut at its first '.'),
// 0 when it is absent.
uint32_t Mission_GetQmnSize(const char* missionName);

// Record archives (".zfs"): one file holding many named records, each optionally compressed
// with LZO1X or LZO1Y and optionally masked word by word with the archive's mask word.
//
// Layout (all numbers unsigned 32-bit little-endian): a 28-byte header ("ZFSF", version 1,
// name length 16, 100 records per directory table, records ever added, mask word, offset of the
// first directory table), then record data and directory tables in the order they were written.
// A directory table is the offset of the next table (0 = last) and 100 entries of 36 bytes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/debug.h"

constexpr uint32_t kZfsVersion = 1;
constexpr uint32_t kZfsNameLength = 16;
constexpr uint32_t kZfsRecordsPerTable = 100;
constexpr uint32_t kZfsHeaderSize = 28;
constexpr uint32_t kZfsEntrySize = 36;
constexpr uint32_t kZfsTableSize = 4 + kZfsRecordsPerTable * kZfsEntrySize;  // 3604
constexpr uint32_t kZfsFlagDeleted = 0x1;
constexpr uint32_t kZfsFlagLzo1x = 0x2;
constexpr uint32_t kZfsFlagLzo1y = 0x4;
constexpr uint32_t kZfsMaxPackedLength = 0xFFFFFF;  // longer records are never compressed

struct ZfsEntry {
    char name[kZfsNameLength] = {};  // lower case, zero-padded, not terminated at 16 characters
    uint32_t offset = 0;
    uint32_t recordNumber = 0;
    uint32_t storedLength = 0;
    uint32_t userValue = 0;  // the caller's value kept with the record
    uint32_t flags = 0;      // bits 8-31: length before compression when bit 1 or 2 is set
    // Where the entry lives on disk (directory table index and slot).
    uint32_t table = 0;
    uint32_t slot = 0;

    std::string Name() const;
    bool Compressed() const { return (flags & (kZfsFlagLzo1x | kZfsFlagLzo1y)) != 0; }
    // The length of the record's bytes as a reader gets them.
    uint32_t Length() const { return Compressed() ? flags >> 8 : storedLength; }
};

struct ZfsArchive {
    FILE* file = nullptr;
    std::string path;
    char name[16] = {};  // the file name without directory, at most 15 characters
    bool writable = false;
    uint64_t fileSize = 0;
    uint32_t tableCount = 0;
    uint32_t liveCount = 0;
    uint32_t headerCount = 0;  // records ever added, deleted ones included
    uint32_t mask = 0;
    std::vector<uint32_t> tableOffsets;
    std::vector<ZfsEntry> entries;  // live entries, sorted by name ignoring case
};

// The shared last-error text of the archive and index operations.
const char* Zfs_LastError();
void Zfs_SetError(const char* format, ...) GV_PRINTF(1, 2);

// Starts the LZO library on the first call; the result of its check is kept.
bool Zfs_LzoInit();

bool Zfs_Create(const std::string& path);
// Opens and reads the directory; opening for writing creates a missing file first.
ZfsArchive* Zfs_Open(const std::string& path, bool forWriting);
// True when every record's stored bytes lie inside the file; else false with the last error set.
bool Zfs_CheckRecords(const ZfsArchive* archive);
void Zfs_Close(ZfsArchive* archive);
// Drops the in-memory directory and reads it again from the same open file.
bool Zfs_Reopen(ZfsArchive* archive);

// Binary search by the first 16 characters, ignoring case.
const ZfsEntry* Zfs_Find(const ZfsArchive* archive, const char* name);
int32_t Zfs_RecordNumber(const ZfsArchive* archive, const char* name);  // -1 when absent
int64_t Zfs_RecordSize(const ZfsArchive* archive, const char* name);    // -1 when absent

bool Zfs_Add(ZfsArchive* archive, const char* name, const void* data, uint32_t length, uint32_t userValue,
             bool compress);
// Appends the new bytes (stored raw) and points the existing entry at them; the old bytes stay.
bool Zfs_Replace(ZfsArchive* archive, const char* name, const void* data, uint32_t length, uint32_t userValue);
bool Zfs_Delete(ZfsArchive* archive, const char* name);
// The record's bytes, uncompressed and unmasked: in buffer when one is given (null when it is too
// small), else in a new block (std::malloc, one zero byte after the data) that the caller frees.
void* Zfs_Read(ZfsArchive* archive, const char* name, uint32_t* outLength, void* buffer = nullptr,
               uint32_t bufferSize = 0);
const std::vector<ZfsEntry>& Zfs_Entries(const ZfsArchive* archive);
// For an unmasked archive and a record stored raw: the archive's file positioned at the record's
// data and its length; null otherwise. The file stays the archive's.
FILE* Zfs_Stream(ZfsArchive* archive, const char* name, uint32_t* outLength);

// Reads a whole plain file into a new block (std::malloc, one zero byte after the data).
bool File_LoadWhole(const std::string& path, void** data, uint32_t* size);

#include "core/zfs.h"

#include <lzo/lzo1x.h>
#include <lzo/lzo1y.h>
#include <lzo/lzoconf.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "core/app.h"
#include "core/bytes.h"
#include "core/helpers.h"
#include "platform/paths.h"

namespace {

char g_lastError[1024];

// Compares two record names on their first 16 characters, ignoring case.
int CompareNames(const char* a, const char* b) { return Text_CompareNoCaseN(a, b, kZfsNameLength); }

// The 16-byte stored form of a name: lower case, cut at 16, zero-padded.
void StoredName(const char* name, char out[kZfsNameLength]) {
    std::memset(out, 0, kZfsNameLength);
    for (uint32_t i = 0; i < kZfsNameLength && name[i]; ++i)
        out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
}

const char* BaseName(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return path.c_str() + (cut == std::string::npos ? 0 : cut + 1);
}

bool SeekTo(FILE* file, uint64_t offset) { return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0; }

bool ReadAt(FILE* file, uint64_t offset, void* data, size_t length) {
    return SeekTo(file, offset) && std::fread(data, 1, length, file) == length;
}
bool WriteAt(FILE* file, uint64_t offset, const void* data, size_t length) {
    return SeekTo(file, offset) && std::fwrite(data, 1, length, file) == length;
}

void MaskWords(uint8_t* data, uint32_t length, uint32_t mask) {
    if (mask == 0) return;
    for (uint32_t i = 0; i + 4 <= length; i += 4) Bytes_SetU32(data + i, Bytes_U32(data + i) ^ mask);
}

void LzoError(int code) {
    const char* what = "unknown error";
    switch (code) {
        case LZO_E_ERROR: what = "error"; break;
        case LZO_E_OUT_OF_MEMORY: what = "out of memory"; break;
        case LZO_E_NOT_COMPRESSIBLE: what = "not compressible"; break;
        case LZO_E_INPUT_OVERRUN: what = "input overrun"; break;
        case LZO_E_OUTPUT_OVERRUN: what = "output overrun"; break;
        case LZO_E_LOOKBEHIND_OVERRUN: what = "lookbehind overrun"; break;
        case LZO_E_EOF_NOT_FOUND: what = "end of data not found"; break;
        case LZO_E_INPUT_NOT_CONSUMED: what = "input not consumed"; break;
        default: break;
    }
    Zfs_SetError("Error %d during compression library operation: %s", code, what);
}

// Decompresses src with the decompressor the flags choose; true only when exactly `length`
// bytes come out.
bool Unpack(uint32_t flags, const uint8_t* src, uint32_t srcLength, uint8_t* out, uint32_t length) {
    if (!Zfs_LzoInit()) {
        LzoError(LZO_E_ERROR);
        return false;
    }
    lzo_uint outLength = length;
    int code = (flags & kZfsFlagLzo1x) ? lzo1x_decompress_safe(src, srcLength, out, &outLength, nullptr)
                                       : lzo1y_decompress_safe(src, srcLength, out, &outLength, nullptr);
    if (code != LZO_E_OK) {
        LzoError(code);
        return false;
    }
    if (outLength != length) {
        LzoError(LZO_E_INPUT_NOT_CONSUMED);
        return false;
    }
    return true;
}

void SortEntries(ZfsArchive* archive) {
    std::stable_sort(archive->entries.begin(), archive->entries.end(),
                     [](const ZfsEntry& a, const ZfsEntry& b) { return CompareNames(a.name, b.name) < 0; });
}

void ParseEntry(const uint8_t* p, ZfsEntry* entry) {
    std::memcpy(entry->name, p, kZfsNameLength);
    entry->offset = Bytes_U32(p + 16);
    entry->recordNumber = Bytes_U32(p + 20);
    entry->storedLength = Bytes_U32(p + 24);
    entry->userValue = Bytes_U32(p + 28);
    entry->flags = Bytes_U32(p + 32);
}
void WriteEntry(uint8_t* p, const ZfsEntry& entry) {
    std::memcpy(p, entry.name, kZfsNameLength);
    Bytes_SetU32(p + 16, entry.offset);
    Bytes_SetU32(p + 20, entry.recordNumber);
    Bytes_SetU32(p + 24, entry.storedLength);
    Bytes_SetU32(p + 28, entry.userValue);
    Bytes_SetU32(p + 32, entry.flags);
}

// Reads the header and the directory-table chain of the open file into the archive.
bool ReadDirectory(ZfsArchive* archive) {
    const char* path = archive->path.c_str();
    archive->tableOffsets.clear();
    archive->entries.clear();
    archive->tableCount = archive->liveCount = archive->headerCount = archive->mask = 0;

    if (fseeko(archive->file, 0, SEEK_END) != 0) {
        Zfs_SetError("Could not read header of file \"%s\"", path);
        return false;
    }
    archive->fileSize = static_cast<uint64_t>(ftello(archive->file));
    uint8_t header[kZfsHeaderSize];
    if (!ReadAt(archive->file, 0, header, sizeof header)) {
        Zfs_SetError("Could not read header of file \"%s\"", path);
        return false;
    }
    if (std::memcmp(header, "ZFSF", 4) != 0 || Bytes_U32(header + 4) != kZfsVersion ||
        Bytes_U32(header + 8) != kZfsNameLength || Bytes_U32(header + 12) != kZfsRecordsPerTable) {
        Zfs_SetError("Invalid header in file \"%s\"", path);
        return false;
    }
    archive->headerCount = Bytes_U32(header + 16);
    archive->mask = Bytes_U32(header + 20);
    uint32_t expected = archive->headerCount / kZfsRecordsPerTable + 1;

    std::set<uint32_t> seen;
    std::vector<uint8_t> table(kZfsTableSize);
    uint32_t offset = Bytes_U32(header + 24);
    uint32_t index = 0;
    while (offset != 0) {
        if (offset < kZfsHeaderSize || uint64_t(offset) + kZfsTableSize > archive->fileSize ||
            !ReadAt(archive->file, offset, table.data(), kZfsTableSize)) {
            Zfs_SetError("Could not read dtable %u of file \"%s\"", index, path);
            return false;
        }
        if (!seen.insert(offset).second) {
            Zfs_SetError("Directory table chain loops at dtable %u of file \"%s\"", index, path);
            return false;
        }
        archive->tableOffsets.push_back(offset);
        for (uint32_t slot = 0; slot < kZfsRecordsPerTable; ++slot) {
            const uint8_t* p = table.data() + 4 + slot * kZfsEntrySize;
            if (p[0] == 0) break;  // an empty name ends the table's list
            ZfsEntry entry;
            ParseEntry(p, &entry);
            entry.table = index;
            entry.slot = slot;
            if (!(entry.flags & kZfsFlagDeleted)) archive->entries.push_back(entry);
        }
        offset = Bytes_U32(table.data());
        ++index;
    }
    if (index != expected) {
        Zfs_SetError("Header has %u dtables; actually %u dtables in file \"%s\"", expected, index, path);
        archive->tableOffsets.clear();
        archive->entries.clear();
        return false;
    }
    archive->tableCount = index;
    archive->liveCount = static_cast<uint32_t>(archive->entries.size());
    SortEntries(archive);
    return true;
}

ZfsEntry* FindMutable(ZfsArchive* archive, const char* name) {
    return const_cast<ZfsEntry*>(Zfs_Find(archive, name));
}

// Checks that a record's stored bytes lie inside the file.
bool RecordFits(const ZfsArchive* archive, const ZfsEntry& entry) {
    if (uint64_t(entry.offset) + entry.storedLength > archive->fileSize || entry.offset < kZfsHeaderSize) {
        Zfs_SetError("Record %s lies outside file \"%s\"", entry.Name().c_str(), archive->path.c_str());
        return false;
    }
    return true;
}

bool CheckWritable(const ZfsArchive* archive) {
    if (archive->writable) return true;
    Zfs_SetError("Error writing to file \"%s\"", archive->path.c_str());
    return false;
}

// Appends bytes at the end of the file; returns their offset through `offset`.
bool AppendData(ZfsArchive* archive, const char* name, const uint8_t* data, uint32_t length, uint32_t* offset) {
    if (archive->fileSize + length > 0xFFFFFFFFull) {
        Zfs_SetError("Could not write data %s to file \"%s\"", name, archive->path.c_str());
        return false;
    }
    *offset = static_cast<uint32_t>(archive->fileSize);
    if (length > 0 && !WriteAt(archive->file, archive->fileSize, data, length)) {
        Zfs_SetError("Could not write data %s to file \"%s\"", name, archive->path.c_str());
        return false;
    }
    archive->fileSize += length;
    return true;
}

bool WriteTableEntry(ZfsArchive* archive, const ZfsEntry& entry) {
    uint8_t raw[kZfsEntrySize];
    WriteEntry(raw, entry);
    uint64_t at = uint64_t(archive->tableOffsets[entry.table]) + 4 + entry.slot * kZfsEntrySize;
    if (!WriteAt(archive->file, at, raw, sizeof raw)) {
        Zfs_SetError("Error writing to file \"%s\"", archive->path.c_str());
        return false;
    }
    return true;
}

// Prepares a record's stored form: masked, then compressed when asked and worth it.
std::vector<uint8_t> Pack(const ZfsArchive* archive, const void* data, uint32_t length, bool compress,
                          uint32_t* flags, bool* ok) {
    *ok = true;
    *flags = 0;
    std::vector<uint8_t> plain(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + length);
    MaskWords(plain.data(), length, archive->mask);
    if (!compress || length == 0 || length > kZfsMaxPackedLength) return plain;
    if (!Zfs_LzoInit()) {
        LzoError(LZO_E_ERROR);
        *ok = false;
        return {};
    }
    // LZO's documented worst case for incompressible input.
    size_t bound = size_t(length) + length / 16 + 64 + 3;
    std::vector<uint8_t> packX(bound), packY(bound);
    std::vector<uint8_t> work(std::max<size_t>(LZO1X_999_MEM_COMPRESS, LZO1Y_999_MEM_COMPRESS));
    lzo_uint lengthX = bound, lengthY = bound;
    int code = lzo1x_999_compress(plain.data(), length, packX.data(), &lengthX, work.data());
    if (code == LZO_E_OK) code = lzo1y_999_compress(plain.data(), length, packY.data(), &lengthY, work.data());
    if (code != LZO_E_OK) {
        LzoError(code);
        *ok = false;
        return {};
    }
    std::vector<uint8_t> check(length);
    if (lengthX <= lengthY && lengthX < length) {
        if (Unpack(kZfsFlagLzo1x, packX.data(), uint32_t(lengthX), check.data(), length) && check == plain) {
            packX.resize(lengthX);
            *flags = (length << 8) | kZfsFlagLzo1x;
            return packX;
        }
    } else if (lengthY < length) {
        if (Unpack(kZfsFlagLzo1y, packY.data(), uint32_t(lengthY), check.data(), length) && check == plain) {
            packY.resize(lengthY);
            *flags = (length << 8) | kZfsFlagLzo1y;
            return packY;
        }
    }
    return plain;
}

}  // namespace

std::string ZfsEntry::Name() const { return std::string(name, strnlen(name, kZfsNameLength)); }

const char* Zfs_LastError() { return g_lastError; }

void Zfs_SetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_lastError, sizeof g_lastError, format, args);
    va_end(args);
}

bool Zfs_LzoInit() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

bool Zfs_Create(const std::string& path) {
    if (FILE* existing = Plat_OpenFile(path, "rb")) {
        std::fclose(existing);
        Zfs_SetError("File \"%s\" already exists", path.c_str());
        return false;
    }
    FILE* file = Plat_OpenFile(path, "wb");
    if (!file) {
        Zfs_SetError("Could not create file \"%s\"", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes(kZfsHeaderSize + kZfsTableSize, 0);
    std::memcpy(bytes.data(), "ZFSF", 4);
    Bytes_SetU32(&bytes[4], kZfsVersion);
    Bytes_SetU32(&bytes[8], kZfsNameLength);
    Bytes_SetU32(&bytes[12], kZfsRecordsPerTable);
    Bytes_SetU32(&bytes[24], kZfsHeaderSize);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) {
        Zfs_SetError("Error writing to file \"%s\"", path.c_str());
        return false;
    }
    Plat_ForgetDirectoryCache();
    return true;
}

ZfsArchive* Zfs_Open(const std::string& path, bool forWriting) {
    if (forWriting && !Plat_FileExists(path) && !Zfs_Create(path)) return nullptr;
    FILE* file = Plat_OpenFile(path, forWriting ? "rb+" : "rb");
    if (!file) {
        Zfs_SetError("Could not open file \"%s\"", path.c_str());
        return nullptr;
    }
    if (!forWriting) std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    auto archive = std::make_unique<ZfsArchive>();
    archive->file = file;
    archive->path = path;
    archive->writable = forWriting;
    std::strncpy(archive->name, BaseName(path), sizeof archive->name - 1);
    if (!ReadDirectory(archive.get())) {
        std::fclose(file);
        return nullptr;
    }
    return archive.release();
}

bool Zfs_CheckRecords(const ZfsArchive* archive) {
    if (!archive) return false;
    for (const ZfsEntry& entry : archive->entries)
        if (!RecordFits(archive, entry)) return false;
    return true;
}

void Zfs_Close(ZfsArchive* archive) {
    if (!archive) return;
    if (archive->file) std::fclose(archive->file);
    delete archive;
}

bool Zfs_Reopen(ZfsArchive* archive) { return archive && archive->file && ReadDirectory(archive); }

const ZfsEntry* Zfs_Find(const ZfsArchive* archive, const char* name) {
    if (!archive || !name) return nullptr;
    auto it = std::lower_bound(archive->entries.begin(), archive->entries.end(), name,
                               [](const ZfsEntry& e, const char* n) { return CompareNames(e.name, n) < 0; });
    if (it == archive->entries.end() || CompareNames(it->name, name) != 0) return nullptr;
    return &*it;
}

int32_t Zfs_RecordNumber(const ZfsArchive* archive, const char* name) {
    const ZfsEntry* entry = Zfs_Find(archive, name);
    return entry ? static_cast<int32_t>(entry->recordNumber) : -1;
}

int64_t Zfs_RecordSize(const ZfsArchive* archive, const char* name) {
    const ZfsEntry* entry = Zfs_Find(archive, name);
    return entry ? int64_t(entry->Length()) : -1;
}

bool Zfs_Add(ZfsArchive* archive, const char* name, const void* data, uint32_t length, uint32_t userValue,
             bool compress) {
    if (!archive || !CheckWritable(archive)) return false;
    const char* path = archive->path.c_str();
    if (!name || !name[0]) {
        Zfs_SetError("Could not write data %s to file \"%s\"", "(no name)", path);
        return false;
    }
    uint32_t tableIndex = archive->headerCount / kZfsRecordsPerTable;
    uint32_t slot = archive->headerCount % kZfsRecordsPerTable;
    if (tableIndex >= archive->tableOffsets.size()) {
        Zfs_SetError("Could not read dtable %u of file \"%s\"", tableIndex, path);
        return false;
    }
    uint32_t flags = 0;
    bool packed = false;
    std::vector<uint8_t> stored = Pack(archive, data, length, compress, &flags, &packed);
    if (!packed) return false;

    ZfsEntry entry;
    StoredName(name, entry.name);
    entry.recordNumber = archive->headerCount;
    entry.storedLength = static_cast<uint32_t>(stored.size());
    entry.userValue = userValue;
    entry.flags = flags;
    entry.table = tableIndex;
    entry.slot = slot;
    if (!AppendData(archive, name, stored.data(), entry.storedLength, &entry.offset)) return false;

    std::vector<uint8_t> table(kZfsTableSize);
    uint32_t tableOffset = archive->tableOffsets[tableIndex];
    if (!ReadAt(archive->file, tableOffset, table.data(), kZfsTableSize)) {
        Zfs_SetError("Could not read dtable %u of file \"%s\"", tableIndex, path);
        return false;
    }
    WriteEntry(table.data() + 4 + slot * kZfsEntrySize, entry);
    uint32_t newTable = 0;
    if (slot == kZfsRecordsPerTable - 1) {
        // The table is full: a zeroed one follows at the end of the file.
        std::vector<uint8_t> empty(kZfsTableSize, 0);
        if (archive->fileSize + kZfsTableSize > 0xFFFFFFFFull ||
            !WriteAt(archive->file, archive->fileSize, empty.data(), kZfsTableSize)) {
            Zfs_SetError("Could not write dtable to file \"%s\"", path);
            return false;
        }
        newTable = static_cast<uint32_t>(archive->fileSize);
        archive->fileSize += kZfsTableSize;
        Bytes_SetU32(table.data(), newTable);
    }
    if (!WriteAt(archive->file, tableOffset, table.data(), kZfsTableSize)) {
        Zfs_SetError("Error writing to file \"%s\"", path);
        return false;
    }
    uint8_t header[kZfsHeaderSize];
    if (!ReadAt(archive->file, 0, header, sizeof header)) {
        Zfs_SetError("Could not read header of file \"%s\"", path);
        return false;
    }
    Bytes_SetU32(header + 16, archive->headerCount + 1);
    if (!WriteAt(archive->file, 0, header, sizeof header) || std::fflush(archive->file) != 0) {
        Zfs_SetError("Could not write header of file \"%s\"", path);
        return false;
    }
    archive->headerCount++;
    if (newTable) {
        archive->tableOffsets.push_back(newTable);
        archive->tableCount++;
    }
    auto at = std::upper_bound(archive->entries.begin(), archive->entries.end(), entry,
                               [](const ZfsEntry& a, const ZfsEntry& b) { return CompareNames(a.name, b.name) < 0; });
    archive->entries.insert(at, entry);
    archive->liveCount++;
    return true;
}

bool Zfs_Replace(ZfsArchive* archive, const char* name, const void* data, uint32_t length, uint32_t userValue) {
    if (!archive || !CheckWritable(archive)) return false;
    ZfsEntry* entry = FindMutable(archive, name);
    if (!entry) {
        Zfs_SetError("Could not find old record \"%s\" in file \"%s\"", name ? name : "", archive->path.c_str());
        return false;
    }
    uint32_t flags = 0;
    bool packed = false;
    std::vector<uint8_t> stored = Pack(archive, data, length, false, &flags, &packed);
    if (!packed) return false;
    ZfsEntry updated = *entry;
    if (!AppendData(archive, name, stored.data(), length, &updated.offset)) return false;
    updated.storedLength = length;
    updated.userValue = userValue;
    updated.flags = entry->flags & kZfsFlagDeleted;
    if (!WriteTableEntry(archive, updated) || std::fflush(archive->file) != 0) return false;
    *entry = updated;
    return true;
}

bool Zfs_Delete(ZfsArchive* archive, const char* name) {
    if (!archive || !CheckWritable(archive)) return false;
    ZfsEntry* entry = FindMutable(archive, name);
    if (!entry) {
        Zfs_SetError("Could not find record \"%s\" in file \"%s\"", name ? name : "", archive->path.c_str());
        return false;
    }
    ZfsEntry updated = *entry;
    updated.flags |= kZfsFlagDeleted;
    if (!WriteTableEntry(archive, updated) || std::fflush(archive->file) != 0) return false;
    archive->entries.erase(archive->entries.begin() + (entry - archive->entries.data()));
    archive->liveCount--;
    return true;
}

void* Zfs_Read(ZfsArchive* archive, const char* name, uint32_t* outLength, void* buffer, uint32_t bufferSize) {
    if (outLength) *outLength = 0;
    if (!archive) return nullptr;
    const ZfsEntry* entry = Zfs_Find(archive, name);
    if (!entry) {
        Zfs_SetError("Could not find record \"%s\" in file \"%s\"", name ? name : "", archive->path.c_str());
        return nullptr;
    }
    if (!RecordFits(archive, *entry)) return nullptr;
    uint32_t length = entry->Length();
    if (buffer && bufferSize < length) {
        Zfs_SetError("Could not read record %s from file \"%s\"", entry->Name().c_str(), archive->path.c_str());
        return nullptr;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    bool owned = false;
    if (!out) {
        out = static_cast<uint8_t*>(std::malloc(size_t(length) + 1));
        if (!out) App_OutOfMemory(nullptr);
        out[length] = 0;
        owned = true;
    }
    bool ok;
    if (entry->Compressed()) {
        std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[size_t(entry->storedLength) + 1]);
        if (!packed) App_OutOfMemory(nullptr);
        ok = ReadAt(archive->file, entry->offset, packed.get(), entry->storedLength);
        if (!ok)
            Zfs_SetError("Could not read record %s from file \"%s\"", entry->Name().c_str(), archive->path.c_str());
        else if (!(ok = Unpack(entry->flags, packed.get(), entry->storedLength, out, length))) {
            // The library's reason alone does not say which record of which file is damaged.
            const std::string reason = Zfs_LastError();
            Zfs_SetError("Could not unpack record %s from file \"%s\" (%s)", entry->Name().c_str(),
                         archive->path.c_str(), reason.c_str());
        }
    } else {
        ok = ReadAt(archive->file, entry->offset, out, length);
        if (!ok)
            Zfs_SetError("Could not read record %s from file \"%s\"", entry->Name().c_str(), archive->path.c_str());
    }
    if (!ok) {
        if (owned) std::free(out);
        return nullptr;
    }
    MaskWords(out, length, archive->mask);
    if (outLength) *outLength = length;
    return out;
}

const std::vector<ZfsEntry>& Zfs_Entries(const ZfsArchive* archive) { return archive->entries; }

FILE* Zfs_Stream(ZfsArchive* archive, const char* name, uint32_t* outLength) {
    if (outLength) *outLength = 0;
    if (!archive || archive->mask != 0) return nullptr;
    const ZfsEntry* entry = Zfs_Find(archive, name);
    if (!entry || entry->Compressed() || !RecordFits(archive, *entry)) return nullptr;
    if (!SeekTo(archive->file, entry->offset)) return nullptr;
    if (outLength) *outLength = entry->storedLength;
    return archive->file;
}

bool File_LoadWhole(const std::string& path, void** data, uint32_t* size) {
    *data = nullptr;
    *size = 0;
    FILE* file = Plat_OpenFile(path, "rb");
    if (!file) {
        Zfs_SetError("Couldn't open file \"%s\"", path.c_str());
        return false;
    }
    bool ok = fseeko(file, 0, SEEK_END) == 0;
    off_t length = ok ? ftello(file) : -1;
    ok = ok && length >= 0 && length < 0xFFFFFFFF && fseeko(file, 0, SEEK_SET) == 0;
    uint8_t* block = nullptr;
    if (ok) {
        block = static_cast<uint8_t*>(std::malloc(size_t(length) + 1));
        if (!block) {
            std::fclose(file);
            App_OutOfMemory(nullptr);
        }
        ok = std::fread(block, 1, size_t(length), file) == size_t(length);
    }
    std::fclose(file);
    if (!ok) {
        std::free(block);
        Zfs_SetError("Could not read file \"%s\"", path.c_str());
        return false;
    }
    block[length] = 0;
    *data = block;
    *size = static_cast<uint32_t>(length);
    return true;
}

#include "core/checksum.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/debug.h"
#include "core/seams/net.h"
#include "core/zix.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7u;
constexpr char kCheckListName[] = "check.odf";
constexpr char kCheckListSeparators[] = ", \t\r\n";

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = i << 24;
        for (int step = 0; step < 8; ++step) entry = (entry & 0x80000000u) ? (entry << 1) ^ kPolynomial : entry << 1;
        table[i] = entry;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kTable = MakeTable();
static_assert(kTable[1] == kPolynomial);

// The file's bytes through the index, continued into value; the bytes are kept when asked for.
uint32_t ContinueOverFile(const char* name, uint32_t value, std::vector<char>* keep) {
    Seam_Net().signalGameStart();
    Debug_Trace("%s %08x ", name, value);
    uint32_t size = 0;
    void* data = Zix_LoadFile(name, &size);
    if (!data) {
        Debug_Trace("\"%s\" not found\n", name);
        return value;
    }
    value = CRC32_Update(data, size, value);
    if (keep) keep->assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    std::free(data);
    Debug_Trace("%08x\n", value);
    return value;
}

bool EndsWithNoCase(const std::string& text, const char* ending) {
    size_t n = std::strlen(ending);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = text[text.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

// The mission name up to its first '.'.
std::string MissionStem(const char* missionName) {
    std::string stem = missionName ? missionName : "";
    size_t dot = stem.find('.');
    if (dot != std::string::npos) stem.resize(dot);
    return stem;
}

}  // namespace

uint32_t CRC32_Update(const void* bytes, size_t length, uint32_t value) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length; ++i) value = (value << 8) ^ kTable[(value >> 24) ^ p[i]];
    return ~value;
}

uint32_t CRC32_Memory(const void* bytes, size_t length) { return CRC32_Update(bytes, length, 0xFFFFFFFFu); }

uint32_t CRC32_DiskFile(const char* path, uint32_t value) {
    if (!path || !*path) return value;
    PlatMappedFile* file = Plat_MapFileReadOnly(Plat_ResolvePath(path));
    if (!file) return value;
    value = CRC32_Update(file->data, file->size, value);
    Plat_UnmapFile(file);
    return value;
}

uint32_t CRC32_File(const char* name, uint32_t value) {
    if (!name || !*name) return value;
    return ContinueOverFile(name, value, nullptr);
}

uint32_t CRC32_CheckList(uint32_t value) {
    std::vector<char> list;
    value = ContinueOverFile(kCheckListName, value, &list);
    // The list is text: it ends at a zero byte.
    list.erase(std::find(list.begin(), list.end(), '\0'), list.end());
    size_t at = 0;
    while (at < list.size()) {
        size_t end = at;
        while (end < list.size() && !std::strchr(kCheckListSeparators, list[end])) ++end;
        if (end > at) {
            std::string name(list.data() + at, end - at);
            value = CRC32_File(name.c_str(), value);
            if (EndsWithNoCase(name, ".odf")) {
                std::string stem = name.substr(0, name.size() - 4);
                for (const char* ending : {".vdf", ".sdf"}) {
                    std::string companion = stem + ending;
                    if (Zix_FileExists(companion.c_str())) value = CRC32_File(companion.c_str(), value);
                }
            }
        }
        at = end + 1;
    }
    return value;
}

uint32_t CRC32_GameContent(const char* missionName) {
    uint32_t value = CRC32_Update(kChecksumSeedText, sizeof kChecksumSeedText - 1, 0);
    value = CRC32_DiskFile(Plat_ExecutablePath().c_str(), value);
    value = CRC32_CheckList(value);
    const std::string stem = MissionStem(missionName);
    for (const char* extension : kChecksumMissionExtensions) {
        std::string name = stem + "." + extension;
        value = CRC32_File(name.c_str(), value);
    }
    return value;
}

uint32_t Mission_GetQmnSize(const char* missionName) {
    std::string name = MissionStem(missionName) + ".qmn";
    return Zix_FileSize(name.c_str());
}

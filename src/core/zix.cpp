#include "core/zix.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include "core/debug.h"
#include "core/filecache.h"
#include "core/glob.h"
#include "core/helpers.h"
#include "core/zfs.h"
#include "platform/paths.h"

namespace {

std::vector<ZixPath> g_paths;
std::vector<ZixVolume> g_volumes(kZixMaxVolumes);
std::vector<ZixFile> g_files;
int g_addonPaths = 0;

struct TempRecord {
    char name[16];
    int path;
};

void StoredName(const char* name, char out[16]) {
    std::memset(out, 0, 16);
    for (int i = 0; i < 16 && name[i]; ++i) out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool NameLess(const char* a, const char* b) { return std::memcmp(a, b, 16) < 0; }

// The text of the index file, cut into lines, read by two kinds of readers.
class IndexText {
public:
    explicit IndexText(std::string text) : text_(std::move(text)) {}

    // The first line's number.
    bool ReadCount(long* count) {
        std::string line;
        if (!RawLine(&line)) return false;
        const char* p = line.c_str();
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(p, &end, 10);
        if (end == p || errno != 0) return false;
        *count = value;
        return true;
    }

    // A section line: blank lines skipped, leading white space skipped, cut at '#', lower-cased
    // outside single quotes. False at the end of the text.
    bool SectionLine(std::string* out) {
        std::string line;
        while (RawLine(&line)) {
            size_t start = line.find_first_not_of(" \t\r\v\f");
            if (start == std::string::npos) continue;
            line.erase(0, start);
            size_t hash = line.find('#');
            if (hash != std::string::npos) line.erase(hash);
            while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
            if (line.empty()) continue;
            bool quoted = false;
            for (char& c : line) {
                if (c == '\'') quoted = !quoted;
                else if (!quoted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            *out = line;
            return true;
        }
        return false;
    }

    // The next white-space separated word of the file section.
    bool Word(std::string* out) {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ >= text_.size()) return false;
        size_t start = pos_;
        while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        *out = text_.substr(start, pos_ - start);
        return true;
    }

    size_t Size() const { return text_.size(); }

private:
    bool RawLine(std::string* out) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) end = text_.size();
        *out = text_.substr(pos_, end - pos_);
        if (!out->empty() && out->back() == '\r') out->pop_back();
        pos_ = end + 1;
        return true;
    }

    std::string text_;
    size_t pos_ = 0;
};

bool AddPath(const std::string& text, int kind, int volume) {
    if (g_paths.size() >= size_t(kZixMaxPaths)) {
        Zfs_SetError("More than %d zix paths specified", kZixMaxPaths);
        return false;
    }
    ZixPath path;
    path.text = text;
    path.kind = kind;
    path.volume = volume;
    g_paths.push_back(path);
    return true;
}

bool IsPlainFile(const std::string& dir, const std::string& name) {
    return !name.empty() && name[0] != '.' && !Plat_IsDirectory(Plat_DataPath(dir + "\\" + name));
}

// Appends dir's subdirectories depth first: each before its own subdirectories.
bool ScanAddons(const std::string& dir) {
    for (const std::string& name : Plat_ListDirectory(Plat_DataPath(dir))) {
        if (name == "." || name == "..") continue;
        std::string sub = dir + "\\" + Lower(name);
        if (!Plat_IsDirectory(Plat_DataPath(sub))) continue;
        if (!AddPath(sub, 1, 0) || !ScanAddons(sub)) return false;
    }
    return true;
}

void ClearIndex() {
    for (ZixPath& path : g_paths) Zfs_Close(path.archive);
    g_paths.clear();
    g_volumes.assign(kZixMaxVolumes, ZixVolume{});
    g_files.clear();
    g_addonPaths = 0;
}

bool ReadVolumes(IndexText& text, const char* file) {
    std::string line;
    int read = 0;
    while (true) {
        if (!text.SectionLine(&line)) {
            Zfs_SetError("Unexpected end of %s in the volume section", file);
            return false;
        }
        if (line[0] == '-') return true;
        if (read++ >= kZixMaxVolumes) continue;  // only the first 16 lines count
        int number = -1;
        char base[kZixPathLength] = {}, label[kZixPathLength] = {};
        if (std::sscanf(line.c_str(), "%d %255s %255s", &number, base, label) != 3) continue;
        if (number < 0 || number >= kZixMaxVolumes) continue;
        ZixVolume& volume = g_volumes[size_t(number)];
        volume.defined = true;
        volume.base = base;
        volume.label = label;
        size_t quote = line.find('\'');
        volume.text.clear();
        if (quote != std::string::npos) {
            volume.text = line.substr(quote + 1);
            if (!volume.text.empty() && volume.text.back() == '\'') volume.text.pop_back();
        }
    }
}

bool ReadSearchPaths(IndexText& text, const char* file) {
    std::string line;
    while (true) {
        if (!text.SectionLine(&line)) {
            Zfs_SetError("Unexpected end of %s in the path section", file);
            return false;
        }
        if (line[0] == '-') return true;
        char keyword[kZixPathLength] = {}, path[kZixPathLength + 1] = {};
        if (std::sscanf(line.c_str(), "%255s %256s", keyword, path) != 2 || std::strlen(path) >= kZixPathLength) {
            Zfs_SetError("Invalid path line in %s", file);
            return false;
        }
        int kind = 0, volume = 0;
        if (std::strcmp(keyword, "dir:") == 0) {
            kind = 1;
        } else if (std::strncmp(keyword, "cd", 2) == 0) {
            char* end = nullptr;
            long number = std::strtol(keyword + 2, &end, 10);
            if (end == keyword + 2 || number < 0 || number >= kZixMaxVolumes) {
                Zfs_SetError("Invalid path line in %s", file);
                return false;
            }
            volume = static_cast<int>(number);
        }
        if (!AddPath(path, kind, volume)) return false;
    }
}

// The path text of a search path, ready for Plat_DataPath.
std::string PathText(const ZixPath& path) {
    if (path.kind == 1) return path.text;
    const ZixVolume& volume = g_volumes[size_t(path.volume)];
    if (!volume.defined || volume.base.empty()) return path.text;
    return volume.base + "\\" + path.text;
}

const ZixFile* FindFile(const char* name) {
    char key[16];
    StoredName(name, key);
    auto it = std::lower_bound(g_files.begin(), g_files.end(), key,
                               [](const ZixFile& f, const char* k) { return NameLess(f.name, k); });
    if (it == g_files.end() || std::memcmp(it->name, key, 16) != 0) return nullptr;
    return &*it;
}

// Where a name is read from: its search path (the lowest index holding it), with the archive opened.
struct Source {
    ZixPath* path = nullptr;
    ZfsArchive* archive = nullptr;
    std::string loose;  // the loose file's host path when not an archive
};

bool Locate(const char* name, Source* source) {
    if (!name || !name[0]) {
        Zfs_SetError("Couldn't find file \"%s\"", "");
        return false;
    }
    const ZixFile* file = FindFile(name);
    if (!file || file->paths.none()) {
        Zfs_SetError("Couldn't find file \"%s\"", name);
        return false;
    }
    size_t index = file->paths._Find_first();
    if (index >= g_paths.size()) {
        Zfs_SetError("Couldn't find file \"%s\"", name);
        return false;
    }
    ZixPath& path = g_paths[index];
    source->path = &path;
    std::string text = PathText(path);
    if (Lower(text).find(".zfs") != std::string::npos) {
        if (!path.archive) path.archive = Zfs_Open(Plat_DataPath(text), false);
        if (!path.archive) return false;
        source->archive = path.archive;
    } else {
        source->loose = Plat_DataPath(text + "\\" + name);
    }
    return true;
}

}  // namespace

bool Zix_OpenArchives() {
    for (ZixPath& path : g_paths) {
        const std::string text = PathText(path);
        if (Lower(text).find(".zfs") == std::string::npos) continue;
        if (!path.archive) path.archive = Zfs_Open(Plat_DataPath(text), false);
        if (!path.archive || !Zfs_CheckRecords(path.archive)) return false;
    }
    return true;
}

std::string ZixFile::Name() const { return std::string(name, strnlen(name, 16)); }

bool Zix_Build(const std::string& indexFile) {
    ClearIndex();
    const char* fileName = indexFile.c_str();
    std::string hostPath = Plat_DataPath(indexFile);
    FILE* file = Plat_OpenFile(hostPath, "r");
    if (!file) {
        Zfs_SetError("Couldn't open file \"%s\"", fileName);
        return false;
    }
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    std::fclose(file);
    IndexText text(std::move(content));

    long fileCount = 0;
    if (!text.ReadCount(&fileCount) || fileCount < 0 || size_t(fileCount) > text.Size()) {
        Zfs_SetError("Could not read number of files from %s", fileName);
        return false;
    }

    auto fail = [] {
        ClearIndex();
        return false;
    };

    // The add-on directories come first, so their files win over the index file's.
    if (Plat_IsDirectory(Plat_DataPath("addon"))) {
        if (!AddPath("addon", 1, 0) || !ScanAddons("addon")) return fail();
    }
    g_addonPaths = static_cast<int>(g_paths.size());
    size_t addonFiles = 0;
    for (const ZixPath& path : g_paths)
        for (const std::string& name : Plat_ListDirectory(Plat_DataPath(path.text)))
            if (IsPlainFile(path.text, name)) ++addonFiles;
    size_t total = addonFiles + size_t(fileCount);

    if (!ReadVolumes(text, fileName) || !ReadSearchPaths(text, fileName)) return fail();
    int indexPaths = static_cast<int>(g_paths.size()) - g_addonPaths;

    std::vector<TempRecord> records(total);
    size_t listed = 0;
    for (size_t i = 0; i < g_paths.size(); ++i) {
        if (g_paths[i].kind != 1) continue;
        std::string dir = g_paths[i].text;
        for (const std::string& name : Plat_ListDirectory(Plat_DataPath(dir))) {
            if (!IsPlainFile(dir, name)) continue;
            if (listed >= total) {
                Error_Fatal("ZIX record count overflow.  Try remaking ZIX files.");
                return fail();
            }
            StoredName(name.c_str(), records[listed].name);
            records[listed].path = static_cast<int>(i);
            ++listed;
        }
    }

    for (long i = 0; i < fileCount; ++i) {
        std::string number, name;
        char* end = nullptr;
        if (!text.Word(&number) || !text.Word(&name)) {
            Zfs_SetError("Invalid file line in %s", fileName);
            return fail();
        }
        errno = 0;
        long pathNumber = std::strtol(number.c_str(), &end, 10);
        if (*end != 0 || errno != 0 || pathNumber < 1 || pathNumber > indexPaths) {
            Zfs_SetError("Invalid file line in %s", fileName);
            return fail();
        }
        TempRecord& record = records[addonFiles + size_t(i)];
        StoredName(name.c_str(), record.name);
        record.path = static_cast<int>(pathNumber) + g_addonPaths - 1;
    }

    std::sort(records.begin(), records.end(), [](const TempRecord& a, const TempRecord& b) {
        int c = std::memcmp(a.name, b.name, 16);
        return c != 0 ? c < 0 : a.path < b.path;
    });
    for (const TempRecord& record : records) {
        if (g_files.empty() || std::memcmp(g_files.back().name, record.name, 16) != 0) {
            g_files.emplace_back();
            std::memcpy(g_files.back().name, record.name, 16);
        }
        g_files.back().paths.set(size_t(record.path));
    }
    return true;
}

void Zix_Free() { ClearIndex(); }

bool Zix_FileExists(const char* name) { return name && name[0] && FindFile(name) != nullptr; }

uint32_t Zix_FileSize(const char* name) {
    Source source;
    if (!Locate(name, &source)) return 0;
    if (source.archive) {
        int64_t size = Zfs_RecordSize(source.archive, name);
        if (size < 0) {
            Zfs_SetError("Could not find record \"%s\" in file \"%s\"", name, source.archive->path.c_str());
            return 0;
        }
        return static_cast<uint32_t>(size);
    }
    FILE* file = Plat_OpenFile(source.loose, "rb");
    if (!file) {
        Zfs_SetError("Couldn't open file \"%s\"", source.loose.c_str());
        return 0;
    }
    off_t length = fseeko(file, 0, SEEK_END) == 0 ? ftello(file) : -1;
    std::fclose(file);
    if (length < 0 || length >= 0xFFFFFFFF) {
        Zfs_SetError("Could not read file \"%s\"", source.loose.c_str());
        return 0;
    }
    return static_cast<uint32_t>(length);
}

void* Zix_LoadFile(const char* name, uint32_t* size) {
    if (size) *size = 0;
    Source source;
    if (!Locate(name, &source)) return nullptr;
    uint32_t length = 0;
    void* data = nullptr;
    if (source.archive) data = Zfs_Read(source.archive, name, &length);
    else if (!File_LoadWhole(source.loose, &data, &length)) data = nullptr;
    if (data && size) *size = length;
    return data;
}

bool Zix_ReadFile(const char* name, void* buffer, uint32_t size) {
    Source source;
    if (!Locate(name, &source)) return false;
    if (source.archive) {
        uint32_t length = 0;
        return Zfs_Read(source.archive, name, &length, buffer, size) != nullptr;
    }
    FILE* file = Plat_OpenFile(source.loose, "rb");
    if (!file) {
        Zfs_SetError("Couldn't open file \"%s\"", source.loose.c_str());
        return false;
    }
    bool ok = std::fread(buffer, 1, size, file) == size;
    std::fclose(file);
    if (!ok) Zfs_SetError("Could not read file \"%s\"", source.loose.c_str());
    return ok;
}

FILE* Zix_OpenStream(const char* name, uint32_t* length, bool* mustClose) {
    if (length) *length = 0;
    if (mustClose) *mustClose = false;
    Source source;
    if (!Locate(name, &source)) return nullptr;
    if (source.archive) {
        FILE* stream = Zfs_Stream(source.archive, name, length);
        if (!stream) Zfs_SetError("Could not read record %s from file \"%s\"", name, source.archive->path.c_str());
        return stream;
    }
    FILE* file = Plat_OpenFile(source.loose, "rb");
    if (!file) {
        Zfs_SetError("Couldn't open file \"%s\"", source.loose.c_str());
        return nullptr;
    }
    off_t size = fseeko(file, 0, SEEK_END) == 0 ? ftello(file) : -1;
    if (size < 0 || size >= 0xFFFFFFFF || fseeko(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        Zfs_SetError("Could not read file \"%s\"", source.loose.c_str());
        return nullptr;
    }
    if (length) *length = static_cast<uint32_t>(size);
    if (mustClose) *mustClose = true;
    return file;
}

const ZixFile* Zix_FindNext(const char* pattern, int* cursor) {
    if (!pattern || !cursor || *cursor < 0) return nullptr;
    for (size_t i = size_t(*cursor); i < g_files.size(); ++i) {
        if (Glob_MatchName(g_files[i].Name().c_str(), pattern)) {
            *cursor = static_cast<int>(i + 1);
            return &g_files[i];
        }
    }
    *cursor = static_cast<int>(g_files.size());
    return nullptr;
}

bool Zix_RegisterFile(const char* directory, const char* name) {
    if (!directory || !name || !name[0]) return false;
    Cache_FreeItem(name);
    size_t index = 0;
    while (index < g_paths.size() && Text_CompareNoCase(g_paths[index].text.c_str(), directory) != 0) ++index;
    if (index == g_paths.size() && !AddPath(directory, 1, 0)) return false;
    char key[16];
    StoredName(name, key);
    for (ZixFile& file : g_files) {
        if (std::memcmp(file.name, key, 16) == 0) {
            file.paths.set(index);
            return true;
        }
    }
    ZixFile file;
    std::memcpy(file.name, key, 16);
    file.paths.set(index);
    g_files.push_back(file);
    std::sort(g_files.begin(), g_files.end(), [](const ZixFile& a, const ZixFile& b) { return NameLess(a.name, b.name); });
    return true;
}

const std::vector<ZixPath>& Zix_Paths() { return g_paths; }
const std::vector<ZixVolume>& Zix_Volumes() { return g_volumes; }
const std::vector<ZixFile>& Zix_Files() { return g_files; }
int Zix_AddonPathCount() { return g_addonPaths; }

int Zix_PathOf(const char* name) {
    const ZixFile* file = name ? FindFile(name) : nullptr;
    if (!file || file->paths.none()) return -1;
    return static_cast<int>(file->paths._Find_first());
}

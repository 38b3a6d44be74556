// Writers for record archives (".zfs") and index files (".zix"), and the sample world's archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct ArchiveRecord {
    std::string name;
    std::string data;
    bool compress = true;  // stored raw anyway when LZO cannot shrink it
    uint32_t userValue = 0;
};

// Writes a new archive at path (an existing file is replaced) with the given mask word.
bool WriteArchive(const std::string& path, const std::vector<ArchiveRecord>& records, uint32_t mask,
                  std::string* error);

struct IndexVolume {
    int number = 0;
    std::string base;
    std::string label;
    std::string text;  // written after a single quote when not empty
};
struct IndexPath {
    std::string keyword;  // "dir:", "cd<n>" or anything else
    std::string path;
};
struct IndexEntry {
    int pathNumber = 1;  // 1 names the first path line
    std::string name;
};
struct IndexSpec {
    std::vector<IndexVolume> volumes;
    std::vector<IndexPath> paths;
    std::vector<IndexEntry> files;
    long countOverride = -1;  // the announced file count; -1 writes files.size()
};

std::string IndexText(const IndexSpec& spec);
bool WriteIndex(const std::string& path, const IndexSpec& spec, std::string* error);

// The index-file names the start-up may choose, "kolta.zix" first.
extern const char* const kIndexFileNames[5];

// Generators listed before WriteArchiveWorld put the files the game finds by plain name here
// (a directory under the world's directory); WriteArchiveWorld packs them (it may run again
// after later generators added files); the world's last step removes it.
extern const char* const kPackDirectory;

// The sample world's data: "kolta.zfs" (with every file of the pack directory), every
// "kolta*.zix" and a small "addon" tree.
bool WriteArchiveWorld(const std::string& dir, std::string* error);

// A fixed pseudo-random byte run that LZO cannot shrink.
std::string Noise(size_t length, uint32_t seed);

}  // namespace content

// The file index: every data file is found by plain name through one table built from an index
// file (".zix") and the "addon" directories. Each name lists the search paths that hold it; a
// search path is a directory of loose files or a record archive (".zfs"), opened on first use.
#pragma once
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ZfsArchive;

constexpr int kZixMaxPaths = 256;
constexpr int kZixMaxVolumes = 16;
constexpr size_t kZixPathLength = 256;

struct ZixPath {
    std::string text;
    int kind = 0;    // 1 a directory given by its full path, 0 relative to a volume
    int volume = 0;  // kind 0 only
    ZfsArchive* archive = nullptr;  // opened on first use when the path names a ".zfs"
};

struct ZixVolume {
    bool defined = false;
    std::string base;   // the base directory
    std::string label;  // kept, not used for lookups
    std::string text;   // the quoted text after the label, kept
};

struct ZixFile {
    char name[16] = {};  // lower case, zero-padded
    std::bitset<kZixMaxPaths> paths;
    std::string Name() const;
};

// Builds the index from an index file (a path under the data root) and the "addon" tree under the
// data root. False with the reason in Zfs_LastError(); the ZIX record-count overflow is fatal.
bool Zix_Build(const std::string& indexFile);
// Opens every archive the index names and checks that each record lies inside its file, so that
// a missing or damaged archive is found at start and not as a file that cannot be found later.
// False with the archive layer's last error set (it names the archive).
bool Zix_OpenArchives();
// Frees the table and closes every archive opened through it.
void Zix_Free();

bool Zix_FileExists(const char* name);
// The file's length; 0 (and the reason in Zfs_LastError()) when it cannot be had.
uint32_t Zix_FileSize(const char* name);
// The whole file in a new block (std::malloc, one zero byte after the data); null when missing.
void* Zix_LoadFile(const char* name, uint32_t* size);
// Reads the file into a caller's buffer of `size` bytes; the file must fit.
bool Zix_ReadFile(const char* name, void* buffer, uint32_t size);
// A stream positioned at the file's data and its length. mustClose tells whether the caller
// closes it (a loose file) or it belongs to an open archive.
FILE* Zix_OpenStream(const char* name, uint32_t* length, bool* mustClose);
// The next file from *cursor on whose name matches the wildcard pattern; the cursor moves past it.
const ZixFile* Zix_FindNext(const char* pattern, int* cursor);
// Makes a loose file written at run time findable (drops any cached copy first).
bool Zix_RegisterFile(const char* directory, const char* name);

// Read access for tools and tests.
const std::vector<ZixPath>& Zix_Paths();
const std::vector<ZixVolume>& Zix_Volumes();
const std::vector<ZixFile>& Zix_Files();
int Zix_AddonPathCount();
// The search-path index a name is read from, -1 when absent.
int Zix_PathOf(const char* name);

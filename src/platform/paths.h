// The one path module. Game paths use '\' or '/' as separators; each component is matched
// case-insensitively (against a cached directory scan) when the exact name does not exist.
// New files keep the case the game gives them.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Turns a game path into a host path: separators become '/', each existing component takes the
// case it has on disk; components that do not exist yet are kept as given. "." components are
// dropped and ".." takes back the component before it ("." when nothing is left).
std::string Plat_ResolvePath(const std::string& path);

// The data root (the generated world, read-only): the working directory unless set.
// Setting either directory to "" brings back its default.
void Plat_SetDataRoot(const std::string& dir);
const std::string& Plat_DataRoot();
// The profile directory (everything the game writes): GRAVENHOLT_PROFILE, else the working directory.
void Plat_SetProfileDir(const std::string& dir);
const std::string& Plat_ProfileDir();
// Makes sure the profile directory exists, creating it and its parents as needed. False with
// the reason ("No such file or directory", "Not a directory", ...) when it cannot be had.
bool Plat_PrepareProfileDir(std::string* reason);
// name resolved under the data root / the profile directory (absolute names are kept).
std::string Plat_DataPath(const std::string& name);
std::string Plat_ProfilePath(const std::string& name);

// fopen of a resolved path.
FILE* Plat_OpenFile(const std::string& path, const char* mode);
// Flushes the stream and has the system write it to the disk; false when either fails.
bool Plat_SyncFile(FILE* file);
// Cuts (or extends with zeros) an open file to size bytes.
bool Plat_TruncateFile(FILE* file, long size);
// Makes a file read-only for everyone (mode 0444) or writable by its owner again (0644).
bool Plat_SetFileReadOnly(const std::string& path, bool readOnly);
bool Plat_FileExists(const std::string& path);  // exists and is not a directory
bool Plat_IsDirectory(const std::string& path);
// Names (not paths) of the entries of a directory, sorted; empty when it is missing.
std::vector<std::string> Plat_ListDirectory(const std::string& path);
bool Plat_CreateDirectories(const std::string& path);
bool Plat_RemoveFile(const std::string& path);
// Renames a file, replacing the target when it exists (atomically on one file system).
bool Plat_RenameFile(const std::string& from, const std::string& to);
// Drops the directory scans (after files were created or removed behind the module's back).
void Plat_ForgetDirectoryCache();

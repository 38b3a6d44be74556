#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace {

// ASCII only: file names are compared byte for byte beyond that, whatever the locale says.
std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool EntryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string JoinDir(const std::string& dir, const std::string& name) {
    if (dir == ".") return name;
    if (!dir.empty() && dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Per directory: lower-cased name -> name on disk. Where names differ only in case, the first in
// sorted order wins, so the choice does not depend on the order readdir happens to return.
using Scan = std::unordered_map<std::string, std::string>;
std::mutex g_cacheMutex;
std::unordered_map<std::string, Scan> g_cache;

// The sorted entry names of a host directory; false when it cannot be read.
bool ListHostDirectory(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

// Reads a directory into the cache; false (and nothing cached) when it cannot be read.
bool ScanDirectory(const std::string& dir) {
    std::vector<std::string> names;
    if (!ListHostDirectory(dir, names)) {
        g_cache.erase(dir);
        return false;
    }
    Scan scan;
    for (const std::string& name : names) scan.emplace(Lower(name), name);
    g_cache[dir] = std::move(scan);
    return true;
}

// The on-disk spelling of `name` inside host directory `dir`, matched without regard to case.
// A cached hit is checked against the disk; a miss or a stale hit rescans the directory once.
std::optional<std::string> FindInDirectory(const std::string& dir, const std::string& name) {
    const std::string key = Lower(name);
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    auto lookup = [&]() -> std::optional<std::string> {
        auto d = g_cache.find(dir);
        if (d == g_cache.end()) return std::nullopt;
        auto e = d->second.find(key);
        if (e == d->second.end() || !EntryExists(JoinDir(dir, e->second))) return std::nullopt;
        return e->second;
    };
    if (auto hit = lookup()) return hit;
    if (!ScanDirectory(dir)) return std::nullopt;
    return lookup();
}

// Drops the scan of the directory holding `hostPath` (after the module created or removed there).
void ForgetParent(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.erase(parent);
}

bool IsAbsolute(const std::string& name) { return !name.empty() && IsSeparator(name[0]); }

std::string UnderDir(const std::string& dir, const std::string& name) {
    if (IsAbsolute(name)) return Plat_ResolvePath(name);
    if (name.empty()) return Plat_ResolvePath(dir);
    return Plat_ResolvePath(dir + "/" + name);
}

std::string g_dataRoot = ".";
std::optional<std::string> g_profileDir;

}  // namespace

std::string Plat_ResolvePath(const std::string& path) {
    if (path.empty()) return path;
    const bool absolute = IsSeparator(path[0]);
    std::vector<std::string> parts;
    std::string dir = absolute ? "/" : ".";  // host path of the components resolved so far
    auto rebuild = [&]() {
        std::string next(absolute ? "/" : ".");
        for (const std::string& p : parts) next = JoinDir(next, p);
        dir.swap(next);
    };
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back("..");  // above the root ".." stays at the root
            rebuild();
            continue;
        }
        const std::string exact = JoinDir(dir, part);
        if (!EntryExists(exact)) {
            if (auto found = FindInDirectory(dir, part)) part = *found;
        }
        parts.push_back(part);
        dir = JoinDir(dir, part);
    }
    return dir;
}

void Plat_SetDataRoot(const std::string& dir) { g_dataRoot = dir.empty() ? "." : dir; }
const std::string& Plat_DataRoot() { return g_dataRoot; }

void Plat_SetProfileDir(const std::string& dir) {
    if (dir.empty())
        g_profileDir.reset();
    else
        g_profileDir = dir;
}
const std::string& Plat_ProfileDir() {
    if (!g_profileDir) {
        const char* env = std::getenv("GRAVENHOLT_PROFILE");
        g_profileDir = (env && *env) ? env : ".";
    }
    return *g_profileDir;
}

bool Plat_PrepareProfileDir(std::string* reason) {
    const std::string host = Plat_ResolvePath(Plat_ProfileDir());
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        Plat_CreateDirectories(host);
        if (stat(host.c_str(), &st) != 0) {
            // The first component that could not be made gives the reason.
            int error = errno;
            for (size_t slash = host.find('/', 1);; slash = host.find('/', slash + 1)) {
                const std::string prefix = host.substr(0, slash);
                if (stat(prefix.c_str(), &st) != 0) {
                    error = mkdir(prefix.c_str(), 0777) == 0 ? 0 : errno;
                    break;
                }
                if (!S_ISDIR(st.st_mode)) {
                    error = ENOTDIR;
                    break;
                }
                if (slash == std::string::npos) break;
            }
            if (reason) *reason = std::strerror(error ? error : ENOENT);
            return false;
        }
    }
    if (!S_ISDIR(st.st_mode)) {
        if (reason) *reason = std::strerror(ENOTDIR);
        return false;
    }
    return true;
}

std::string Plat_DataPath(const std::string& name) { return UnderDir(Plat_DataRoot(), name); }
std::string Plat_ProfilePath(const std::string& name) { return UnderDir(Plat_ProfileDir(), name); }

bool Plat_SyncFile(FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
    return fsync(fileno(file)) == 0;
}

bool Plat_TruncateFile(FILE* file, long size) {
    if (!file || size < 0 || std::fflush(file) != 0) return false;
    return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

bool Plat_SetFileReadOnly(const std::string& path, bool readOnly) {
    return chmod(Plat_ResolvePath(path).c_str(), readOnly ? 0444 : 0644) == 0;
}

FILE* Plat_OpenFile(const std::string& path, const char* mode) {
    if (path.empty() || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    const std::string host = Plat_ResolvePath(path);
    FILE* f = std::fopen(host.c_str(), mode);
    const bool writes = std::string(mode).find_first_of("wa+") != std::string::npos;
    if (f && writes) ForgetParent(host);
    return f;
}

bool Plat_FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(Plat_ResolvePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool Plat_IsDirectory(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(Plat_ResolvePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> Plat_ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (!path.empty()) ListHostDirectory(Plat_ResolvePath(path), names);
    return names;
}

bool Plat_CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    const std::string host = Plat_ResolvePath(path);
    for (size_t slash = host.find('/', 1);; slash = host.find('/', slash + 1)) {
        const std::string prefix = host.substr(0, slash);
        if (mkdir(prefix.c_str(), 0777) == 0) ForgetParent(prefix);
        if (slash == std::string::npos) break;
    }
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Plat_RemoveFile(const std::string& path) {
    if (path.empty()) return false;
    const std::string host = Plat_ResolvePath(path);
    if (unlink(host.c_str()) != 0) return false;
    ForgetParent(host);
    return true;
}

bool Plat_RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    const std::string source = Plat_ResolvePath(from);
    const std::string target = Plat_ResolvePath(to);
    if (std::rename(source.c_str(), target.c_str()) != 0) return false;
    ForgetParent(source);
    ForgetParent(target);
    return true;
}

void Plat_ForgetDirectoryCache() {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
}

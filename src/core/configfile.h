// Configuration text files: "[Section]" headers and "key = value" lines, read one value at a
// time. One file is held at a time, cleaned (comments and blanks dropped) and upper-cased.
#pragma once
#include <cstddef>

constexpr size_t kCfgTextLimit = 8191;  // cleaned characters kept of one file

// The cleaned text of the file, loaded through the data-file loader unless the same file
// (name compared without case) is already held. Null for a missing or empty file; such a miss
// is remembered (until Cfg_ForgetMissing or Cfg_Forget, or another loader is installed), so
// asking again for the same file does not look it up again.
const char* Cfg_Load(const char* fileName);
// Drops the remembered miss, so a file that was missing is looked up again (a map changed).
void Cfg_ForgetMissing();
// Drops the held file and the remembered miss, so the next request reads the file again.
void Cfg_Forget();

// In the held text: the value of key (a whole key at a line start, up to its '=') in the
// section, at most size - 1 characters, zero-terminated. 0 when found, -1 otherwise
// (also for a section or key longer than 254 characters).
int Cfg_FindValue(const char* section, const char* key, char* out, size_t size);

// Copies the default into out (cut to size - 1), then the value when the file, the section
// and the key are all there. Returns 0.
int Cfg_GetString(const char* section, const char* key, const char* defaultText, char* out, size_t size,
                  const char* fileName);
// The value parsed like "%i" (decimal, 0x hexadecimal, leading-0 octal); the default when the
// file, section, key or number is missing.
int Cfg_GetInt(const char* section, const char* key, int defaultValue, const char* fileName);

// The names some callers use for the same two lookups.
inline int Cfg_GetProfileString(const char* section, const char* key, const char* defaultText, char* out,
                                size_t size, const char* fileName) {
    return Cfg_GetString(section, key, defaultText, out, size, fileName);
}
inline int Cfg_GetProfileInt(const char* section, const char* key, int defaultValue, const char* fileName) {
    return Cfg_GetInt(section, key, defaultValue, fileName);
}

// INI files as the game reads and writes them: sections in [brackets], key=value lines;
// section and key names match without regard to case. A missing file, section or key gives
// the default. Paths go through the path module.
#pragma once
#include <string>

// The leading decimal integer of the value (with an optional sign); the default when the key
// is missing; 0 when the value does not start with a number.
int Plat_IniGetInt(const char* section, const char* key, int defaultValue, const char* file);
std::string Plat_IniGetString(const char* section, const char* key, const char* defaultValue, const char* file);
// Creates the file and the section when missing; replaces the key's value in place.
bool Plat_IniWriteString(const char* section, const char* key, const char* value, const char* file);
bool Plat_IniWriteInt(const char* section, const char* key, int value, const char* file);

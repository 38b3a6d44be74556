// Values of the map's ".TRN" settings file: INI-style sections ("[Size]") of "key = value" lines.
#pragma once
#include <cstddef>
#include <string>

// The value of key in section of the text, or false. Section and key names ignore case and the
// blanks around them; ';' and "//" start comments; the value is trimmed.
bool Trn_FindValue(const char* text, size_t length, const char* section, const char* key, std::string* value);
// The value read as an integer (decimal, "0x" hexadecimal or leading-0 octal), else def.
int Trn_GetInt(const char* text, size_t length, const char* section, const char* key, int def);

// The same over the current terrain file, loaded through the file index on each call.
int Terrain_ProfileInt(const char* section, const char* key, int def);
std::string Terrain_ProfileString(const char* section, const char* key, const char* def);

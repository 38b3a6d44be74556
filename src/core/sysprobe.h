// System probes: the program's language (English, German or Japanese), the keyboard kind for
// Japanese, the machine's memory status and processor family, and the project-info file
// "PrjInfo.txt" (lines of a key, a colon and a value) shipped with the data.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t kLangOther = 0;
constexpr int32_t kLangEnglish = 1;
constexpr int32_t kLangGerman = 2;
constexpr int32_t kLangJapanese = 3;

constexpr int kKeyboardNec = 0xD01;
constexpr int kKeyboardD05 = 0xD05;

struct LangFilePath {
    const char* path;
};

// The language record: one Western record shared by English and German, one Japanese record.
struct LanguageRecord {
    int32_t id = 0;
    int32_t keyValues[8] = {};
    int32_t extraValues[2] = {};
    LangFilePath filePaths[4] = {};
    int32_t selectable = 0;
    const char* const* keyNames = nullptr;  // the key-name text table of the language
    bool doubleByte = false;
    const uint8_t* charTable = nullptr;
};

// Decides the language (the project-info file's "Language" over the system locale), makes its
// record current, hands the double-byte switch and character table to the text services and
// returns the id. Never touches the C library's locale: numbers parse the same in every
// language.
int32_t Lang_Detect();
int32_t Lang_GetId();
// The id's name: "other", "english", "german", "japanese".
const char* Lang_Name(int32_t id);
const LanguageRecord* Lang_Current();
bool Lang_IsJapanese();
// The keyboard subtype Lang_Detect settled on (0xD01 for "Keyboard: NEC").
int Lang_KeyboardSubtype();
// Record accessors; an index outside the table gives the caller's default.
int32_t Lang_GetKeyValue(int index, int32_t fallback);
int32_t Lang_GetExtraValue(int index, int32_t fallback);
LangFilePath Lang_GetFilePath(int index, const char* fallbackPath);
// Stores the second value for Japanese, the first otherwise.
void Lang_SetSelectable(int32_t western, int32_t japanese);
// No language decided, text services single-byte (tests).
void Lang_Reset();

// The memory status: six words, of which word 0 is the total physical memory and word 5 the
// memory still available for commits (bytes, each at most 0xFFFFFFFF).
struct MemoryStatus {
    uint32_t words[6];
};
void Sys_GetMemoryStatus(MemoryStatus* out);
void Sys_GetCachedMemoryStatus(MemoryStatus* out);
// 3, 4 or 5 for a 386, 486 or 586; 6 for anything else.
int Sys_GetCpuFamily();
int Sys_CpuFamilyOf(int processorType);

// The player profile's default option block.
constexpr size_t kPlayerDefDefaultsSize = 16;
void PlayerDef_GetDefaults(uint8_t out[kPlayerDefDefaultsSize]);

// 1 and the value (at most length - 1 characters, terminated) when "PrjInfo.txt" has a line
// for the key with a non-empty value; else 0. Keys match whole, trimmed, without regard to
// case; the first line with the key ends the search.
int PrjInfo_GetString(const char* key, char* out, size_t length);
// The same over bytes already in memory.
int PrjInfo_Find(const char* data, size_t size, const char* key, char* out, size_t length);

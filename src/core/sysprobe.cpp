#include "core/sysprobe.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/datafile.h"
#include "core/helpers.h"
#include "core/text.h"
#include "platform/system.h"

namespace {

constexpr size_t kPrjInfoLineLimit = 256;
constexpr uint8_t kPlayerDefDefaults[kPlayerDefDefaultsSize] = {5, 3, 0, 2, 0, 1, 1, 3, 0, 3, 0, 0, 3, 0, 0, 0};

// The language records carry no key-name tables (English, German, the three Japanese keyboards)
// and no Japanese character table: the keyboard's own English names serve every language, and
// the other tables' contents are given nowhere. The records keep the empty ones.
const char* const kNoKeyNames[] = {nullptr};
const char* const* const kEnglishKeyNames = kNoKeyNames;
const char* const* const kGermanKeyNames = kNoKeyNames;
const char* const* const kJapaneseNecKeyNames = kNoKeyNames;
const char* const* const kJapaneseD05KeyNames = kNoKeyNames;
const char* const* const kJapaneseOtherKeyNames = kNoKeyNames;
const uint8_t* BuildJapaneseCharTable() { return nullptr; }

LanguageRecord g_western;
LanguageRecord g_japanese;
LanguageRecord* g_current = nullptr;
int32_t g_languageId = kLangOther;
int g_keyboard = 0;
MemoryStatus g_memory{};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The text between first and last without white space at either end.
std::string Trimmed(const char* first, const char* last) {
    while (first < last && IsBlank(*first)) ++first;
    while (last > first && IsBlank(last[-1])) --last;
    return std::string(first, last);
}

int32_t LanguageFromName(const char* name) {
    if (Text_CompareNoCase(name, "english") == 0) return kLangEnglish;
    if (Text_CompareNoCase(name, "german") == 0) return kLangGerman;
    if (Text_CompareNoCase(name, "japanese") == 0) return kLangJapanese;
    return kLangOther;
}

int32_t LanguageFromLocale(uint32_t localeId) {
    switch (localeId & 0x3FF) {
        case 9: return kLangEnglish;
        case 7: return kLangGerman;
        case 17: return kLangJapanese;
        default: return kLangOther;
    }
}

}  // namespace

// ---- language -----------------------------------------------------------------------------

int32_t Lang_Detect() {
    const uint32_t localeId = Plat_SystemLocaleId();
    g_keyboard = Plat_KeyboardSubtype();
    // The networking library's installation record, which would come first, does not exist here.
    int32_t id;
    char value[64];
    if (PrjInfo_GetString("Language", value, sizeof value))
        id = LanguageFromName(value);
    else
        id = LanguageFromLocale(localeId);

    if (id == kLangJapanese) {
        if (PrjInfo_GetString("Keyboard", value, sizeof value) && Text_CompareNoCase(value, "NEC") == 0)
            g_keyboard = kKeyboardNec;
        g_current = &g_japanese;
        if (g_keyboard == kKeyboardNec)
            g_japanese.keyNames = kJapaneseNecKeyNames;
        else if (g_keyboard == kKeyboardD05)
            g_japanese.keyNames = kJapaneseD05KeyNames;
        else
            g_japanese.keyNames = kJapaneseOtherKeyNames;
        g_japanese.doubleByte = true;
        g_japanese.charTable = BuildJapaneseCharTable();
    } else {
        g_current = &g_western;
        g_western.keyNames = id == kLangGerman ? kGermanKeyNames : kEnglishKeyNames;
        g_western.doubleByte = false;
        g_western.charTable = nullptr;
    }
    Text_SetLanguage(g_current->doubleByte, g_current->charTable);
    g_current->id = id;
    g_languageId = id;
    return id;
}

int32_t Lang_GetId() { return g_languageId; }

const char* Lang_Name(int32_t id) {
    switch (id) {
        case kLangEnglish: return "english";
        case kLangGerman: return "german";
        case kLangJapanese: return "japanese";
        default: return "other";
    }
}

const LanguageRecord* Lang_Current() { return g_current; }
bool Lang_IsJapanese() { return g_current && g_current->id == kLangJapanese; }
int Lang_KeyboardSubtype() { return g_keyboard; }

int32_t Lang_GetKeyValue(int index, int32_t fallback) {
    return g_current && index >= 0 && index < 8 ? g_current->keyValues[index] : fallback;
}

int32_t Lang_GetExtraValue(int index, int32_t fallback) {
    return g_current && index >= 0 && index < 2 ? g_current->extraValues[index] : fallback;
}

LangFilePath Lang_GetFilePath(int index, const char* fallbackPath) {
    if (g_current && index >= 0 && index < 4) return g_current->filePaths[index];
    return LangFilePath{fallbackPath};
}

void Lang_SetSelectable(int32_t western, int32_t japanese) {
    if (g_current) g_current->selectable = Lang_IsJapanese() ? japanese : western;
}

void Lang_Reset() {
    g_western = LanguageRecord{};
    g_japanese = LanguageRecord{};
    g_current = nullptr;
    g_languageId = kLangOther;
    g_keyboard = 0;
    Text_SetLanguage(false, nullptr);
}

// ---- memory and processor -----------------------------------------------------------------

void Sys_GetMemoryStatus(MemoryStatus* out) {
    const PlatMemoryInfo info = Plat_MemoryInfo();
    g_memory = MemoryStatus{};
    g_memory.words[0] = info.totalPhysical;
    g_memory.words[5] = info.availableCommit;
    if (out) *out = g_memory;
}

void Sys_GetCachedMemoryStatus(MemoryStatus* out) {
    if (out) *out = g_memory;
}

int Sys_CpuFamilyOf(int processorType) {
    switch (processorType) {
        case 386: return 3;
        case 486: return 4;
        case 586: return 5;
        default: return 6;
    }
}

int Sys_GetCpuFamily() { return Sys_CpuFamilyOf(Plat_ProcessorType()); }

void PlayerDef_GetDefaults(uint8_t out[kPlayerDefDefaultsSize]) {
    std::memcpy(out, kPlayerDefDefaults, kPlayerDefDefaultsSize);
}

// ---- the project-info file ----------------------------------------------------------------

int PrjInfo_Find(const char* data, size_t size, const char* key, char* out, size_t length) {
    if (out && length > 0) out[0] = '\0';
    if (!data || !key || !out || length == 0) return 0;
    const std::string wanted = Trimmed(key, key + std::strlen(key));
    const char* cursor = data;
    size_t remaining = size;
    char line[kPrjInfoLineLimit];
    while (Text_ReadLine(&cursor, &remaining, line, sizeof line)) {
        const char* colon = std::strchr(line, ':');
        if (!colon) continue;
        const std::string name = Trimmed(line, colon);
        if (name.size() != wanted.size() || Text_CompareNoCase(name.c_str(), wanted.c_str()) != 0) continue;
        const std::string value = Trimmed(colon + 1, colon + 1 + std::strlen(colon + 1));
        if (value.empty()) return 0;
        const size_t n = std::min(value.size(), length - 1);
        std::memcpy(out, value.data(), n);
        out[n] = '\0';
        return 1;
    }
    return 0;
}

int PrjInfo_GetString(const char* key, char* out, size_t length) {
    if (out && length > 0) out[0] = '\0';
    std::vector<char> bytes;
    if (!DataFile_Load("PrjInfo.txt", &bytes) || bytes.empty()) return 0;
    return PrjInfo_Find(bytes.data(), bytes.size(), key, out, length);
}

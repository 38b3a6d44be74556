#include "core/configfile.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/datafile.h"

namespace {

constexpr size_t kNameLimit = 254;

char g_text[kCfgTextLimit + 1];
size_t g_length = 0;
std::string g_fileName;  // the file held; empty when none
// The last file asked for that could not be had (missing or empty), and the loader it was asked
// through: asked again, it is answered at once instead of being looked up for every key.
std::string g_missingName;
DataFileLoader g_missingLoader = nullptr;

inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

bool SameNameNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// Comments (';' or "//" to the line end) go, quoted text is kept as written without its
// quotes, every other character below '!' except the line feed goes; then all is upper-cased.
// A quote left open ends at its line end, so one stray quote cannot swallow the file.
size_t Clean(const char* in, size_t length, char* out, size_t limit) {
    size_t n = 0;
    bool quoted = false;
    for (size_t i = 0; i < length && n < limit; ++i) {
        char c = in[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else {
                if (c == '\n') quoted = false;
                out[n++] = c;
            }
            continue;
        }
        if (c == ';' || (c == '/' && i + 1 < length && in[i + 1] == '/')) {
            while (i + 1 < length && in[i + 1] != '\n') ++i;
            continue;
        }
        if (c == '"') {
            quoted = true;
            continue;
        }
        if (static_cast<unsigned char>(c) < '!' && c != '\n') continue;
        out[n++] = c;
    }
    for (size_t i = 0; i < n; ++i) out[i] = UpperAscii(out[i]);
    return n;
}

// Whether text[at..] begins with the upper-cased name.
bool MatchUpper(const char* text, size_t end, size_t at, const char* name, size_t nameLength) {
    if (at + nameLength > end) return false;
    for (size_t i = 0; i < nameLength; ++i)
        if (text[at + i] != UpperAscii(name[i])) return false;
    return true;
}

}  // namespace

const char* Cfg_Load(const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    if (g_length > 0 && SameNameNoCase(g_fileName, fileName)) return g_text;
    if (g_missingLoader == DataFile_GetLoader() && SameNameNoCase(g_missingName, fileName)) return nullptr;
    g_length = 0;
    g_text[0] = '\0';
    g_fileName.clear();
    std::vector<char> bytes;
    if (DataFile_Load(fileName, &bytes)) {
        g_length = Clean(bytes.data(), bytes.size(), g_text, kCfgTextLimit);
        g_text[g_length] = '\0';
    }
    if (g_length == 0) {
        g_missingName = fileName;
        g_missingLoader = DataFile_GetLoader();
        return nullptr;
    }
    g_fileName = fileName;
    Cfg_ForgetMissing();
    return g_text;
}

void Cfg_ForgetMissing() {
    g_missingName.clear();
    g_missingLoader = nullptr;
}

void Cfg_Forget() {
    g_length = 0;
    g_text[0] = '\0';
    g_fileName.clear();
    Cfg_ForgetMissing();
}

int Cfg_FindValue(const char* section, const char* key, char* out, size_t size) {
    if (!section || !key) return -1;
    size_t sectionLength = std::strlen(section);
    size_t keyLength = std::strlen(key);
    if (sectionLength > kNameLimit || keyLength > kNameLimit || keyLength == 0) return -1;

    // The section header: "[NAME]" at a line start.
    size_t body = SIZE_MAX;
    for (size_t at = 0; at < g_length; ++at) {
        if ((at == 0 || g_text[at - 1] == '\n') && g_text[at] == '[' &&
            MatchUpper(g_text, g_length, at + 1, section, sectionLength) && at + 1 + sectionLength < g_length &&
            g_text[at + 1 + sectionLength] == ']') {
            body = at + 2 + sectionLength;
            break;
        }
    }
    if (body == SIZE_MAX) return -1;
    // The body runs to the next line that opens a section, or the end.
    size_t bodyEnd = body;
    while (bodyEnd < g_length && !(g_text[bodyEnd] == '[' && g_text[bodyEnd - 1] == '\n')) ++bodyEnd;

    for (size_t at = body; at < bodyEnd; ++at) {
        if (at != body && g_text[at - 1] != '\n') continue;
        if (!MatchUpper(g_text, bodyEnd, at, key, keyLength) || at + keyLength >= bodyEnd ||
            g_text[at + keyLength] != '=')
            continue;
        size_t value = at + keyLength + 1;
        size_t valueEnd = value;
        while (valueEnd < bodyEnd && g_text[valueEnd] != '\n') ++valueEnd;
        if (out && size > 0) {
            size_t n = valueEnd - value;
            if (n > size - 1) n = size - 1;
            std::memcpy(out, g_text + value, n);
            out[n] = '\0';
        }
        return 0;
    }
    return -1;
}

int Cfg_GetString(const char* section, const char* key, const char* defaultText, char* out, size_t size,
                  const char* fileName) {
    if (out && size > 0) {
        size_t n = defaultText ? std::strlen(defaultText) : 0;
        if (n > size - 1) n = size - 1;
        if (n) std::memcpy(out, defaultText, n);
        out[n] = '\0';
    }
    if (!fileName || !*fileName || !section || !*section || !key || !*key) return 0;
    if (!Cfg_Load(fileName)) return 0;
    char value[kCfgTextLimit + 1];
    if (Cfg_FindValue(section, key, value, sizeof value) == 0 && out && size > 0) {
        size_t n = std::strlen(value);
        if (n > size - 1) n = size - 1;
        std::memcpy(out, value, n);
        out[n] = '\0';
    }
    return 0;
}

namespace {
// "%i": blanks, a sign, then 0x-hexadecimal, leading-0 octal or decimal digits; clamped.
bool ParseIntAnyBase(const char* p, int* out) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        ((p[2] >= '0' && p[2] <= '9') || (p[2] >= 'a' && p[2] <= 'f') || (p[2] >= 'A' && p[2] <= 'F'))) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    int64_t value = 0;
    bool any = false;
    for (;; ++p) {
        int digit;
        char c = *p;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        if (digit >= base) break;
        any = true;
        value = value * base + digit;
        if (value > limit) value = limit;
    }
    if (!any) return false;
    *out = static_cast<int>(negative ? -value : value);
    return true;
}
}  // namespace

int Cfg_GetInt(const char* section, const char* key, int defaultValue, const char* fileName) {
    if (!fileName || !*fileName || !section || !*section || !key || !*key) return defaultValue;
    if (!Cfg_Load(fileName)) return defaultValue;
    char value[16];
    if (Cfg_FindValue(section, key, value, sizeof value) != 0) return defaultValue;
    int parsed;
    return ParseIntAnyBase(value, &parsed) ? parsed : defaultValue;
}

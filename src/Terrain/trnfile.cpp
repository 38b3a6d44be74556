#include "Terrain/trnfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <strings.h>

#include "Terrain/terramap.h"
#include "core/zix.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    return std::string(begin, end);
}

// The line without its comment.
const char* CommentStart(const char* begin, const char* end) {
    for (const char* p = begin; p < end; ++p) {
        if (*p == ';') return p;
        if (*p == '/' && p + 1 < end && p[1] == '/') return p;
    }
    return end;
}

std::string TrimName(const char* name) {
    const char* end = name;
    while (*end) ++end;
    return Trim(name, end);
}

}  // namespace

// PENDING(1.125) the shared configuration-text reader replaces this small one.
bool Trn_FindValue(const char* text, size_t length, const char* section, const char* key, std::string* value) {
    if (!text || !section || !key) return false;
    std::string wantSection = TrimName(section);
    std::string wantKey = TrimName(key);
    bool inSection = false;
    const char* end = text + length;
    for (const char* line = text; line < end;) {
        const char* lineEnd = line;
        while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
        const char* contentEnd = CommentStart(line, lineEnd);
        std::string content = Trim(line, contentEnd);
        if (!content.empty() && content.front() == '[') {
            size_t close = content.find(']');
            std::string name = close == std::string::npos ? std::string() : Trim(content.data() + 1, content.data() + close);
            inSection = close != std::string::npos && strcasecmp(name.c_str(), wantSection.c_str()) == 0;
        } else if (inSection) {
            size_t equals = content.find('=');
            if (equals != std::string::npos) {
                std::string name = Trim(content.data(), content.data() + equals);
                if (strcasecmp(name.c_str(), wantKey.c_str()) == 0) {
                    if (value) *value = Trim(content.data() + equals + 1, content.data() + content.size());
                    return true;
                }
            }
        }
        line = lineEnd < end ? lineEnd + 1 : end;
    }
    return false;
}

int Trn_GetInt(const char* text, size_t length, const char* section, const char* key, int def) {
    std::string value;
    if (!Trn_FindValue(text, length, section, key, &value) || value.empty()) return def;
    errno = 0;
    char* stop = nullptr;
    long parsed = std::strtol(value.c_str(), &stop, 0);
    if (stop == value.c_str() || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return def;
    return static_cast<int>(parsed);
}

namespace {
struct LoadedText {
    char* data = nullptr;
    uint32_t size = 0;
    LoadedText() {
        const char* name = Terrain_GetFileName();
        if (name && name[0]) data = static_cast<char*>(Zix_LoadFile(name, &size));
    }
    ~LoadedText() { std::free(data); }
    LoadedText(const LoadedText&) = delete;
    LoadedText& operator=(const LoadedText&) = delete;
};
}  // namespace

int Terrain_ProfileInt(const char* section, const char* key, int def) {
    LoadedText text;
    if (!text.data) return def;
    return Trn_GetInt(text.data, text.size, section, key, def);
}

std::string Terrain_ProfileString(const char* section, const char* key, const char* def) {
    LoadedText text;
    std::string value;
    if (text.data && Trn_FindValue(text.data, text.size, section, key, &value)) return value;
    return def ? def : "";
}

#include "core/odf.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/datafile.h"

namespace {

inline unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }
// The blanks of the C locale's isspace, whatever the process locale says.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
inline bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

uint32_t Text_HashNoCaseN(const char* text, size_t length, uint32_t seed) {
    uint32_t hash = seed;
    for (size_t i = 0; i < length; ++i) {
        hash ^= LowerAscii(static_cast<unsigned char>(text[i]));
        hash *= kTextHashPrime;
    }
    return hash;
}

uint32_t Text_HashNoCase(const char* text, uint32_t seed) {
    if (!text) return 0;
    return Text_HashNoCaseN(text, std::strlen(text), seed);
}

uint32_t Text_HashNumbered(uint32_t prefixHash, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", number);
    return Text_HashNoCase(digits, prefixHash);
}

bool Odf_TryParseInt(const char* text, size_t length, int* out) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p >= end || *p < '0' || *p > '9') return false;
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit;  // stays clamped for the rest of the digits
    }
    *out = static_cast<int>(negative ? -value : value);
    return true;
}

bool Odf_TryParseFloat(const char* text, size_t length, float* out) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p >= end) return false;

    float value = 0.0f;
    std::from_chars_result result{p, std::errc::invalid_argument};
    bool hex = false;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (IsHexDigit(p[2]) || (p[2] == '.' && end - p > 3 && IsHexDigit(p[3])))) {
        result = std::from_chars(p + 2, end, value, std::chars_format::hex);
        hex = result.ec != std::errc::invalid_argument;
    }
    if (!hex) {
        // from_chars takes no leading sign; a second sign after ours is no number.
        if (*p == '+' || *p == '-') return false;
        result = std::from_chars(p, end, value, std::chars_format::general);
    }
    if (result.ec == std::errc::invalid_argument) return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a float: the C library answers infinity or zero.
        bool tiny = false;
        for (const char* q = p; q + 1 < result.ptr; ++q) {
            char c = *q;
            if ((!hex && (c == 'e' || c == 'E')) || (hex && (c == 'p' || c == 'P'))) {
                tiny = q[1] == '-';
                break;
            }
        }
        value = tiny ? 0.0f : std::numeric_limits<float>::infinity();
    }
    *out = negative ? -value : value;
    return true;
}

float Odf_ParseFloat(const char* text) {
    float value = 0.0f;
    if (text) Odf_TryParseFloat(text, std::strlen(text), &value);
    return value;
}

bool OdfFile::Open(const char* name) {
    std::vector<char> bytes;
    if (!DataFile_Load(name, &bytes)) {
        Parse("", 0);
        return false;
    }
    Parse(bytes.data(), bytes.size());
    return true;
}

void OdfFile::Parse(const char* text, size_t length) {
    m_index.clear();
    m_index.max_load_factor(4.0f);
    m_text.assign(text, text + length);
    // Offsets are kept in 32 bits; a larger text is cut (no definition file comes near it).
    if (m_text.size() > 0x7FFFFFF0u) m_text.resize(0x7FFFFFF0u);
    m_text.push_back('\n');
    m_text.push_back('\0');

    const char* base = m_text.data();
    size_t size = m_text.size() - 1;  // without the terminating zero
    size_t lineStart = 0;
    while (lineStart < size) {
        const char* line = base + lineStart;
        const char* lf = static_cast<const char*>(std::memchr(line, '\n', size - lineStart));
        size_t lineLength = static_cast<size_t>(lf - line);
        const char* eq = static_cast<const char*>(std::memchr(line, '=', lineLength));
        if (eq) {
            size_t keyLength = 0;
            while (line + keyLength < eq && !IsBlank(line[keyLength])) ++keyLength;
            uint32_t hash = Text_HashNoCaseN(line, keyLength);
            const char* value = eq + 1;
            while (value < lf && IsBlank(*value)) ++value;
            if (value < lf)
                m_index[hash] = Value{static_cast<uint32_t>(value - base), static_cast<uint32_t>(lf - value)};
        }
        lineStart += lineLength + 1;
    }
}

const OdfFile::Value* OdfFile::Find(uint32_t key) const {
    auto it = m_index.find(key);
    return it == m_index.end() ? nullptr : &it->second;
}

bool OdfFile::Quoted(const Value& value, const char** text, size_t* length) const {
    const char* start = m_text.data() + value.offset;
    const char* open = static_cast<const char*>(std::memchr(start, '"', value.length));
    if (!open) return false;
    size_t rest = value.length - static_cast<size_t>(open + 1 - start);
    const char* close = static_cast<const char*>(std::memchr(open + 1, '"', rest));
    if (!close) return false;
    *text = open + 1;
    *length = static_cast<size_t>(close - open - 1);
    return true;
}

bool OdfFile::GetInt(uint32_t key, int* out, int defaultValue) const {
    const Value* value = Find(key);
    if (!value) {
        if (out) *out = defaultValue;
        return false;
    }
    int parsed;
    if (out && Odf_TryParseInt(m_text.data() + value->offset, value->length, &parsed)) *out = parsed;
    return true;
}

bool OdfFile::GetFloat(uint32_t key, float* out, float defaultValue) const {
    const Value* value = Find(key);
    if (!value) {
        if (out) *out = defaultValue;
        return false;
    }
    float parsed;
    if (out && Odf_TryParseFloat(m_text.data() + value->offset, value->length, &parsed)) *out = parsed;
    return true;
}

namespace {
void CopyCut(char* out, size_t size, const char* text, size_t length) {
    if (!out || size == 0) return;
    if (length > size - 1) length = size - 1;
    if (length) std::memcpy(out, text, length);
    out[length] = '\0';
}
}  // namespace

bool OdfFile::GetString(uint32_t key, char* out, size_t size, const char* defaultText) const {
    const Value* value = Find(key);
    const char* text;
    size_t length;
    if (value && Quoted(*value, &text, &length)) {
        CopyCut(out, size, text, length);
        return true;
    }
    if (defaultText)
        CopyCut(out, size, defaultText, std::strlen(defaultText));
    else
        CopyCut(out, size, "", 0);
    return false;
}

bool OdfFile::GetStringAlloc(uint32_t key, std::unique_ptr<char[]>* out, const char* defaultText) const {
    const Value* value = Find(key);
    const char* text;
    size_t length;
    bool found = value && Quoted(*value, &text, &length);
    if (!found) {
        if (!defaultText) {
            if (out) out->reset();
            return false;
        }
        text = defaultText;
        length = std::strlen(defaultText);
    }
    if (out) {
        out->reset(new char[length + 1]);
        CopyCut(out->get(), length + 1, text, length);
    }
    return found;
}

bool OdfFile::GetName8(uint32_t key, char* out, const char* defaultName) const {
    const Value* value = Find(key);
    const char* text;
    size_t length;
    if (value && Quoted(*value, &text, &length)) {
        if (out) {
            std::memset(out, 0, 8);
            std::memcpy(out, text, length < 8 ? length : 8);
        }
        return true;
    }
    if (out) {
        // The default is an 8-byte field; a shorter zero-terminated text is read no further.
        std::memset(out, 0, 8);
        if (defaultName) std::memcpy(out, defaultName, strnlen(defaultName, 8));
    }
    return false;
}

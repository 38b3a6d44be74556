#include "core/fieldarchive.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "core/fixup.h"

namespace {

bool g_binary = false;
int32_t g_version = kSaveVersionCurrent;

// The one read state.
struct ReadState {
    const char* start = nullptr;
    size_t length = 0;
    const char* cursor = nullptr;
    const char* end = nullptr;
    bool open = false;
};
ReadState g_read;

// ---- Byte order ----
// Stored numbers are little-endian. Each kind is a run of scalars of one width, except the
// matrix: nine floats, the 4-byte gap (kept as bytes), three doubles.
enum class Layout { Bytes, Scalar2, Scalar4, Scalar8, Matrix };

void SwapRun(uint8_t* p, size_t length, size_t width) {
    for (size_t i = 0; i + width <= length; i += width)
        for (size_t a = i, b = i + width - 1; a < b; ++a, --b) std::swap(p[a], p[b]);
}

// Turns host bytes into stored bytes or back (the same operation both ways).
void ConvertOrder(uint8_t* p, size_t length, Layout layout) {
    if (std::endian::native == std::endian::little) return;
    switch (layout) {
        case Layout::Bytes: return;
        case Layout::Scalar2: SwapRun(p, length, 2); return;
        case Layout::Scalar4: SwapRun(p, length, 4); return;
        case Layout::Scalar8: SwapRun(p, length, 8); return;
        case Layout::Matrix:
            for (size_t e = 0; e + kFieldMatrixSize <= length; e += kFieldMatrixSize) {
                SwapRun(p + e, kFieldMatrixGapOffset, 4);
                SwapRun(p + e + kFieldMatrixPositOffset, kFieldMatrixSize - kFieldMatrixPositOffset, 8);
            }
            return;
    }
}

// ---- Writing ----
bool WriteRaw(FILE* stream, const void* data, size_t length) {
    if (!stream) return false;
    return length == 0 || std::fwrite(data, 1, length, stream) == length;
}

bool WriteText(FILE* stream, std::string_view text) { return WriteRaw(stream, text.data(), text.size()); }

bool WriteRecord(FILE* stream, uint8_t tag, const void* data, size_t length, Layout layout) {
    if (length > kFieldMaxLength) return false;
    std::string bytes(4 + length, '\0');
    bytes[0] = static_cast<char>(tag);
    bytes[1] = 0;
    bytes[2] = static_cast<char>(length & 0xFF);
    bytes[3] = static_cast<char>((length >> 8) & 0xFF);
    if (length) std::memcpy(bytes.data() + 4, data, length);
    ConvertOrder(reinterpret_cast<uint8_t*>(bytes.data() + 4), length, layout);
    return WriteText(stream, bytes);
}

std::string HeaderLine(const char* name, size_t count) {
    return std::string(name ? name : "") + " [" + std::to_string(count) + "] =\r\n";
}

std::string FormatG(double value) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, result.ptr);
}

template <class T>
T LoadAt(const void* data, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(data) + offset, sizeof value);
    return value;
}

template <class T>
void StoreAt(void* data, size_t offset, T value) {
    std::memcpy(static_cast<uint8_t*>(data) + offset, &value, sizeof value);
}

// An array field: the record, or the header line and one line per element.
template <class Format>
bool WriteArray(FILE* stream, const void* data, size_t length, const char* name, uint8_t tag, size_t elemSize,
                Layout layout, Format format) {
    if (g_binary) return WriteRecord(stream, tag, data, length, layout);
    const size_t count = length / elemSize;
    std::string text = HeaderLine(name, count);
    for (size_t i = 0; i < count; ++i) {
        text += format(static_cast<const uint8_t*>(data) + i * elemSize);
        text += "\r\n";
    }
    return WriteText(stream, text);
}

// A single float or double sub-field of a vector, matrix or physics state, in the text form.
std::string FloatSubField(const char* name, float value) { return HeaderLine(name, 1) + FormatG(value) + "\r\n"; }
std::string DoubleSubField(const char* name, double value) { return HeaderLine(name, 1) + FormatG(value) + "\r\n"; }

std::string VectorText(const char* name, const void* data, size_t length) {
    const size_t count = length / kFieldVectorSize;
    std::string text = HeaderLine(name, count);
    for (size_t i = 0; i < count; ++i) {
        const size_t base = i * kFieldVectorSize;
        text += FloatSubField("  x", LoadAt<float>(data, base));
        text += FloatSubField("  y", LoadAt<float>(data, base + 4));
        text += FloatSubField("  z", LoadAt<float>(data, base + 8));
    }
    return text;
}

const char* const kMatrixFloatNames[9] = {"  right_x", "  right_y", "  right_z", "  up_x",   "  up_y",
                                          "  up_z",    "  front_x", "  front_y", "  front_z"};
const char* const kMatrixDoubleNames[3] = {"  posit_x", "  posit_y", "  posit_z"};
const char* const kPhysicsFloatNames[6] = {" mass", " mass_inv", " v_mag", " v_mag_inv", " I", " k_i"};
const char* const kPhysicsVectorNames[3] = {" v", " omega", " Accel"};

// ---- Reading ----
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view SkipSpace(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    return s.substr(i);
}

bool IsBlank(std::string_view s) { return SkipSpace(s).empty(); }

// Takes the next line: up to CR LF (or a lone CR or LF, or the buffer's end for a last line
// without a line end). False when the cursor stands at the end.
bool NextLine(std::string_view* line) {
    if (!g_read.open || g_read.cursor >= g_read.end) return false;
    const char* p = g_read.cursor;
    while (p < g_read.end && *p != '\r' && *p != '\n') ++p;
    *line = std::string_view(g_read.cursor, static_cast<size_t>(p - g_read.cursor));
    if (p < g_read.end && *p == '\r') {
        ++p;
        if (p < g_read.end && *p == '\n') ++p;
    } else if (p < g_read.end) {
        ++p;
    }
    g_read.cursor = p;
    return true;
}

// A binary record of the expected tag and length. A wrong tag or length leaves the cursor in
// place; bytes running past the end fail after the header.
bool ReadRecord(uint8_t tag, void* dest, size_t length, Layout layout) {
    if (!g_read.open) return false;
    if (g_read.end - g_read.cursor < 4) return false;
    const auto* header = reinterpret_cast<const uint8_t*>(g_read.cursor);
    const size_t stored = static_cast<size_t>(header[2]) | (static_cast<size_t>(header[3]) << 8);
    if (header[0] != tag || stored != length) return false;
    g_read.cursor += 4;
    if (static_cast<size_t>(g_read.end - g_read.cursor) < length) return false;
    if (length) {
        std::memcpy(dest, g_read.cursor, length);
        ConvertOrder(static_cast<uint8_t*>(dest), length, layout);
    }
    g_read.cursor += length;
    return true;
}

// Number parsing in the manner of the C scanner, independent of the locale: leading white
// space, an optional sign, then the longest number; trailing characters are ignored.
template <class T>
bool ParseInteger(std::string_view s, T* out, int base = 10) {
    s = SkipSpace(s);
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        const char c = s[2];
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) s.remove_prefix(2);
    }
    T value{};
    auto result = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (result.ec != std::errc()) return false;
    *out = value;
    return true;
}

template <class T>
bool ParseReal(std::string_view s, T* out) {
    s = SkipSpace(s);
    if (!s.empty() && s[0] == '+' && s.size() > 1 && s[1] != '-') s.remove_prefix(1);
    T value{};
    auto result = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (result.ec != std::errc()) return false;
    *out = value;
    return true;
}

// The count of an array header line "name [count] =". The name may hold blanks, so the count
// is taken from the last '['.
bool ReadHeaderCount(long long* count) {
    std::string_view line;
    if (!NextLine(&line)) return false;
    const size_t open = line.rfind('[');
    if (open == std::string_view::npos) return false;
    std::string_view rest = line.substr(open + 1);
    long long value = 0;
    if (!ParseInteger(rest, &value)) return false;
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return false;
    if (SkipSpace(rest.substr(close + 1)).substr(0, 1) != "=") return false;
    *count = value;
    return true;
}

// Reads a text array: the stream's count wins; elements beyond the destination's room are
// read and dropped so that the stream stays in step.
template <class Parse>
bool ReadArrayText(void* dest, size_t length, size_t elemSize, Parse parse) {
    long long count = 0;
    if (!ReadHeaderCount(&count)) return false;
    const size_t room = length / elemSize;
    uint8_t element[16];
    for (long long i = 0; i < count; ++i) {
        std::string_view line;
        if (!NextLine(&line)) return false;
        std::memset(element, 0, sizeof element);
        if (!parse(line, element)) return false;
        if (static_cast<unsigned long long>(i) < room)
            std::memcpy(static_cast<uint8_t*>(dest) + static_cast<size_t>(i) * elemSize, element, elemSize);
    }
    return true;
}

template <class T>
bool ReadIntegers(uint8_t tag, void* dest, size_t length, int base = 10) {
    if (g_binary) return ReadRecord(tag, dest, length, sizeof(T) == 2 ? Layout::Scalar2 : Layout::Scalar4);
    return ReadArrayText(dest, length, sizeof(T), [base](std::string_view line, uint8_t* element) {
        T value{};
        if (!ParseInteger(line, &value, base)) return false;
        std::memcpy(element, &value, sizeof value);
        return true;
    });
}

template <class T>
bool ReadReals(uint8_t tag, void* dest, size_t length) {
    if (g_binary) return ReadRecord(tag, dest, length, sizeof(T) == 4 ? Layout::Scalar4 : Layout::Scalar8);
    return ReadArrayText(dest, length, sizeof(T), [](std::string_view line, uint8_t* element) {
        T value{};
        if (!ParseReal(line, &value)) return false;
        std::memcpy(element, &value, sizeof value);
        return true;
    });
}

// One float or double sub-field read into a scratch value (its own header and value line).
template <class T>
bool ReadSubField(T* value) {
    return ReadReals<T>(sizeof(T) == 4 ? kFieldTagFloat : kFieldTagDouble, value, sizeof(T));
}

// The text after the first '=' of a "name = value" line; false when there is no '='.
bool ValueAfterEquals(std::string_view line, std::string_view* value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *value = line.substr(eq + 1);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void Field_SetBinary(bool binary) { g_binary = binary; }
bool Field_IsBinary() { return g_binary; }
void Field_SetVersion(int32_t version) { g_version = version; }
int32_t Field_Version() { return g_version; }

// ---- Writers ----

bool Field_WriteBytes(FILE* stream, const void* data, size_t length, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagBytes, data, length, Layout::Bytes);
    static const char kDigits[] = "0123456789abcdef";
    std::string text = std::string(name ? name : "") + " = ";
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    text += "\r\n";
    return WriteText(stream, text);
}

bool Field_WriteBool(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagBool, 1, Layout::Bytes,
                      [](const uint8_t* e) { return std::string(*e ? "true" : "false"); });
}

bool Field_WriteString(FILE* stream, const void* data, size_t length, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagString, data, length, Layout::Bytes);
    const char* text = static_cast<const char*>(data);
    const size_t used = text ? strnlen(text, length) : 0;
    return WriteText(stream, std::string(name ? name : "") + " = " + std::string(text, used) + "\r\n");
}

bool Field_WriteChar(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagString, 1, Layout::Bytes,
                      [](const uint8_t* e) { return std::string(1, static_cast<char>(*e)); });
}

bool Field_WriteShort(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagShort, 2, Layout::Scalar2,
                      [](const uint8_t* e) { return std::to_string(LoadAt<int16_t>(e, 0)); });
}

bool Field_WriteUShort(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagShort, 2, Layout::Scalar2,
                      [](const uint8_t* e) { return std::to_string(LoadAt<uint16_t>(e, 0)); });
}

bool Field_WriteInt(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagInt, 4, Layout::Scalar4,
                      [](const uint8_t* e) { return std::to_string(LoadAt<int32_t>(e, 0)); });
}

bool Field_WriteLong(FILE* stream, const void* data, size_t length, const char* name) {
    return Field_WriteInt(stream, data, length, name);
}

bool Field_WriteHex(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagInt, 4, Layout::Scalar4, [](const uint8_t* e) {
        char buf[16];
        auto result = std::to_chars(buf, buf + sizeof buf, LoadAt<uint32_t>(e, 0), 16);
        return std::string(buf, result.ptr);
    });
}

bool Field_WriteFloat(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagFloat, 4, Layout::Scalar4,
                      [](const uint8_t* e) { return FormatG(LoadAt<float>(e, 0)); });
}

bool Field_WriteDouble(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagDouble, 8, Layout::Scalar8,
                      [](const uint8_t* e) { return FormatG(LoadAt<double>(e, 0)); });
}

bool Field_WriteId(FILE* stream, const void* data, size_t length, const char* name) {
    return WriteArray(stream, data, length, name, kFieldTagId, 8, Layout::Bytes, [](const uint8_t* e) {
        const char* text = reinterpret_cast<const char*>(e);
        return std::string(text, strnlen(text, 8));
    });
}

bool Field_WriteVector(FILE* stream, const void* data, size_t length, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagVector, data, length, Layout::Scalar4);
    return WriteText(stream, VectorText(name, data, length));
}

bool Field_WriteVector2D(FILE* stream, const void* data, size_t length, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagVector2D, data, length, Layout::Scalar4);
    const size_t count = length / kFieldVector2DSize;
    std::string text = HeaderLine(name, count);
    for (size_t i = 0; i < count; ++i) {
        text += FloatSubField("  x", LoadAt<float>(data, i * kFieldVector2DSize));
        text += FloatSubField("  z", LoadAt<float>(data, i * kFieldVector2DSize + 4));
    }
    return WriteText(stream, text);
}

bool Field_WriteMatrix(FILE* stream, const void* data, size_t length, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagMatrix, data, length, Layout::Matrix);
    const size_t count = length / kFieldMatrixSize;
    std::string text = HeaderLine(name, count);
    for (size_t i = 0; i < count; ++i) {
        const size_t base = i * kFieldMatrixSize;
        for (int k = 0; k < 9; ++k) text += FloatSubField(kMatrixFloatNames[k], LoadAt<float>(data, base + 4 * k));
        for (int k = 0; k < 3; ++k)
            text += DoubleSubField(kMatrixDoubleNames[k], LoadAt<double>(data, base + kFieldMatrixPositOffset + 8 * k));
    }
    return WriteText(stream, text);
}

bool Field_WritePhysics(FILE* stream, const void* data, size_t length, const char* name) {
    if (length != kFieldPhysicsSize) return false;
    bool ok = g_binary || WriteText(stream, std::string(name ? name : "") + " =\r\n");
    for (int k = 0; k < 6; ++k) ok = ok && Field_WriteFloat(stream, static_cast<const uint8_t*>(data) + 4 * k, 4, kPhysicsFloatNames[k]);
    for (int k = 0; k < 3; ++k)
        ok = ok && Field_WriteVector(stream, static_cast<const uint8_t*>(data) + 24 + 12 * k, 12, kPhysicsVectorNames[k]);
    return ok;
}

bool Field_WritePointerValue(FILE* stream, uint32_t value, const char* name) {
    if (g_binary) return WriteRecord(stream, kFieldTagPointer, &value, 4, Layout::Scalar4);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(value));
    return WriteText(stream, std::string(name ? name : "") + " = " + buf + "\r\n");
}

bool Field_WritePointer(FILE* stream, const void* object, const char* name) {
    return Field_WritePointerValue(stream, Field_SaveId(object), name);
}

bool Field_WriteLabel(FILE* stream, const char* label) {
    if (g_binary) return true;
    return WriteText(stream, std::string(label ? label : "") + "\r\n");
}

// ---- Read state ----

const void* Field_BeginRead(const void* buffer, size_t length) {
    g_read.start = static_cast<const char*>(buffer);
    g_read.length = buffer ? length : 0;
    g_read.cursor = g_read.start;
    g_read.end = g_read.start + g_read.length;
    g_read.open = buffer != nullptr;
    return buffer;
}

const void* Field_EndRead() {
    const void* buffer = g_read.start;
    g_read = ReadState{};
    return buffer;
}

bool Field_IsReading() { return g_read.open; }

size_t Field_ReadOffset() { return g_read.open ? static_cast<size_t>(g_read.cursor - g_read.start) : 0; }

// ---- Readers ----

bool Field_ReadBytes(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagBytes, dest, length, Layout::Bytes);
    std::string_view line;
    if (!NextLine(&line) || IsBlank(line)) return false;
    std::string_view value;
    if (!ValueAfterEquals(line, &value)) return false;
    if (!value.empty()) value.remove_prefix(1);  // the blank after '='
    if (value.size() < 2 * length) return false;
    auto* out = static_cast<uint8_t*>(dest);
    for (size_t i = 0; i < length; ++i) {
        const int hi = HexDigit(value[2 * i]), lo = HexDigit(value[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool Field_ReadBool(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagBool, dest, length, Layout::Bytes);
    return ReadArrayText(dest, length, 1, [](std::string_view line, uint8_t* element) {
        const std::string_view word = SkipSpace(line);
        if (word.empty()) return false;
        *element = (word[0] == 't' || word[0] == 'T') ? 1 : 0;
        return true;
    });
}

bool Field_ReadString(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagString, dest, length, Layout::Bytes);
    auto* out = static_cast<char*>(dest);
    std::string_view line;
    if (!NextLine(&line)) return false;
    std::string_view value;
    if (!ValueAfterEquals(line, &value)) {
        if (length) out[0] = '\0';
        return false;
    }
    if (!value.empty() && value[0] == ' ') value.remove_prefix(1);
    const size_t used = value.size() < length ? value.size() : length;
    if (used) std::memcpy(out, value.data(), used);
    if (used < length) std::memset(out + used, 0, length - used);
    return true;
}

bool Field_ReadChar(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagString, dest, length, Layout::Bytes);
    return ReadArrayText(dest, length, 1, [](std::string_view line, uint8_t* element) {
        if (line.empty()) return false;
        *element = static_cast<uint8_t>(line[0]);
        return true;
    });
}

bool Field_ReadShort(const char*, void* dest, size_t length) { return ReadIntegers<int16_t>(kFieldTagShort, dest, length); }
bool Field_ReadUShort(const char*, void* dest, size_t length) { return ReadIntegers<uint16_t>(kFieldTagShort, dest, length); }
bool Field_ReadInt(const char*, void* dest, size_t length) { return ReadIntegers<int32_t>(kFieldTagInt, dest, length); }
bool Field_ReadLong(const char*, void* dest, size_t length) { return ReadIntegers<int32_t>(kFieldTagInt, dest, length); }
bool Field_ReadHex(const char*, void* dest, size_t length) { return ReadIntegers<uint32_t>(kFieldTagInt, dest, length, 16); }
bool Field_ReadFloat(const char*, void* dest, size_t length) { return ReadReals<float>(kFieldTagFloat, dest, length); }
bool Field_ReadDouble(const char*, void* dest, size_t length) { return ReadReals<double>(kFieldTagDouble, dest, length); }

bool Field_ReadId(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagId, dest, length, Layout::Bytes);
    return ReadArrayText(dest, length, 8, [](std::string_view line, uint8_t* element) {
        for (size_t i = 0; i < 8 && i < line.size() && !IsSpace(line[i]); ++i) element[i] = static_cast<uint8_t>(line[i]);
        return true;
    });
}

bool Field_ReadVector(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagVector, dest, length, Layout::Scalar4);
    long long count = 0;
    if (!ReadHeaderCount(&count)) return false;
    const size_t room = length / kFieldVectorSize;
    for (long long i = 0; i < count; ++i) {
        float v[3] = {};
        for (float& c : v)
            if (!ReadSubField(&c)) return false;
        if (static_cast<unsigned long long>(i) < room)
            std::memcpy(static_cast<uint8_t*>(dest) + static_cast<size_t>(i) * kFieldVectorSize, v, sizeof v);
    }
    return true;
}

bool Field_ReadVector2D(const char* name, void* dest, size_t length) {
    if (g_version < 1003) return Field_ReadBytes(name, dest, length);
    if (g_binary) return ReadRecord(kFieldTagVector2D, dest, length, Layout::Scalar4);
    long long count = 0;
    if (!ReadHeaderCount(&count)) return false;
    const size_t room = length / kFieldVector2DSize;
    for (long long i = 0; i < count; ++i) {
        float v[2] = {};
        for (float& c : v)
            if (!ReadSubField(&c)) return false;
        if (static_cast<unsigned long long>(i) < room)
            std::memcpy(static_cast<uint8_t*>(dest) + static_cast<size_t>(i) * kFieldVector2DSize, v, sizeof v);
    }
    return true;
}

bool Field_ReadMatrix(const char*, void* dest, size_t length) {
    if (g_binary) return ReadRecord(kFieldTagMatrix, dest, length, Layout::Matrix);
    long long count = 0;
    if (!ReadHeaderCount(&count)) return false;
    const size_t room = length / kFieldMatrixSize;
    for (long long i = 0; i < count; ++i) {
        float rows[9] = {};
        double posit[3] = {};
        for (float& c : rows)
            if (!ReadSubField(&c)) return false;
        for (double& c : posit)
            if (!ReadSubField(&c)) return false;
        if (static_cast<unsigned long long>(i) < room) {
            uint8_t* element = static_cast<uint8_t*>(dest) + static_cast<size_t>(i) * kFieldMatrixSize;
            std::memcpy(element, rows, sizeof rows);  // the gap after the rows is left alone
            std::memcpy(element + kFieldMatrixPositOffset, posit, sizeof posit);
        }
    }
    return true;
}

bool Field_ReadPhysics(const char*, void* dest, size_t length) {
    if (length != kFieldPhysicsSize || !g_read.open) return false;
    if (!g_binary) {
        std::string_view line;
        if (!NextLine(&line) || IsBlank(line)) return false;
    }
    auto* out = static_cast<uint8_t*>(dest);
    for (int k = 0; k < 6; ++k)
        if (!Field_ReadFloat(kPhysicsFloatNames[k], out + 4 * k, 4)) return false;
    for (int k = 0; k < 3; ++k)
        if (!Field_ReadVector(kPhysicsVectorNames[k], out + 24 + 12 * k, 12)) return false;
    return true;
}

bool Field_ReadPointer(const char*, uint32_t* value) {
    if (g_binary) return ReadRecord(kFieldTagPointer, value, 4, Layout::Scalar4);
    std::string_view line, text;
    if (!NextLine(&line) || !ValueAfterEquals(line, &text)) return false;
    uint32_t parsed = 0;
    if (!ParseInteger(text, &parsed, 16)) return false;
    *value = parsed;
    return true;
}

bool Field_ReadLabel(const char* label) {
    if (g_binary) return g_read.open;
    std::string_view line;
    if (!NextLine(&line)) return false;
    const std::string_view expected(label ? label : "");
    return line.substr(0, expected.size()) == expected;
}

bool Field_NextIsPointer(const char* name) {
    if (!g_read.open || g_read.cursor >= g_read.end) return false;
    if (g_binary) return g_read.end - g_read.cursor >= 4 && static_cast<uint8_t>(g_read.cursor[0]) == kFieldTagPointer;
    const std::string_view rest(g_read.cursor, static_cast<size_t>(g_read.end - g_read.cursor));
    const std::string_view line = rest.substr(0, rest.find_first_of("\r\n"));
    const std::string_view wanted(name ? name : "");
    if (line.substr(0, wanted.size()) != wanted) return false;
    const std::string_view after = SkipSpace(line.substr(wanted.size()));
    return !after.empty() && after[0] == '=';
}

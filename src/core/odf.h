// Object definition files: lines of "key = value", looked up by the 32-bit hash of the key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// FNV-1a over the lower-cased text, continuing from seed. A numbered key (a prefix and a
// decimal number) is the prefix's hash continued over the number printed with "%d".
// A null text gives 0.
constexpr uint32_t kTextHashBasis = 0x811C9DC5u;
constexpr uint32_t kTextHashPrime = 16777619u;
uint32_t Text_HashNoCase(const char* text, uint32_t seed = kTextHashBasis);
// The same over length bytes (which may hold anything, zero included).
uint32_t Text_HashNoCaseN(const char* text, size_t length, uint32_t seed = kTextHashBasis);
// The hash of a numbered key: the prefix's hash state continued over "%d" of number.
uint32_t Text_HashNumbered(uint32_t prefixHash, int number);

// Parses like "%f" in the C locale whatever the process locale is: leading blanks, a sign,
// decimal or 0x-hexadecimal digits with an exponent, inf and nan. 0 when nothing parses.
float Odf_ParseFloat(const char* text);
// The same, reporting whether a number was there (out untouched when not).
bool Odf_TryParseFloat(const char* text, size_t length, float* out);
// Parses like "%d": leading blanks, a sign, decimal digits; clamped to the int range.
bool Odf_TryParseInt(const char* text, size_t length, int* out);

class OdfFile {
public:
    OdfFile() = default;
    // Reads the named file (full name with extension) through the data-file loader.
    explicit OdfFile(const char* name) { Open(name); }
    OdfFile(const OdfFile&) = delete;
    OdfFile& operator=(const OdfFile&) = delete;
    OdfFile(OdfFile&&) = default;
    OdfFile& operator=(OdfFile&&) = default;

    // Rebuilds the object from the named file; a missing file leaves it empty (every getter
    // answers its default) and returns false.
    bool Open(const char* name);
    // Rebuilds the object from text in memory (copied).
    void Parse(const char* text, size_t length);

    // Absent key: stores the default (when out is given) and returns false. Present: parses
    // the value with "%d" into out and returns true, also when the parse fails (out is kept).
    bool GetInt(uint32_t key, int* out, int defaultValue) const;
    // The same with Odf_ParseFloat.
    bool GetFloat(uint32_t key, float* out, float defaultValue) const;
    // The text between the value's first two double quotes, at most size - 1 characters and
    // zero-terminated, and true. Otherwise the default (cut the same way) or "" and false.
    bool GetString(uint32_t key, char* out, size_t size, const char* defaultText) const;
    // Like GetString but into a new copy; on a miss a copy of the default, or null without one.
    bool GetStringAlloc(uint32_t key, std::unique_ptr<char[]>* out, const char* defaultText) const;
    // An 8-character name: the 8 bytes zeroed, then at most 8 characters of the quoted text
    // (no terminator when 8 long), and true. Otherwise the 8-byte default and false.
    bool GetName8(uint32_t key, char* out, const char* defaultName) const;

    // Whether the key has a value; how many keys have one.
    bool Has(uint32_t key) const { return m_index.count(key) != 0; }
    size_t KeyCount() const { return m_index.size(); }

private:
    struct Value {
        uint32_t offset;
        uint32_t length;
    };
    const Value* Find(uint32_t key) const;
    // The text between the value's first two double quotes.
    bool Quoted(const Value& value, const char** text, size_t* length) const;

    std::vector<char> m_text;
    std::unordered_map<uint32_t, Value> m_index;
};

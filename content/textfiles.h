// Writers of the game's text formats: object definitions and configuration files.
#pragma once
#include <cstdint>
#include <string>

namespace content {

// An object definition: "[Section]" lines and "key = value" lines. Keys given by hash are
// written with the dictionary's text (keys.txt); a hash without one makes the writer fail.
class OdfWriter {
public:
    OdfWriter& Section(const std::string& name);
    OdfWriter& Value(const std::string& key, const std::string& value);  // written as given
    OdfWriter& Int(const std::string& key, int value);
    OdfWriter& Float(const std::string& key, float value);
    OdfWriter& String(const std::string& key, const std::string& value);  // in double quotes
    OdfWriter& Int(uint32_t key, int value) { return Int(KeyFor(key), value); }
    OdfWriter& Float(uint32_t key, float value) { return Float(KeyFor(key), value); }
    OdfWriter& String(uint32_t key, const std::string& value) { return String(KeyFor(key), value); }

    const std::string& Text() const { return m_text; }
    // False when a key hash had no text; error names it.
    bool Ok(std::string* error = nullptr) const;

private:
    std::string KeyFor(uint32_t hash);
    std::string m_text;
    std::string m_error;
};

// A configuration file: "[Section]" lines and "Key = value" lines.
class CfgWriter {
public:
    CfgWriter& Section(const std::string& name);
    CfgWriter& Value(const std::string& key, const std::string& value);
    CfgWriter& Int(const std::string& key, int value) { return Value(key, std::to_string(value)); }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// Writes text to path (directories created). False with a reason on failure.
bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace content

#include "textfiles.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "odfkeys.h"

namespace content {

OdfWriter& OdfWriter::Section(const std::string& name) {
    m_text += "[" + name + "]\n";
    return *this;
}
OdfWriter& OdfWriter::Value(const std::string& key, const std::string& value) {
    m_text += key + " = " + value + "\n";
    return *this;
}
OdfWriter& OdfWriter::Int(const std::string& key, int value) { return Value(key, std::to_string(value)); }
OdfWriter& OdfWriter::Float(const std::string& key, float value) {
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);  // shortest form, no locale
    return Value(key, std::string(digits, result.ptr));
}
OdfWriter& OdfWriter::String(const std::string& key, const std::string& value) {
    return Value(key, "\"" + value + "\"");
}

std::string OdfWriter::KeyFor(uint32_t hash) {
    const std::string& text = KeyText(hash);
    if (text.empty() && m_error.empty()) {
        char name[16];
        std::snprintf(name, sizeof name, "0x%08x", hash);
        m_error = std::string("no key text for ") + name + " in " + KeyDictionaryPath();
    }
    return text.empty() ? "unknown_key" : text;
}

bool OdfWriter::Ok(std::string* error) const {
    if (error) *error = m_error;
    return m_error.empty();
}

CfgWriter& CfgWriter::Section(const std::string& name) {
    m_text += "[" + name + "]\n";
    return *this;
}
CfgWriter& CfgWriter::Value(const std::string& key, const std::string& value) {
    m_text += key + " = " + value + "\n";
    return *this;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace content

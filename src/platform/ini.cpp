#include "platform/ini.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/paths.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

struct IniText {
    std::vector<std::string> lines;  // without line ends
    bool crlf = false;               // the file used CR LF line ends
    bool bom = false;                // the file began with a UTF-8 byte-order mark
};

// False only when the file exists but cannot be read; a missing file reads as empty.
bool ReadIni(const char* file, IniText& out) {
    FILE* f = Plat_OpenFile(file, "rb");
    if (!f) return errno == ENOENT || errno == ENOTDIR;
    std::string data;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) return false;
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        out.bom = true;
        data.erase(0, 3);
    }
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            out.crlf = true;
        }
        out.lines.push_back(std::move(line));
        pos = end + 1;
    }
    return true;
}

// A section header's name, or false when the line is not one.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// A key line's key and value, or false for comments, blank lines and lines without '='.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

struct Place {
    int section = -1;       // line of the section header
    int key = -1;           // line of the key
    int lastContent = -1;   // last non-blank line of the section
    std::string value;
};

Place Find(const IniText& ini, const char* section, const char* key) {
    Place p;
    std::string name, k, v;
    for (int i = 0; i < static_cast<int>(ini.lines.size()); ++i) {
        const std::string& line = ini.lines[i];
        if (SectionName(line, name)) {
            if (p.section >= 0) break;  // the end of the section found before
            if (SameName(name, section)) p.section = p.lastContent = i;
            continue;
        }
        if (p.section < 0) continue;
        if (!Trim(line).empty()) p.lastContent = i;
        if (p.key < 0 && KeyValue(line, k, v) && SameName(k, key)) {
            p.key = i;
            p.value = v;
        }
    }
    return p;
}

bool Lookup(const char* section, const char* key, const char* file, std::string& value) {
    if (!section || !key || !file) return false;
    IniText ini;
    if (!ReadIni(file, ini)) return false;
    Place p = Find(ini, Trim(section).c_str(), Trim(key).c_str());
    if (p.key < 0) return false;
    value = p.value;
    return true;
}

bool HasLineBreak(const char* s) {
    for (; *s; ++s)
        if (*s == '\n' || *s == '\r') return true;
    return false;
}

// Writes the whole file beside the old one and renames it over, so a failed write loses nothing.
bool WriteIni(const char* file, const IniText& ini) {
    const std::string host = Plat_ResolvePath(file);
    std::string tmp = host + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    struct stat st;
    fchmod(fd, stat(host.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(tmp.c_str());
        return false;
    }
    const char* eol = ini.crlf ? "\r\n" : "\n";
    bool ok = !ini.bom || std::fputs("\xEF\xBB\xBF", f) >= 0;
    for (const std::string& line : ini.lines) ok = ok && std::fputs(line.c_str(), f) >= 0 && std::fputs(eol, f) >= 0;
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), host.c_str()) == 0) return true;
    unlink(tmp.c_str());
    return false;
}

}  // namespace

int Plat_IniGetInt(const char* section, const char* key, int defaultValue, const char* file) {
    std::string value;
    if (!Lookup(section, key, file, value)) return defaultValue;
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;  // saturate
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

std::string Plat_IniGetString(const char* section, const char* key, const char* defaultValue, const char* file) {
    std::string value;
    if (!Lookup(section, key, file, value)) return defaultValue ? defaultValue : "";
    return value;
}

bool Plat_IniWriteString(const char* section, const char* key, const char* value, const char* file) {
    if (!section || !key || !value || !file || !*file) return false;
    const std::string sec = Trim(section), k = Trim(key);
    // Names and values that would read back as something else are refused.
    if (k.empty() || k[0] == '[' || k[0] == ';' || k[0] == '#' || k.find('=') != std::string::npos ||
        sec.find(']') != std::string::npos || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    IniText ini;
    if (!ReadIni(file, ini)) return false;
    Place p = Find(ini, sec.c_str(), k.c_str());
    if (p.key >= 0) {
        // Keep the key's own spelling and spacing up to the value.
        std::string& line = ini.lines[p.key];
        size_t start = line.find('=') + 1;
        while (start < line.size() && IsBlank(line[start])) ++start;
        line = line.substr(0, start) + value;
    } else if (p.section >= 0) {
        ini.lines.insert(ini.lines.begin() + p.lastContent + 1, k + "=" + value);
    } else {
        while (!ini.lines.empty() && Trim(ini.lines.back()).empty()) ini.lines.pop_back();
        if (!ini.lines.empty()) ini.lines.push_back("");
        ini.lines.push_back("[" + sec + "]");
        ini.lines.push_back(k + "=" + value);
    }
    return WriteIni(file, ini);
}

bool Plat_IniWriteInt(const char* section, const char* key, int value, const char* file) {
    return Plat_IniWriteString(section, key, std::to_string(value).c_str(), file);
}

#include "platform/strtable.h"

#include <cstdio>
#include <string>
#include <unordered_map>

#include "platform/paths.h"

struct PlatStrTable {
    // Node-based, so the shown texts keep their addresses for the table's life.
    std::unordered_map<std::string, std::string> entries;
};

namespace {

// "\n" becomes a line break and "\\" one backslash; any other backslash stays as written.
std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
            out += s[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

void Parse(PlatStrTable& table, std::string data) {
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        // The first entry for a text wins.
        table.entries.emplace(Unescape(line.substr(0, eq)), Unescape(line.substr(eq + 1)));
    }
}

}  // namespace

PlatStrTable* Plat_StrTableCreate(const char* file) {
    auto* table = new PlatStrTable;
    if (!file || !*file) return table;
    if (FILE* f = Plat_OpenFile(file, "rb")) {
        std::string data;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
        std::fclose(f);
        Parse(*table, std::move(data));
    }
    return table;
}

const char* Plat_StrTableFind(PlatStrTable* table, const char* english) {
    if (!table || !english) return english;
    auto it = table->entries.find(english);
    return it == table->entries.end() ? english : it->second.c_str();
}

void Plat_StrTableDestroy(PlatStrTable* table) { delete table; }

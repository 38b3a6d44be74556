// The keyed text lookup: "label.map" holds replacement texts by section and entry; callers fill
// their buffer with the English text first and keep it when the file has no entry.
#include <cstdio>
#include <cstring>

#include "core/debug.h"
#include "core/sysprobe.h"
#include "interface/inputmap.h"
#include "platform/paths.h"

bool LabelMap_CopyText(const char* line, bool japanese, char* out) {
    const char* open = static_cast<const char*>(std::memchr(line, '{', strnlen(line, 256)));
    if (!open) return false;
    const char* p = open + 1;
    int n = 0;
    while (*p && n < kLabelMaxChars) {
        if (*p == '}') {
            if (!japanese) break;
            const char next = p[1];
            if (next == 0 || next == ' ' || next == '\t' || next == '\r' || next == '\n') break;
        }
        out[n++] = *p++;
    }
    out[n] = 0;
    return true;
}

int LabelMap_GetLabel(const char* section, const char* entry, char* out) {
    FILE* file = Plat_OpenFile(Plat_DataPath("label.map"), "r");
    if (!file) return 0;
    const int result = LabelMap_Find(file, section, entry, out);
    std::fclose(file);
    return result;
}

int LabelMap_Find(FILE* file, const char* section, const char* entry, char* out) {
    int result = 0;
    int lineNumber = 0;
    char line[kKeyMapLineChars + 1];
    bool done = false;
    while (!done && KeyMapLine_Read(file, line, false, &lineNumber)) {
        char name[kKeyMapLineChars + 1];
        if (std::sscanf(line, "%254s", name) != 1) {
            Error_Warning("label.map error: line %d, read error.", lineNumber);
            break;
        }
        if (std::strcmp(name, section) != 0) continue;
        while (KeyMapLine_Read(file, line, false, &lineNumber)) {
            if (line[0] == '}') break;
            char sign[2];
            char key[kKeyMapLineChars + 1];
            char text[kKeyMapLineChars + 1];
            if (std::sscanf(line, " %1[+-] %254s {%254s", sign, key, text) != 3) {
                Error_Warning("label.map error: line %d, read error - \"%s\"", lineNumber, section);
                done = true;
                break;
            }
            if (std::strcmp(key, entry) != 0) continue;
            char copied[kLabelMaxChars + 1];
            if (LabelMap_CopyText(line, Lang_IsJapanese(), copied)) {
                std::memcpy(out, copied, std::strlen(copied) + 1);
                result = 1;
            }
            done = true;
            break;
        }
    }
    return result;
}

#include "core/glob.h"

namespace {

// Matches one set starting after its '['; pattern is left at the closing ']'. An
// unterminated set matches nothing.
bool MatchSet(unsigned char c, const char*& pattern, bool* ok) {
    const char* p = pattern;
    bool negate = false;
    if (*p == '!') {
        negate = true;
        ++p;
    }
    bool found = false;
    bool first = true;
    while (*p && (*p != ']' || first)) {
        first = false;
        unsigned char low = static_cast<unsigned char>(*p);
        if (low == '\\' && p[1]) low = static_cast<unsigned char>(*++p);
        ++p;
        if (*p == '-' && p[1] && p[1] != ']') {
            unsigned char high = static_cast<unsigned char>(p[1]);
            p += 2;
            if (high == '\\' && *p) high = static_cast<unsigned char>(*p++);
            if (low <= c && c <= high) found = true;
        } else if (c == low) {
            found = true;
        }
    }
    if (*p != ']') {
        *ok = false;
        return false;
    }
    pattern = p;  // at the ']'
    *ok = true;
    return found != negate;
}

}  // namespace

int Glob_Match(const char* name, const char* pattern) {
    if (!name || !pattern) return 0;
    for (; *pattern; ++name, ++pattern) {
        if (*name == 0 && *pattern != '*') return -1;
        switch (*pattern) {
        case '?':
            break;
        case '*': {
            while (*++pattern == '*') {
            }
            if (*pattern == 0) return 1;
            // Each later start of the rest; -1 from a deeper try means no shorter run can help.
            for (; *name; ++name) {
                int result = Glob_Match(name, pattern);
                if (result != 0) return result;
            }
            return -1;
        }
        case '[': {
            const char* p = pattern + 1;
            bool ok = false;
            bool match = MatchSet(static_cast<unsigned char>(*name), p, &ok);
            if (!ok || !match) return 0;
            pattern = p;
            break;
        }
        case '\\':
            if (pattern[1]) ++pattern;
            if (*name != *pattern) return 0;
            break;
        default:
            if (*name != *pattern) return 0;
            break;
        }
    }
    return *name == 0 ? 1 : 0;
}

bool Glob_MatchName(const char* name, const char* pattern) {
    if (!name || !pattern) return false;
    if (name[0] == '.' && (pattern[0] == '*' || pattern[0] == '?')) return false;
    return Glob_Match(name, pattern) == 1;
}

// gvtool: the developer's command-line tool.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content.h"
#include "core/odf.h"
#include "odfkeys.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: gvtool content DIR     write the sample world into DIR\n"
                 "       gvtool odfkey HASH [PREFIX | @STATE]\n"
                 "                              find a readable definition key text with that hash,\n"
                 "                              beginning with PREFIX or continuing the hash state STATE\n");
    return 2;
}

bool ParseHash(const char* text, uint32_t* out) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 16);
    if (!*text || *end || value > 0xFFFFFFFFull) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

int FindKey(int argc, char** argv) {
    uint32_t target, state = kTextHashBasis;
    std::string prefix;
    if (argc < 3 || argc > 4 || !ParseHash(argv[2], &target)) return Usage();
    if (argc == 4) {
        if (argv[3][0] == '@') {
            if (!ParseHash(argv[3] + 1, &state)) return Usage();
        } else {
            prefix = argv[3];
        }
    }
    std::string text;
    if (!content::FindKeyText(target, prefix, state, &text)) {
        std::fprintf(stderr, "gvtool: no key text found for 0x%08x\n", target);
        return 1;
    }
    std::printf("0x%08x %s\n", target, text.c_str());
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "content") {
        if (argc != 3) return Usage();
        std::string error;
        if (!content::WriteWorld(argv[2], &error)) {
            std::fprintf(stderr, "gvtool: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "odfkey") return FindKey(argc, argv);
    return Usage();
}

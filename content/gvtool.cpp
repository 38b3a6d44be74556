// gvtool: the developer's command-line tool.
#include <cstdio>
#include <cstring>
#include <string>

#include "content.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: gvtool content DIR     write the sample world into DIR\n");
    return 2;
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
    return Usage();
}

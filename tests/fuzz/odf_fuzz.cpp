// Definition files: any bytes parse, and every getter stays inside the text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/odf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    OdfFile odf;
    odf.Parse(text, size);
    const uint32_t keys[] = {kTextHashBasis, Text_HashNoCase("a"), Text_HashNoCase("key"), Text_HashNoCase("name")};
    for (uint32_t key : keys) {
        int i = 0;
        float f = 0;
        char buffer[5];
        char name[8];
        std::unique_ptr<char[]> copy;
        odf.GetInt(key, &i, 1);
        odf.GetFloat(key, &f, 1);
        odf.GetString(key, buffer, sizeof buffer, "default");
        odf.GetStringAlloc(key, &copy, nullptr);
        odf.GetName8(key, name, "dflt");
    }
    std::string terminated(text, size);
    Odf_ParseFloat(terminated.c_str());
    return 0;
}

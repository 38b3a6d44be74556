// "PrjInfo.txt" comes with the data: any bytes must be read line by line without harm, in the
// single-byte and in the double-byte setting.
#include <cstddef>
#include <cstdint>

#include "core/sysprobe.h"
#include "core/text.h"
#include "fuzz_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServeInput(data, size);
    for (bool doubleByte : {false, true}) {
        Text_SetLanguage(doubleByte, nullptr);
        for (const char* key : {"Language", "Keyboard", "", ":"}) {
            char small[4];
            char large[256];
            PrjInfo_GetString(key, small, sizeof small);
            PrjInfo_GetString(key, large, sizeof large);
        }
    }
    Text_SetLanguage(false, nullptr);
    return 0;
}

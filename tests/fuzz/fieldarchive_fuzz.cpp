// Mission files and saved games are outside input: the named-field readers must take any bytes
// in either form without reading or storing out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"

namespace {

using Reader = bool (*)(const char*, void*, size_t);
struct Kind {
    Reader read;
    size_t element;
};
const Kind kKinds[] = {
    {Field_ReadBytes, 1},    {Field_ReadBool, 1},   {Field_ReadString, 1},     {Field_ReadChar, 1},
    {Field_ReadShort, 2},    {Field_ReadUShort, 2}, {Field_ReadInt, 4},        {Field_ReadLong, 4},
    {Field_ReadHex, 4},      {Field_ReadFloat, 4},  {Field_ReadDouble, 8},     {Field_ReadId, 8},
    {Field_ReadVector, 12},  {Field_ReadVector2D, 8}, {Field_ReadMatrix, 64}, {Field_ReadPhysics, 60},
};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

}  // namespace

// Input: a flags byte (bit 0 binary form, bit 1 an old version), a count of operations, the
// operations, then the stream itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = Registration_Init();
    (void)registered;
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    size_t opCount = data[1] % 24;
    if (opCount > size - 2) opCount = size - 2;
    const uint8_t* ops = data + 2;
    // The stream gets a buffer of its own exact size, so that any read past it is caught.
    std::vector<char> stream(data + 2 + opCount, data + size);
    Field_SetBinary(flags & 1);
    Field_SetVersion(flags & 2 ? 1001 : kSaveVersionCurrent);
    Field_BeginRead(stream.data(), stream.size());

    static void* fixedFields[24];
    for (size_t i = 0; i < opCount; ++i) {
        const uint8_t op = ops[i];
        bool ok;
        if (op % 20 < kKindCount) {
            const Kind& kind = kKinds[op % 20];
            const size_t length = kind.read == Field_ReadPhysics ? kFieldPhysicsSize : kind.element * (op / 20 % 4);
            std::vector<uint8_t> dest(length);
            ok = kind.read("f", dest.data(), dest.size());
        } else if (op % 20 == 16) {
            uint32_t value;
            ok = Field_ReadPointer("undefptr", &value);
            if (ok) Field_RegisterPointer(value, fixedFields);
        } else if (op % 20 == 17) {
            ok = Field_ReadPointerFixup("undefptr", &fixedFields[i]);
        } else if (op % 20 == 18) {
            ok = Field_ReadLabel("[AiPaths]");
        } else {
            sObject* object = sObject_Load();  // no create functions are bound: nothing is made
            ok = object != nullptr;
            delete object;
        }
        if (!ok) break;
    }
    Field_FixupEarly();
    Field_ResolvePointers();
    Field_EndRead();
    Field_SetBinary(false);
    Field_SetVersion(kSaveVersionCurrent);
    return 0;
}

#include "support/field_stream.h"

#include <cstdlib>

#include "core/fieldarchive.h"

std::string CaptureFields(bool binary, const std::function<bool(FILE*)>& write, bool* ok) {
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    Field_SetBinary(binary);
    const bool result = write(stream);
    Field_SetBinary(false);
    std::fclose(stream);
    std::string bytes(data, size);
    std::free(data);
    if (ok) *ok = result;
    return bytes;
}

std::string CrLfLines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string FieldRecord(uint8_t tag, const std::string& bytes) {
    std::string record;
    record += static_cast<char>(tag);
    record += '\0';
    record += static_cast<char>(bytes.size() & 0xFF);
    record += static_cast<char>((bytes.size() >> 8) & 0xFF);
    return record + bytes;
}

std::string LeBytes(const void* data, size_t length, size_t width) {
    const auto* p = static_cast<const uint8_t*>(data);
    std::string out;
    for (size_t i = 0; i + width <= length; i += width)
        for (size_t k = 0; k < width; ++k) {
            const uint16_t probe = 1;
            const bool little = *reinterpret_cast<const uint8_t*>(&probe) == 1;
            out += static_cast<char>(p[i + (little ? k : width - 1 - k)]);
        }
    return out;
}

FieldReadScope::FieldReadScope(std::string bytes, bool binary, int32_t version) : bytes_(std::move(bytes)) {
    Field_SetBinary(binary);
    Field_SetVersion(version);
    Field_BeginRead(bytes_.data(), bytes_.size());
}

FieldReadScope::~FieldReadScope() {
    Field_EndRead();
    Field_SetBinary(false);
    Field_SetVersion(kSaveVersionCurrent);
}

size_t FieldReadScope::Offset() const { return Field_ReadOffset(); }

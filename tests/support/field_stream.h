// Helpers for tests of the named-field archive: capture what writers write, and read from a
// buffer with the one read state.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>

// Runs write on an in-memory stream with the binary-form flag set as given and returns the
// bytes written; *ok receives write's result. The flag is cleared afterwards.
std::string CaptureFields(bool binary, const std::function<bool(FILE*)>& write, bool* ok = nullptr);

// Text lines, each ended by CR LF.
std::string CrLfLines(std::initializer_list<const char*> lines);

// A binary record: tag, zero, 16-bit little-endian length, then the bytes.
std::string FieldRecord(uint8_t tag, const std::string& bytes);

// Little-endian bytes of numbers.
std::string LeBytes(const void* data, size_t length, size_t width);
template <class T>
std::string Le(T value) {
    return LeBytes(&value, sizeof value, sizeof value);
}

// Starts reading text for the life of the object (and ends the read, clears the binary flag and
// restores the current version afterwards).
class FieldReadScope {
public:
    FieldReadScope(std::string bytes, bool binary, int32_t version = 1039);
    ~FieldReadScope();
    FieldReadScope(const FieldReadScope&) = delete;
    FieldReadScope& operator=(const FieldReadScope&) = delete;
    size_t Offset() const;
    size_t Size() const { return bytes_.size(); }

private:
    std::string bytes_;
};

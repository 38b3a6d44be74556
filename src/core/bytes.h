// Little-endian fields of stored files and records, read and written one at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/mathlib.h"

inline uint16_t Bytes_U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Bytes_U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t Bytes_I32(const uint8_t* p) { return static_cast<int32_t>(Bytes_U32(p)); }
inline float Bytes_F32(const uint8_t* p) {
    uint32_t bits = Bytes_U32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline Vector Bytes_Vec(const uint8_t* p) { return Vector{Bytes_F32(p), Bytes_F32(p + 4), Bytes_F32(p + 8)}; }

inline void Bytes_SetU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appending to a byte string or a byte vector.
template <class Out>
void Bytes_AppendU16(Out& out, uint16_t v) {
    using Byte = typename Out::value_type;
    out.push_back(static_cast<Byte>(v & 0xFF));
    out.push_back(static_cast<Byte>(v >> 8));
}
template <class Out>
void Bytes_AppendU32(Out& out, uint32_t v) {
    using Byte = typename Out::value_type;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<Byte>((v >> (8 * i)) & 0xFF));
}
template <class Out>
void Bytes_AppendF32(Out& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    Bytes_AppendU32(out, bits);
}
template <class Out>
void Bytes_AppendVec(Out& out, const Vector& v) {
    Bytes_AppendF32(out, v.x);
    Bytes_AppendF32(out, v.y);
    Bytes_AppendF32(out, v.z);
}
// A text in a fixed field: cut to size, zero-filled.
template <class Out>
void Bytes_AppendFixed(Out& out, const std::string& text, size_t size) {
    using Byte = typename Out::value_type;
    for (size_t i = 0; i < size; ++i) out.push_back(static_cast<Byte>(i < text.size() ? text[i] : 0));
}

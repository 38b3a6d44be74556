#include "fun3d/netpack.h"

#include <cmath>

#include "Terrain/terramap.h"

namespace {

// 4095 / pi: an angle in radians to the packed units.
constexpr float kAngleScale = 1303.479f;
constexpr float kAngleUnit = 3.14159265358979f / 4095.0f;

uint64_t Window(const uint8_t* record, int byte, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(record[byte + i]) << (8 * i);
    return v;
}

// The bytes a field at (offset, width) touches.
int Span(int offset, int width) { return (offset % 8 + width + 7) / 8; }

double Clamp(double v, double lo, double hi) {
    if (!(v == v)) return 0.0;
    return v < lo ? lo : v > hi ? hi : v;
}

void WorldOrigin(double* x, double* y, double* z) {
    *x = (static_cast<double>(TerrainBounds.minXm) + TerrainBounds.maxXm) / 2.0;
    *y = TerrainBounds.lowest;
    *z = (static_cast<double>(TerrainBounds.minZm) + TerrainBounds.maxZm) / 2.0;
}

}  // namespace

uint32_t NetPack_ReadBits(const uint8_t* record, int offset, int width) {
    const int byte = offset / 8;
    const uint64_t v = Window(record, byte, Span(offset, width)) >> (offset % 8);
    const uint64_t mask = width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1;
    return static_cast<uint32_t>(v & mask);
}

int32_t NetPack_ReadSignedBits(const uint8_t* record, int offset, int width) {
    const uint32_t v = NetPack_ReadBits(record, offset, width);
    if (width >= 32) return static_cast<int32_t>(v);
    const uint32_t sign = 1u << (width - 1);
    return static_cast<int32_t>((v ^ sign)) - static_cast<int32_t>(sign);
}

void NetPack_WriteBits(uint32_t value, uint8_t* record, int offset, int width) {
    const int byte = offset / 8;
    const int shift = offset % 8;
    const int bytes = Span(offset, width);
    const uint64_t mask = (width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1) << shift;
    uint64_t v = Window(record, byte, bytes);
    v = (v & ~mask) | ((uint64_t(value) << shift) & mask);
    for (int i = 0; i < bytes; ++i) record[byte + i] = static_cast<uint8_t>(v >> (8 * i));
}

void NetPack_WriteSigned(double value, uint8_t* record, int offset, int width) {
    const double hi = std::ldexp(1.0, width - 1) - 1.0;
    const auto v = static_cast<int64_t>(Clamp(value, -hi - 1.0, hi));
    NetPack_WriteBits(static_cast<uint32_t>(v), record, offset, width);
}

void NetPack_WriteUnsigned(double value, uint8_t* record, int offset, int width) {
    const double hi = std::ldexp(1.0, width) - 1.0;
    const auto v = static_cast<int64_t>(Clamp(value, 0.0, hi));
    NetPack_WriteBits(static_cast<uint32_t>(v), record, offset, width);
}

void NetPack_PackOrdnance(uint8_t out[kNetPackOrdnanceSize], const DVector& position, const Vector& direction) {
    for (int i = 0; i < kNetPackOrdnanceSize; ++i) out[i] = 0;
    double cx, base, cz;
    WorldOrigin(&cx, &base, &cz);
    NetPack_WriteSigned(std::floor((position.x - cx) * 64.0 + 0.5), out, 0, 20);
    NetPack_WriteUnsigned(std::floor((position.y - base) * 64.0 + 0.5), out, 20, 15);
    NetPack_WriteSigned(std::floor((position.z - cz) * 64.0 + 0.5), out, 35, 20);
    Vector d = Vec3_Normalize(direction);
    d.x = d.x < -1.0f ? -1.0f : d.x > 1.0f ? 1.0f : d.x;
    d.y = d.y < -1.0f ? -1.0f : d.y > 1.0f ? 1.0f : d.y;
    const float yaw = std::atan2(d.x, d.z);
    const float pitch = -std::asin(d.y);
    NetPack_WriteSigned(std::floor(yaw * kAngleScale + 0.5f), out, 55, 13);
    NetPack_WriteSigned(std::floor(pitch * kAngleScale + 0.5f), out, 68, 12);
}

void NetPack_UnpackOrdnance(Matrix& out, const uint8_t in[kNetPackOrdnanceSize]) {
    double cx, base, cz;
    WorldOrigin(&cx, &base, &cz);
    const DVector position{NetPack_ReadSignedBits(in, 0, 20) / 64.0 + cx, NetPack_ReadBits(in, 20, 15) / 64.0 + base,
                           NetPack_ReadSignedBits(in, 35, 20) / 64.0 + cz};
    const float yaw = static_cast<float>(NetPack_ReadSignedBits(in, 55, 13)) * kAngleUnit;
    const float pitch = static_cast<float>(NetPack_ReadSignedBits(in, 68, 12)) * kAngleUnit;
    const Vector direction{std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
    out = Matrix_FromPositionDirection(position, direction);
}

Matrix NetPack_RoundTripOrdnance(const Matrix& m) {
    uint8_t record[kNetPackOrdnanceSize];
    NetPack_PackOrdnance(record, m.posit, m.front);
    Matrix out;
    NetPack_UnpackOrdnance(out, record);
    return out;
}

// Packed forms of placements that travel between machines: bit fields in little-endian 32-bit
// words, positions relative to the world box (x and z to its centre, y to its base height).
#pragma once
#include <cstdint>

#include "core/mathlib.h"

constexpr int kNetPackOrdnanceSize = 10;

// Bit fields at bit offset `offset`, `width` bits (1..32), counting from bit 0 of the first
// little-endian word; a field may straddle two words.
uint32_t NetPack_ReadBits(const uint8_t* record, int offset, int width);
int32_t NetPack_ReadSignedBits(const uint8_t* record, int offset, int width);
// Replaces the field's bits and leaves the others.
void NetPack_WriteBits(uint32_t value, uint8_t* record, int offset, int width);
// Clamped to the field's range first (NaN writes 0).
void NetPack_WriteSigned(double value, uint8_t* record, int offset, int width);
void NetPack_WriteUnsigned(double value, uint8_t* record, int offset, int width);

// A shot's position (1/64 m) and heading (yaw 13 bits, pitch 12 bits) in 10 bytes.
void NetPack_PackOrdnance(uint8_t out[kNetPackOrdnanceSize], const DVector& position, const Vector& direction);
// The matrix at the packed position, looking along the packed heading.
void NetPack_UnpackOrdnance(Matrix& out, const uint8_t in[kNetPackOrdnanceSize]);
// Both at once: what a receiver rebuilds of the matrix.
Matrix NetPack_RoundTripOrdnance(const Matrix& m);

// Small helpers that code of every subsystem calls: vector arithmetic, ground-plane distances,
// clamps, swaps, float wrappers and a few text and timer helpers.
#pragma once
#include <cstring>
#include <cmath>
#include <cstdint>

#include "core/mathlib.h"

// ---- vectors (single precision) -----------------------------------------------------------
inline void Vec3_Set(Vector& out, float x, float y, float z) { out = Vector{x, y, z}; }
inline void Vec3_Add(Vector& out, const Vector& a, const Vector& b) {
    out = Vector{a.x + b.x, a.y + b.y, a.z + b.z};
}
inline void Vec3_Sub(Vector& out, const Vector& a, const Vector& b) {
    out = Vector{a.x - b.x, a.y - b.y, a.z - b.z};
}
inline void Vec3_Scale(Vector& out, float s, const Vector& v) { out = Vector{v.x * s, v.y * s, v.z * s}; }
// a + b * s
inline void Vec3_AddScaled(Vector& out, const Vector& a, float s, const Vector& b) {
    out = Vector{a.x + b.x * s, a.y + b.y * s, a.z + b.z * s};
}
inline float Vec3_DistSq(const Vector& a, const Vector& b) {
    float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}
inline void Vec3_Copy(Vector& out, const Vector& v) { out = v; }
inline float Vec2_Length(float a, float b) { return std::sqrt(a * a + b * b); }
// Squared distance on the ground plane (y ignored).
inline float Vec3_GroundDistSq(const Vector& a, const Vector& b) {
    float dx = a.x - b.x, dz = a.z - b.z;
    return dx * dx + dz * dz;
}
inline float Vec3_GroundLengthSq(const Vector& v) { return v.x * v.x + v.z * v.z; }
// Vec3_Dot, the value form of Vec3_Sub, Vec3_Normalize and Vec3_Unrotate: core/mathlib.h.

inline void Matrix_GetPosition(Vector& out, const Matrix& m) {
    out = Vector{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
}
inline void Matrix_SetPosition(Matrix& m, const Vector& v) { m.posit = DVector{v.x, v.y, v.z}; }

// ---- scalars ------------------------------------------------------------------------------
inline int Math_MinInt(int a, int b) { return a < b ? a : b; }
inline int Math_MaxInt(int a, int b) { return a > b ? a : b; }
// lo when v < lo (tested first), else hi when v > hi, else v.
inline int Math_ClampInt(int v, int lo, int hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}
inline float Math_MinFloat(float a, float b) { return a < b ? a : b; }
inline float Math_MaxFloat(float a, float b) { return a > b ? a : b; }
inline void Math_SwapFloat(float* p, float* q) {
    if (p == q) return;
    float t = *p;
    *p = *q;
    *q = t;
}
inline void Math_SwapChar(char* p, char* q) {
    if (p == q) return;
    char t = *p;
    *p = *q;
    *q = t;
}
// The weight of something x seconds old: 100 below 3, 3 below 5, 2 below 15, else 1.
inline int Math_StepWeight(float x) {
    if (x < 3.0f) return 100;
    if (x < 5.0f) return 3;
    if (x < 15.0f) return 2;
    return 1;
}
// a + t (b - a) when 0 <= t <= 1, else b: a frame long enough snaps to the target.
inline float Math_LerpClamped(float a, float b, float t) {
    if (t >= 0.0f && t <= 1.0f) return a + t * (b - a);
    return b;
}

// Float wrappers computed in extended precision, rounded once to float.
inline float Math_FabsF(float x) { return static_cast<float>(std::fabs(static_cast<long double>(x))); }
inline float Math_AcosF(float x) { return static_cast<float>(std::acos(static_cast<long double>(x))); }
inline float Math_CosF(float x) { return static_cast<float>(std::cos(static_cast<long double>(x))); }
inline float Math_SinF(float x) { return static_cast<float>(std::sin(static_cast<long double>(x))); }
inline float Math_FloorF(float x) { return static_cast<float>(std::floor(static_cast<long double>(x))); }

// The least of the floats at byte 8 of n consecutive 24-byte records (the depth of screen
// vertices); 1e30 when n is not above 0.
float Vec_MinStrided(const void* records, int n);

// The system millisecond timer in seconds (not game time).
double Clock_GetSystemSeconds();

// A uniform random value in [-1, 1] from the project's generator.
float Rand_Signed();

// For double-byte text of the Japanese setting: 256 offsets, one per byte value; the lead bytes
// get 192, 384, 576, ... in ascending byte order, every other byte 0.
const uint16_t* ShiftJis_LeadTable();

// Compares text as strcmp does with A-Z taken as a-z (ASCII only: the locale plays no part);
// the N form compares at most n characters.
inline int Text_CompareNoCaseN(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
    return 0;
}
inline int Text_CompareNoCase(const char* a, const char* b) { return Text_CompareNoCaseN(a, b, SIZE_MAX); }

// Copies text into a fixed field of size bytes: cut to the field, the rest zero-filled, no
// terminator when the text fills the field (names of 8 or 16 characters in stored records).
inline void Text_CopyFixed(char* field, size_t size, const char* text) {
    size_t n = text ? strnlen(text, size) : 0;
    if (n) std::memcpy(field, text, n);
    std::memset(field + n, 0, size - n);
}

#include "core/mathlib.h"

#include <bit>
#include <cfenv>
#include <cmath>

#include "core/shake.h"

const Matrix kIdentityMatrix = {
    .right = {1.0f, 0.0f, 0.0f},
    .up = {0.0f, 1.0f, 0.0f},
    .front = {0.0f, 0.0f, 1.0f},
    .gap = 0,
    .posit = {0.0, 0.0, 0.0},
};

// ---- save form ----------------------------------------------------------------------------

namespace {

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}
uint64_t GetU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}
void PutFloat(uint8_t* p, float f) { PutU32(p, std::bit_cast<uint32_t>(f)); }
void PutDouble(uint8_t* p, double d) { PutU64(p, std::bit_cast<uint64_t>(d)); }
float GetFloat(const uint8_t* p) { return std::bit_cast<float>(GetU32(p)); }
double GetDouble(const uint8_t* p) { return std::bit_cast<double>(GetU64(p)); }

}  // namespace

void Matrix_WriteBytes(const Matrix& m, uint8_t out[kMatrixSaveSize]) {
    const Vector* rows[3] = {&m.right, &m.up, &m.front};
    for (int r = 0; r < 3; ++r) {
        PutFloat(out + 12 * r, rows[r]->x);
        PutFloat(out + 12 * r + 4, rows[r]->y);
        PutFloat(out + 12 * r + 8, rows[r]->z);
    }
    PutU32(out + 36, m.gap);
    PutDouble(out + 40, m.posit.x);
    PutDouble(out + 48, m.posit.y);
    PutDouble(out + 56, m.posit.z);
}

void Matrix_ReadBytes(const uint8_t in[kMatrixSaveSize], Matrix& m) {
    Vector* rows[3] = {&m.right, &m.up, &m.front};
    for (int r = 0; r < 3; ++r) {
        rows[r]->x = GetFloat(in + 12 * r);
        rows[r]->y = GetFloat(in + 12 * r + 4);
        rows[r]->z = GetFloat(in + 12 * r + 8);
    }
    m.gap = GetU32(in + 36);
    m.posit.x = GetDouble(in + 40);
    m.posit.y = GetDouble(in + 48);
    m.posit.z = GetDouble(in + 56);
}

// ---- inverse square root ------------------------------------------------------------------

namespace {

uint8_t g_invSqrtTable[256];

uint32_t HighWord(double d) { return static_cast<uint32_t>(std::bit_cast<uint64_t>(d) >> 32); }
double FromHighWord(uint32_t high) { return std::bit_cast<double>(static_cast<uint64_t>(high) << 32); }

// Built while the program loads so that no caller can meet an empty table.
const bool g_invSqrtReady = (Math_InitInvSqrtTable(), true);

}  // namespace

void Math_InitInvSqrtTable() {
    for (uint32_t i = 0; i < 256; ++i) {
        // i < 128 covers [0.5, 1), i >= 128 covers [1, 2); the low 7 bits of i are the top 7
        // mantissa bits.
        double x = FromHighWord((0x1FF00u | i) << 13);
        uint32_t high = HighWord(1.0 / std::sqrt(x));
        g_invSqrtTable[i] = static_cast<uint8_t>((high + 1024u) >> 12);
    }
    // 1 / sqrt(1) = 1 has a zero mantissa in the next exponent up; the lookup expects the
    // results of [1, 2) just below 1.
    g_invSqrtTable[128] = 255;
}

const uint8_t* Math_GetInvSqrtTable() {
    (void)g_invSqrtReady;
    return g_invSqrtTable;
}

double Math_InvSqrt(double x) {
    uint32_t high = HighWord(x);
    uint32_t index = (high >> 13) & 0xFF;  // bits 45..52 of the whole double
    int32_t exponent = (3068 - static_cast<int32_t>(high >> 20)) >> 1;
    uint32_t estimateHigh = (static_cast<uint32_t>(exponent) << 20) |
                            (static_cast<uint32_t>(g_invSqrtTable[index]) << 12);
    double y = FromHighWord(estimateHigh);
    return y * 0.5 * (3.0 - x * y * y) * 1.00001;
}

// ---- vectors ------------------------------------------------------------------------------

Vector Vec3_Cross(const Vector& a, const Vector& b) {
    return Vector{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector Vec3_Normalize(const Vector& v) {
    // The squared length is formed in double so that large vectors do not overflow to infinity.
    double lengthSq = static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                      static_cast<double>(v.z) * v.z;
    if (!(lengthSq > 0.0)) return Vector{0.0f, 0.0f, 0.0f};
    double scale = Math_InvSqrt(lengthSq);
    return Vector{static_cast<float>(v.x * scale), static_cast<float>(v.y * scale),
                  static_cast<float>(v.z * scale)};
}

void Vec3_Normalize(Vector& out, const Vector& v) { out = Vec3_Normalize(v); }

Vector Vec3_Unrotate(const Vector& v, const Matrix& m) {
    return Vector{Vec3_Dot(m.right, v), Vec3_Dot(m.up, v), Vec3_Dot(m.front, v)};
}

void Vec3_Unrotate(Vector& out, const Vector& v, const Matrix& m) { out = Vec3_Unrotate(v, m); }

Vector Vec3_TriangleNormal(const Vector& a, const Vector& b, const Vector& c) {
    return Vec3_Normalize(Vec3_Cross(Vec3_Sub(b, a), Vec3_Sub(c, a)));
}

void Vec3_SplitAlong(const Vector& point, const Vector& direction, Vector& along, Vector& rest) {
    float dd = Vec3_Dot(direction, direction);
    Vector a{0.0f, 0.0f, 0.0f};
    if (dd > 0.0f) {
        float k = Vec3_Dot(point, direction) / dd;
        a = Vector{direction.x * k, direction.y * k, direction.z * k};
    }
    Vector r = Vec3_Sub(point, a);
    along = a;
    rest = r;
}

// ---- rotation constructors ----------------------------------------------------------------

namespace {
float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
}  // namespace

Matrix Matrix_RotationX(float a) {
    float s = Sin(a), c = Cos(a);
    Matrix m = kIdentityMatrix;
    m.right = {1.0f, 0.0f, 0.0f};
    m.up = {0.0f, c, s};
    m.front = {0.0f, -s, c};
    return m;
}

Matrix Matrix_RotationY(float a) {
    float s = Sin(a), c = Cos(a);
    Matrix m = kIdentityMatrix;
    m.right = {c, 0.0f, -s};
    m.up = {0.0f, 1.0f, 0.0f};
    m.front = {s, 0.0f, c};
    return m;
}

Matrix Matrix_RotationZ(float a) {
    float s = Sin(a), c = Cos(a);
    Matrix m = kIdentityMatrix;
    m.right = {c, s, 0.0f};
    m.up = {-s, c, 0.0f};
    m.front = {0.0f, 0.0f, 1.0f};
    return m;
}

Matrix Matrix_FromTwoAngles(float pitch, float yaw) {
    float sp = Sin(pitch), cp = Cos(pitch), sy = Sin(yaw), cy = Cos(yaw);
    Matrix m = kIdentityMatrix;
    m.right = {cy, 0.0f, -sy};
    m.up = {sy * sp, cp, cy * sp};
    m.front = {sy * cp, -sp, cy * cp};
    return m;
}

Matrix Matrix_FromEuler(float pitch, float yaw, float roll, double x, double y, double z) {
    float sp = Sin(pitch), cp = Cos(pitch), sy = Sin(yaw), cy = Cos(yaw);
    float sr = Sin(roll), cr = Cos(roll);
    Matrix m = kIdentityMatrix;
    m.right = {sp * sy * sr + cy * cr, sr * cp, sr * cy * sp - cr * sy};
    m.up = {sy * cr * sp - cy * sr, cr * cp, sp * cy * cr + sy * sr};
    m.front = {sy * cp, -sp, cy * cp};
    m.posit = {x, y, z};
    return m;
}

Matrix Matrix_FromAxisAngle(float angle, float axisX, float axisY, float axisZ) {
    float half = angle * 0.5f;
    float s = Sin(half);
    return Quaternion_ToMatrix(Quaternion{s * axisX, s * axisY, s * axisZ, Cos(half)});
}

Matrix Matrix_FromFrontUp(const Vector& up, const Vector& front) {
    Matrix m = kIdentityMatrix;
    m.up = Vec3_Normalize(up);
    m.right = Vec3_Normalize(Vec3_Cross(m.up, front));
    m.front = Vec3_Cross(m.right, m.up);
    return m;
}

Matrix Matrix_FromPositionDirection(const DVector& position, const Vector& direction) {
    Matrix m = kIdentityMatrix;
    m.posit = position;
    m.front = Vec3_Normalize(direction);
    if (m.front.x * m.front.x + m.front.z * m.front.z < 0.02f) {
        // Looking nearly straight up or down: right is the world x axis, made perpendicular to
        // front so that the placement stays orthonormal.
        if (m.front.x == 0.0f)
            m.right = {1.0f, 0.0f, 0.0f};
        else
            m.right = Vec3_Normalize(Vector{1.0f - m.front.x * m.front.x, -m.front.x * m.front.y,
                                            -m.front.x * m.front.z});
    } else
        m.right = Vec3_Normalize(Vec3_Cross(Vector{0.0f, 1.0f, 0.0f}, m.front));
    m.up = Vec3_Cross(m.front, m.right);
    return m;
}

Matrix Matrix_RandomRotation(float angle, float dirX, float dirY, float dirZ, float spread) {
    float u = RandomTable_Next();
    float v = RandomTable_Next();
    float a = u * spread;
    float b = v * spread;
    float sa = Sin(a), ca = Cos(a), sb = Sin(b), cb = Cos(b);
    // The axis within a cone around straight up: polar angle a, azimuth b.
    Vector axis{cb * sa, ca, sb * sa};
    if (!(std::fabs(dirY - 1.0f) < 0.001f)) {
        // Turn the cone so that its centre (0, 1, 0) lands on the direction: tilt by the
        // direction's elevation, then turn about y to its heading.
        float horizontal = std::sqrt(dirX * dirX + dirZ * dirZ);
        float oneMinusYSq = 1.0f - dirY * dirY;
        float sinTilt = std::sqrt(oneMinusYSq > 0.0f ? oneMinusYSq : 0.0f);
        float cosHeading = 1.0f, sinHeading = 0.0f;
        if (horizontal > 1e-6f) {  // straight down has no heading; any serves
            cosHeading = dirX / horizontal;
            sinHeading = dirZ / horizontal;
        }
        float t1 = axis.x * dirY + axis.y * sinTilt;
        float t2 = axis.y * dirY - axis.x * sinTilt;
        axis = Vector{t1 * cosHeading - axis.z * sinHeading, t2, t1 * sinHeading + axis.z * cosHeading};
    }
    return Matrix_FromAxisAngle(angle, axis.x, axis.y, axis.z);
}

// ---- conversions --------------------------------------------------------------------------

Matrix Quaternion_ToMatrix(const Quaternion& q) {
    float x = q.x, y = q.y, z = q.z, w = q.w;
    Matrix m = kIdentityMatrix;
    m.right = {1.0f - 2.0f * y * y - 2.0f * z * z, 2.0f * x * y - 2.0f * z * w, 2.0f * x * z + 2.0f * y * w};
    m.up = {2.0f * x * y + 2.0f * z * w, 1.0f - 2.0f * x * x - 2.0f * z * z, 2.0f * y * z - 2.0f * x * w};
    m.front = {2.0f * x * z - 2.0f * y * w, 2.0f * y * z + 2.0f * x * w, 1.0f - 2.0f * x * x - 2.0f * y * y};
    return m;
}

Quaternion Matrix_ToQuaternion(const Matrix& matrix) {
    const float m[3][3] = {
        {matrix.right.x, matrix.right.y, matrix.right.z},
        {matrix.up.x, matrix.up.y, matrix.up.z},
        {matrix.front.x, matrix.front.y, matrix.front.z},
    };
    float trace = m[0][0] + m[1][1] + m[2][2];
    Quaternion q;
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f);
        q.w = s / 2.0f;
        float k = 2.0f * s;
        q.x = (m[2][1] - m[1][2]) / k;
        q.y = (m[0][2] - m[2][0]) / k;
        q.z = (m[1][0] - m[0][1]) / k;
        return q;
    }
    int i = 0;
    if (m[0][0] < m[1][1]) i = 1;
    if (m[2][2] > m[i][i]) i = 2;
    static const int kNext[3] = {1, 2, 0};
    int j = kNext[i], k = kNext[j];
    float s = std::sqrt(m[i][i] - m[j][j] - m[k][k] + 1.0f);
    float c[3];
    c[i] = s / 2.0f;
    float twoS = 2.0f * s;
    q.w = (m[k][j] - m[j][k]) / twoS;
    c[j] = (m[i][j] + m[j][i]) / twoS;
    c[k] = (m[i][k] + m[k][i]) / twoS;
    q.x = c[0];
    q.y = c[1];
    q.z = c[2];
    return q;
}

Quaternion Quaternion_Slerp(const Quaternion& q1, const Quaternion& q2, float t) {
    float c = q1.x * q2.x + q1.y * q2.y + q1.z * q2.z + q1.w * q2.w;
    Quaternion r;
    if (1.0f + c > 0.0001f) {
        float w1, w2;
        if (1.0f - c > 0.0001f) {
            double angle = std::atan2(std::sqrt(1.0 - static_cast<double>(c) * c), static_cast<double>(c));
            double sinAngle = std::sin(angle);
            w1 = static_cast<float>(std::sin((1.0 - t) * angle) / sinAngle);
            w2 = static_cast<float>(std::sin(t * angle) / sinAngle);
        } else {
            w1 = 1.0f - t;
            w2 = t;
        }
        r = Quaternion{w1 * q1.x + w2 * q2.x, w1 * q1.y + w2 * q2.y, w1 * q1.z + w2 * q2.z,
                       w1 * q1.w + w2 * q2.w};
    } else {
        // Nearly opposite: turn through a quaternion perpendicular to q1.
        Quaternion p{-q1.y, q1.x, -q1.w, q1.z};
        const double halfPi = 1.5707963267948966;
        float w1 = static_cast<float>(std::sin((1.0 - t) * halfPi));
        float w2 = static_cast<float>(std::sin(t * halfPi));
        r = Quaternion{w1 * q1.x + w2 * p.x, w1 * q1.y + w2 * p.y, w1 * q1.z + w2 * p.z,
                       w1 * q1.w + w2 * p.w};
    }
    float lengthSq = r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w;
    if (1.0f - lengthSq > 0.0001f && lengthSq > 0.0f) {
        float k = 0.9999f / std::sqrt(lengthSq);
        r = Quaternion{r.x * k, r.y * k, r.z * k, r.w * k};
    }
    return r;
}

// ---- transforms ---------------------------------------------------------------------------

DVector Matrix_TransformPoint(const Vector& p, const Matrix& m) {
    double x = p.x, y = p.y, z = p.z;
    return DVector{x * m.right.x + y * m.up.x + z * m.front.x + m.posit.x,
                   x * m.right.y + y * m.up.y + z * m.front.y + m.posit.y,
                   x * m.right.z + y * m.up.z + z * m.front.z + m.posit.z};
}

const Vector* Matrix_TransformPoints(Vector* out, const Vector* in, int count, const Matrix& m) {
    for (int i = 0; i < count; ++i) {
        DVector w = Matrix_TransformPoint(in[i], m);
        out[i] = Vector{static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
    }
    return in + (count > 0 ? count : 0);
}

namespace {
Vector RotateRow(const Vector& row, const Matrix& b) {
    return Vector{row.x * b.right.x + row.y * b.up.x + row.z * b.front.x,
                  row.x * b.right.y + row.y * b.up.y + row.z * b.front.y,
                  row.x * b.right.z + row.y * b.up.z + row.z * b.front.z};
}
}  // namespace

void Matrix_Multiply(Matrix& out, const Matrix& a, const Matrix& b) {
    Matrix r;
    r.right = RotateRow(a.right, b);
    r.up = RotateRow(a.up, b);
    r.front = RotateRow(a.front, b);
    const DVector& p = a.posit;
    r.posit = DVector{p.x * b.right.x + p.y * b.up.x + p.z * b.front.x + b.posit.x,
                      p.x * b.right.y + p.y * b.up.y + p.z * b.front.y + b.posit.y,
                      p.x * b.right.z + p.y * b.up.z + p.z * b.front.z + b.posit.z};
    out = r;
}

void Matrix_Invert(Matrix& out, const Matrix& m) {
    Matrix r;
    r.right = {m.right.x, m.up.x, m.front.x};
    r.up = {m.right.y, m.up.y, m.front.y};
    r.front = {m.right.z, m.up.z, m.front.z};
    const DVector& p = m.posit;
    r.posit = DVector{-(m.right.x * p.x + m.right.y * p.y + m.right.z * p.z),
                      -(m.up.x * p.x + m.up.y * p.y + m.up.z * p.z),
                      -(m.front.x * p.x + m.front.y * p.y + m.front.z * p.z)};
    out = r;
}

void Plane_Transform(Plane& out, const Plane& plane, const Matrix& m) {
    Vector n = RotateRow(plane.normal, m);
    double along = n.x * m.posit.x + n.y * m.posit.y + n.z * m.posit.z;
    out.d = static_cast<float>(plane.d - along);
    out.normal = n;
}

void Plane_TransformB(Plane& out, const Plane& plane, const Matrix& m) { Plane_Transform(out, plane, m); }

Plane Plane_FromPoints(const Vector& a, const Vector& b, const Vector& c) {
    Plane p;
    p.normal = Vec3_TriangleNormal(a, b, c);
    p.d = -Vec3_Dot(p.normal, a);
    return p;
}

int Matrix_ShadowProjection(Matrix& out, const Plane& plane, const Vector& v) {
    const Vector& n = plane.normal;
    float nv = Vec3_Dot(n, v);
    if (!(nv >= 0.1f)) return 0;
    // p' = p - v * (n . p + d) / (n . v): each axis loses the part of v its height above the
    // plane calls for, and the origin drops along v onto the plane.
    float kx = n.x / nv, ky = n.y / nv, kz = n.z / nv;
    Matrix m = kIdentityMatrix;
    m.right = {1.0f - v.x * kx, -v.y * kx, -v.z * kx};
    m.up = {-v.x * ky, 1.0f - v.y * ky, -v.z * ky};
    m.front = {-v.x * kz, -v.y * kz, 1.0f - v.z * kz};
    double kd = static_cast<double>(plane.d) / nv;
    m.posit = {-v.x * kd, -v.y * kd, -v.z * kd};
    out = m;
    return 1;
}

// ---- scalar helpers -----------------------------------------------------------------------

float Math_Atan2(float x, float y) {
    return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

float Math_Acos(float x) {
    double xd = x;
    double rest = 1.0 - xd * xd;
    return static_cast<float>(std::atan2(std::sqrt(rest > 0.0 ? rest : 0.0), xd));
}

void Math_SinCos(float a, float& s, float& c) {
    s = Sin(a);
    c = Cos(a);
}

namespace {
uint16_t RoundingBitsNow() {
    switch (std::fegetround()) {
        case FE_DOWNWARD: return kFpuRoundDown;
        case FE_UPWARD: return kFpuRoundUp;
        case FE_TOWARDZERO: return kFpuRoundZero;
        default: return kFpuRoundNearest;
    }
}
}  // namespace

uint16_t Fpu_SetRoundingMode(uint16_t mode) {
    // The default x87 word: all exceptions masked, extended precision, round to nearest.
    constexpr uint16_t kDefaultControlWord = 0x037F;
    uint16_t previous = static_cast<uint16_t>((kDefaultControlWord & ~kFpuRoundMask) | RoundingBitsNow());
    int round = FE_TONEAREST;
    switch (mode & kFpuRoundMask) {
        case kFpuRoundDown: round = FE_DOWNWARD; break;
        case kFpuRoundUp: round = FE_UPWARD; break;
        case kFpuRoundZero: round = FE_TOWARDZERO; break;
        default: break;
    }
    std::fesetround(round);
    return previous;
}

// Geometry shared by every subsystem: vectors, placement matrices with a double-precision
// position, planes, quaternions, rotation constructors and transforms, and the table-driven
// inverse square root.
//
// Conventions: y is up. A placement maps a local point p to the world point
//   p.x * right + p.y * up + p.z * front + posit
// and a direction the same way without posit. Placement rows are orthonormal, right x up = front.
// Functions that write through an out parameter accept out aliasing any input.
#pragma once
#include <cstddef>
#include <cstdint>

struct Vector {
    float x, y, z;
};

// A point or direction on the ground plane.
struct Vector2D {
    float x, z;
};

struct DVector {
    double x, y, z;
};

struct Matrix {
    Vector right;
    Vector up;
    Vector front;
    // Pads posit to 8 bytes. Its bytes travel with the 64-byte binary save form, so it is kept
    // (not left indeterminate) to make saving deterministic.
    uint32_t gap = 0;
    DVector posit;
};

// Points p on the plane satisfy normal . p + d = 0.
struct Plane {
    Vector normal;
    float d;
};

// x, y, z, w; a unit rotation.
struct Quaternion {
    float x, y, z, w;
};

static_assert(sizeof(Vector) == 12);
static_assert(sizeof(Vector2D) == 8);
static_assert(sizeof(DVector) == 24);
static_assert(sizeof(Plane) == 16);
static_assert(sizeof(Quaternion) == 16);
static_assert(sizeof(Matrix) == 64, "the binary save form of a Matrix is 64 bytes");
static_assert(offsetof(Matrix, up) == 12 && offsetof(Matrix, front) == 24);
static_assert(offsetof(Matrix, gap) == 36 && offsetof(Matrix, posit) == 40);

// Identity rows and zero position. Constructors that start from the identity copy it.
extern const Matrix kIdentityMatrix;

// The 64-byte binary save form: nine floats (right, up, front), the 4-byte gap, three doubles
// (posit), all little-endian.
constexpr size_t kMatrixSaveSize = 64;
void Matrix_WriteBytes(const Matrix& m, uint8_t out[kMatrixSaveSize]);
void Matrix_ReadBytes(const uint8_t in[kMatrixSaveSize], Matrix& m);

// ---- inverse square root ----------------------------------------------------------------
// Builds the 256-byte mantissa table. Also runs once while the program loads; calling it again
// rebuilds the same table.
void Math_InitInvSqrtTable();
const uint8_t* Math_GetInvSqrtTable();  // 256 entries
// 1 / sqrt(x) for positive x, relative error of the order of 1e-5.
double Math_InvSqrt(double x);

// ---- vectors ------------------------------------------------------------------------------
inline float Vec3_Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector Vec3_Sub(const Vector& a, const Vector& b) { return Vector{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector Vec3_Cross(const Vector& a, const Vector& b);
// v scaled to unit length through Math_InvSqrt; the zero vector when |v|^2 is not above 0.
Vector Vec3_Normalize(const Vector& v);
void Vec3_Normalize(Vector& out, const Vector& v);
// (right . v, up . v, front . v): a world direction expressed in the matrix's frame.
Vector Vec3_Unrotate(const Vector& v, const Matrix& m);
void Vec3_Unrotate(Vector& out, const Vector& v, const Matrix& m);
// normalise((b - a) x (c - a))
Vector Vec3_TriangleNormal(const Vector& a, const Vector& b, const Vector& c);
// along = direction * (point . direction) / (direction . direction); rest = point - along.
// A zero direction gives along = 0 and rest = point.
void Vec3_SplitAlong(const Vector& point, const Vector& direction, Vector& along, Vector& rest);

// ---- rotation constructors (radians; position zero unless stated) -------------------------
Matrix Matrix_RotationX(float a);
Matrix Matrix_RotationY(float a);
Matrix Matrix_RotationZ(float a);
Matrix Matrix_FromTwoAngles(float pitch, float yaw);
// With roll 0 equal to Matrix_FromTwoAngles; posit = (x, y, z).
Matrix Matrix_FromEuler(float pitch, float yaw, float roll, double x, double y, double z);
// The axis is taken as given (unit length expected).
Matrix Matrix_FromAxisAngle(float angle, float axisX, float axisY, float axisZ);
// up = normalise(up); right = normalise(up x front); front = right x up.
Matrix Matrix_FromFrontUp(const Vector& up, const Vector& front);
// front = normalise(direction); right from the world up (or (1, 0, 0) when looking nearly
// straight up or down); up = front x right.
Matrix Matrix_FromPositionDirection(const DVector& position, const Vector& direction);
// A rotation by angle about an axis drawn from the shared random table, inside a cone of about
// `spread` around the direction. Takes two values from the table.
Matrix Matrix_RandomRotation(float angle, float dirX, float dirY, float dirZ, float spread);

// ---- conversions --------------------------------------------------------------------------
Matrix Quaternion_ToMatrix(const Quaternion& q);
// Returns q or -q for a matrix built by Quaternion_ToMatrix(q).
Quaternion Matrix_ToQuaternion(const Matrix& m);
Quaternion Quaternion_Slerp(const Quaternion& q1, const Quaternion& q2, float t);

// ---- transforms ---------------------------------------------------------------------------
DVector Matrix_TransformPoint(const Vector& p, const Matrix& m);
// Transforms count points (results rounded to float); returns in + count. out may equal in.
const Vector* Matrix_TransformPoints(Vector* out, const Vector* in, int count, const Matrix& m);
// The placement of a within b: rows of a expressed through b, a's position carried by b.
void Matrix_Multiply(Matrix& out, const Matrix& a, const Matrix& b);
// Inverse of an orthonormal placement: rotation transposed, posit = -(right . p, up . p,
// front . p).
void Matrix_Invert(Matrix& out, const Matrix& m);
// normal' = the normal rotated by m; d' = d - normal' . posit.
void Plane_Transform(Plane& out, const Plane& plane, const Matrix& m);
void Plane_TransformB(Plane& out, const Plane& plane, const Matrix& m);
// normal = normalise((b - a) x (c - a)), d = -(normal . a).
Plane Plane_FromPoints(const Vector& a, const Vector& b, const Vector& c);
// The matrix that projects points along v onto the plane. Returns 0 and leaves out untouched
// when normal . v is below 0.1, else 1.
int Matrix_ShadowProjection(Matrix& out, const Plane& plane, const Vector& v);

// ---- scalar helpers -----------------------------------------------------------------------
float Math_Atan2(float x, float y);  // atan2(y, x)
// atan2(sqrt(1 - x^2), x); arguments just outside -1..1 (rounding) give 0 or pi, never NaN.
float Math_Acos(float x);
void Math_SinCos(float a, float& s, float& c);

// x87-style control word rounding bits.
constexpr uint16_t kFpuRoundNearest = 0x0000;
constexpr uint16_t kFpuRoundDown = 0x0400;
constexpr uint16_t kFpuRoundUp = 0x0800;
constexpr uint16_t kFpuRoundZero = 0x0C00;
constexpr uint16_t kFpuRoundMask = 0x0C00;
// Switches the rounding mode to the rounding bits of `mode` and returns the previous control
// word (default x87 word 0x037F with the current rounding bits), which the caller passes back
// to restore. Prefer explicit floor / lround / nearbyint in new code.
uint16_t Fpu_SetRoundingMode(uint16_t mode);

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/helpers.h"
#include "core/mathlib.h"
#include "core/shake.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// A small deterministic generator for test inputs (independent of the game's generator).
struct TestRng {
    uint32_t s;
    explicit TestRng(uint32_t seed) : s(seed) {}
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float Uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next() % 1000001u) / 1000000.0f; }
};

Matrix RandomPlacement(TestRng& rng) {
    Matrix m = Matrix_FromEuler(rng.Uniform(-3, 3), rng.Uniform(-3, 3), rng.Uniform(-3, 3), rng.Uniform(-1e5f, 1e5f),
                                rng.Uniform(-100, 100), rng.Uniform(-1e5f, 1e5f));
    return m;
}

Quaternion RandomUnitQuaternion(TestRng& rng) {
    Quaternion q;
    float len;
    do {
        q = Quaternion{rng.Uniform(-1, 1), rng.Uniform(-1, 1), rng.Uniform(-1, 1), rng.Uniform(-1, 1)};
        len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    } while (len < 0.2f || len > 1.0f);
    return Quaternion{q.x / len, q.y / len, q.z / len, q.w / len};
}

void ExpectVecNear(const Vector& a, const Vector& b, float tol, const char* what = "") {
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float rowTol, double positTol) {
    ExpectVecNear(a.right, b.right, rowTol, "right");
    ExpectVecNear(a.up, b.up, rowTol, "up");
    ExpectVecNear(a.front, b.front, rowTol, "front");
    EXPECT_NEAR(a.posit.x, b.posit.x, positTol);
    EXPECT_NEAR(a.posit.y, b.posit.y, positTol);
    EXPECT_NEAR(a.posit.z, b.posit.z, positTol);
}

// Rows of unit length, mutually perpendicular, right x up = front.
void ExpectOrthonormal(const Matrix& m, float tol) {
    EXPECT_NEAR(Vec3_Dot(m.right, m.right), 1.0f, tol);
    EXPECT_NEAR(Vec3_Dot(m.up, m.up), 1.0f, tol);
    EXPECT_NEAR(Vec3_Dot(m.front, m.front), 1.0f, tol);
    EXPECT_NEAR(Vec3_Dot(m.right, m.up), 0.0f, tol);
    EXPECT_NEAR(Vec3_Dot(m.right, m.front), 0.0f, tol);
    EXPECT_NEAR(Vec3_Dot(m.up, m.front), 0.0f, tol);
    ExpectVecNear(Vec3_Cross(m.right, m.up), m.front, tol, "right x up");
}

bool SameMatrix(const Matrix& a, const Matrix& b) {
    uint8_t x[64], y[64];
    Matrix_WriteBytes(a, x);
    Matrix_WriteBytes(b, y);
    return std::memcmp(x, y, 64) == 0;
}

// ---- inverse square root ----

TEST(InvSqrt, TableHoldsRoundedTopMantissaBits) {
    const uint8_t* table = Math_GetInvSqrtTable();
    // 1/sqrt(0.5) = 1.41421 -> .41421 * 256 = 106.04; 1/sqrt(1 + 127/128) = 0.70848 -> 106.7 rounds down
    // through the +1024 bias at the 12th bit; argument 1.0 is the special entry.
    EXPECT_EQ(table[0], 106);
    EXPECT_EQ(table[1], 104);
    EXPECT_EQ(table[127], 0);
    EXPECT_EQ(table[128], 255);
    EXPECT_EQ(table[129], 254);
    EXPECT_EQ(table[255], 106);
    // Rebuilding gives the same table.
    std::vector<uint8_t> before(table, table + 256);
    Math_InitInvSqrtTable();
    EXPECT_EQ(std::vector<uint8_t>(table, table + 256), before);
}

TEST(InvSqrt, RelativeErrorOfTheOrderOf1e5AcrossMantissasAndExponents) {
    double worst = 0.0;
    // Every table index in both exponent parities, across a wide span of magnitudes.
    for (int e = -60; e <= 60; ++e) {
        for (int step = 0; step < 512; ++step) {
            double x = std::ldexp(1.0 + step / 512.0, e);
            double rel = std::fabs(Math_InvSqrt(x) * std::sqrt(x) - 1.0);
            if (rel > worst) worst = rel;
        }
    }
    EXPECT_LT(worst, 2e-5);
    EXPECT_NEAR(Math_InvSqrt(4.0), 0.5, 0.5 * 2e-5);
    EXPECT_NEAR(Math_InvSqrt(1.0), 1.0, 2e-5);
    EXPECT_NEAR(Math_InvSqrt(1e-300) * 1e-150, 1.0, 2e-5);
}

TEST(Normalize, EdgeCasesAndMagnitudes) {
    ExpectVecNear(Vec3_Normalize(Vector{0, 0, 0}), Vector{0, 0, 0}, 0.0f);
    ExpectVecNear(Vec3_Normalize(Vector{3, 0, 4}), Vector{0.6f, 0, 0.8f}, 1e-4f);
    // Squared lengths that overflow or underflow a float still normalise.
    ExpectVecNear(Vec3_Normalize(Vector{3e30f, 0, -4e30f}), Vector{0.6f, 0, -0.8f}, 1e-4f);
    ExpectVecNear(Vec3_Normalize(Vector{0, 3e-30f, 4e-30f}), Vector{0, 0.6f, 0.8f}, 1e-4f);
    Vector v{1, 2, 3};
    Vec3_Normalize(v, v);  // in place
    EXPECT_NEAR(Vec3_Dot(v, v), 1.0f, 5e-5f);
}

// ---- constructors ----

TEST(Rotation, ConstructorsGiveOrthonormalPlacements) {
    TestRng rng(11);
    for (int i = 0; i < 200; ++i) {
        float p = rng.Uniform(-7, 7), y = rng.Uniform(-7, 7), r = rng.Uniform(-7, 7);
        SCOPED_TRACE(i);
        ExpectOrthonormal(Matrix_RotationX(p), 1e-6f);
        ExpectOrthonormal(Matrix_RotationY(y), 1e-6f);
        ExpectOrthonormal(Matrix_RotationZ(r), 1e-6f);
        ExpectOrthonormal(Matrix_FromTwoAngles(p, y), 1e-6f);
        ExpectOrthonormal(Matrix_FromEuler(p, y, r, 0, 0, 0), 1e-6f);
    }
}

TEST(Rotation, NamedAnglesGiveTheDocumentedRows) {
    const float h = kPi / 2;
    Matrix y = Matrix_RotationY(h);  // turns right to -z, front to +x
    ExpectVecNear(y.right, Vector{0, 0, -1}, 1e-6f);
    ExpectVecNear(y.front, Vector{1, 0, 0}, 1e-6f);
    Matrix x = Matrix_RotationX(h);  // up turns to +z
    ExpectVecNear(x.up, Vector{0, 0, 1}, 1e-6f);
    ExpectVecNear(x.front, Vector{0, -1, 0}, 1e-6f);
    Matrix z = Matrix_RotationZ(h);  // right turns to +y
    ExpectVecNear(z.right, Vector{0, 1, 0}, 1e-6f);
    ExpectVecNear(z.up, Vector{-1, 0, 0}, 1e-6f);
    for (const Matrix& m : {x, y, z}) {
        EXPECT_EQ(m.posit.x, 0.0);
        EXPECT_EQ(m.posit.y, 0.0);
        EXPECT_EQ(m.posit.z, 0.0);
    }
}

TEST(Rotation, EulerIsRollWithinPitchWithinYawAndMatchesTwoAnglesWithoutRoll) {
    TestRng rng(5);
    for (int i = 0; i < 100; ++i) {
        float p = rng.Uniform(-3, 3), y = rng.Uniform(-3, 3), r = rng.Uniform(-3, 3);
        Matrix e = Matrix_FromEuler(p, y, r, 1.5, -2.0, 1e6);
        Matrix composed;
        Matrix_Multiply(composed, Matrix_RotationZ(r), Matrix_RotationX(p));
        Matrix_Multiply(composed, composed, Matrix_RotationY(y));
        composed.posit = DVector{1.5, -2.0, 1e6};
        ExpectMatrixNear(e, composed, 2e-6f, 0.0);

        // Equal values (a zero may differ in sign).
        ExpectMatrixNear(Matrix_FromEuler(p, y, 0.0f, 0, 0, 0), Matrix_FromTwoAngles(p, y), 0.0f, 0.0);
    }
}

TEST(Rotation, AxisAngleTurnsTheOppositeWayToTheAxisConstructors) {
    // The quaternion matrix form is the transpose of the row form of the same turn, so a turn
    // of a about an axis matches the axis constructor of -a.
    for (float a : {0.3f, -1.2f, 2.9f}) {
        ExpectMatrixNear(Matrix_FromAxisAngle(a, 1, 0, 0), Matrix_RotationX(-a), 2e-6f, 0.0);
        ExpectMatrixNear(Matrix_FromAxisAngle(a, 0, 1, 0), Matrix_RotationY(-a), 2e-6f, 0.0);
        ExpectMatrixNear(Matrix_FromAxisAngle(a, 0, 0, 1), Matrix_RotationZ(-a), 2e-6f, 0.0);
    }
    // The axis itself is left in place.
    Vector axis = Vec3_Normalize(Vector{1, 2, -2});
    Matrix m = Matrix_FromAxisAngle(0.7f, axis.x, axis.y, axis.z);
    DVector turned = Matrix_TransformPoint(axis, m);
    ExpectVecNear(Vector{float(turned.x), float(turned.y), float(turned.z)}, axis, 1e-6f);
}

TEST(Rotation, FrontUpAndPositionDirection) {
    Matrix fu = Matrix_FromFrontUp(Vector{0, 2, 0}, Vector{0, 0, 5});
    ExpectMatrixNear(fu, kIdentityMatrix, 3e-5f, 0.0);
    // A tilted up and a front not perpendicular to it: up is kept, front is made perpendicular.
    Matrix tilted = Matrix_FromFrontUp(Vector{0.2f, 1, 0.1f}, Vector{0.3f, 0.2f, 1});
    ExpectOrthonormal(tilted, 5e-5f);
    ExpectVecNear(tilted.up, Vec3_Normalize(Vector{0.2f, 1, 0.1f}), 1e-6f);

    Matrix down = Matrix_FromPositionDirection(DVector{1, 2, 3}, Vector{0, -1, 0});
    ExpectVecNear(down.right, Vector{1, 0, 0}, 0.0f);
    ExpectVecNear(down.front, Vector{0, -1, 0}, 1e-5f);
    ExpectVecNear(down.up, Vector{0, 0, 1}, 1e-5f);
    EXPECT_EQ(down.posit.z, 3.0);

    Matrix ahead = Matrix_FromPositionDirection(DVector{0, 0, 0}, Vector{0, 0, 3});
    ExpectMatrixNear(ahead, kIdentityMatrix, 3e-5f, 0.0);

    // Random directions, and directions close to straight up or down.
    TestRng rng(3);
    for (int i = 0; i < 200; ++i) {
        Vector d{rng.Uniform(-1, 1), rng.Uniform(-1, 1), rng.Uniform(-1, 1)};
        if (i % 2) d = Vector{d.x * 0.1f, i % 4 == 1 ? 1.0f : -1.0f, d.z * 0.1f};
        if (Vec3_Dot(d, d) < 0.01f) continue;
        Matrix m = Matrix_FromPositionDirection(DVector{0, 0, 0}, d);
        ExpectOrthonormal(m, 5e-5f);
        ExpectVecNear(m.front, Vec3_Normalize(d), 1e-6f);
    }
}

// The rotation axis of an orthonormal matrix (through its quaternion) and its turn angle.
void AxisOf(const Matrix& m, Vector& axis, float& angle) {
    Quaternion q = Matrix_ToQuaternion(m);
    if (q.w < 0) q = Quaternion{-q.x, -q.y, -q.z, -q.w};
    float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    axis = Vector{q.x / s, q.y / s, q.z / s};
    angle = 2.0f * std::atan2(s, q.w);
}

TEST(Rotation, RandomRotationAxisStaysInTheConeAndUsesTwoTableValues) {
    int seed = 1;
    Random_FillTableFrom([]() -> int {
        static uint32_t s = 12345;
        s = s * 1103515245u + 12345u;
        return static_cast<int>((s >> 16) & 0x7FFF);
    });
    (void)seed;
    const float spread = 0.3f;
    const Vector directions[] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {0.6f, 0.0f, -0.8f}, {0.36f, 0.48f, 0.8f}};
    for (const Vector& d : directions) {
        for (int i = 0; i < 40; ++i) {
            uint8_t before = RandomTable_GetIndex();
            Matrix m = Matrix_RandomRotation(0.5f, d.x, d.y, d.z, spread);
            EXPECT_EQ(static_cast<uint8_t>(before + 2), RandomTable_GetIndex());
            ExpectOrthonormal(m, 1e-5f);
            Vector axis;
            float angle;
            AxisOf(m, axis, angle);
            EXPECT_NEAR(angle, 0.5f, 1e-4f);
            // The axis (up to sign, as the turn direction is the constructor's) lies within the
            // spread of the direction.
            float c = std::fabs(Vec3_Dot(axis, d));
            EXPECT_GE(c, std::cos(spread) - 1e-4f) << d.x << "," << d.y << "," << d.z;
        }
    }
}

// ---- conversions ----

TEST(Quaternion, MatrixRoundTripGivesQOrMinusQ) {
    TestRng rng(21);
    std::vector<Quaternion> cases = {
        {0, 0, 0, 1}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, -1}, {0.5f, 0.5f, 0.5f, 0.5f},
        {0.70710677f, 0, 0, -0.70710677f}, {0, -0.6f, 0.8f, 0},
    };
    for (int i = 0; i < 300; ++i) cases.push_back(RandomUnitQuaternion(rng));
    for (const Quaternion& q : cases) {
        Matrix m = Quaternion_ToMatrix(q);
        ExpectOrthonormal(m, 2e-6f);
        Quaternion r = Matrix_ToQuaternion(m);
        float sign = (r.x * q.x + r.y * q.y + r.z * q.z + r.w * q.w) < 0 ? -1.0f : 1.0f;
        EXPECT_NEAR(r.x * sign, q.x, 2e-6f);
        EXPECT_NEAR(r.y * sign, q.y, 2e-6f);
        EXPECT_NEAR(r.z * sign, q.z, 2e-6f);
        EXPECT_NEAR(r.w * sign, q.w, 2e-6f);
    }
}

TEST(Quaternion, SlerpEndsMidpointAndBranches) {
    Quaternion q1{0, 0, 0, 1};
    Quaternion q2{0, std::sin(0.5f), 0, std::cos(0.5f)};  // a turn of 1 radian about y
    Quaternion a = Quaternion_Slerp(q1, q2, 0.0f);
    Quaternion b = Quaternion_Slerp(q1, q2, 1.0f);
    EXPECT_NEAR(a.w, 1.0f, 1e-6f);
    EXPECT_NEAR(a.y, 0.0f, 1e-6f);
    EXPECT_NEAR(b.y, q2.y, 1e-6f);
    EXPECT_NEAR(b.w, q2.w, 1e-6f);
    Quaternion mid = Quaternion_Slerp(q1, q2, 0.5f);
    EXPECT_NEAR(mid.y, std::sin(0.25f), 1e-6f);
    EXPECT_NEAR(mid.w, std::cos(0.25f), 1e-6f);

    // Equal ends take the linear branch and give the same rotation for every t.
    Quaternion q{0.5f, -0.5f, 0.5f, 0.5f};
    for (float t : {0.0f, 0.25f, 0.9f, 1.0f}) {
        Quaternion r = Quaternion_Slerp(q, q, t);
        EXPECT_NEAR(r.x, q.x, 1e-6f);
        EXPECT_NEAR(r.w, q.w, 1e-6f);
    }

    // A result shorter than 0.9999 is lengthened to 0.9999.
    Quaternion shortQ{0.5f, 0, 0, 0};
    Quaternion s = Quaternion_Slerp(shortQ, shortQ, 0.0f);
    EXPECT_NEAR(s.x, 0.9999f, 1e-6f);
}

TEST(Quaternion, SlerpOfOppositeEndsStaysAUnitRotation) {
    TestRng rng(8);
    for (int i = 0; i < 50; ++i) {
        Quaternion q = RandomUnitQuaternion(rng);
        Quaternion opposite{-q.x, -q.y, -q.z, -q.w};
        for (float t : {0.0f, 0.3f, 0.5f, 1.0f}) {
            Quaternion r = Quaternion_Slerp(q, opposite, t);
            float len = r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w;
            EXPECT_NEAR(len, 1.0f, 1e-4f) << "t " << t;
        }
        Quaternion start = Quaternion_Slerp(q, opposite, 0.0f);
        EXPECT_NEAR(start.x, q.x, 1e-6f);
        EXPECT_NEAR(start.w, q.w, 1e-6f);
    }
}

// ---- transforms ----

TEST(Transform, MultiplyByIdentityAndAliasing) {
    TestRng rng(2);
    for (int i = 0; i < 20; ++i) {
        Matrix a = RandomPlacement(rng);
        Matrix out;
        Matrix_Multiply(out, a, kIdentityMatrix);
        EXPECT_TRUE(SameMatrix(out, a));
        Matrix_Multiply(out, kIdentityMatrix, a);
        EXPECT_TRUE(SameMatrix(out, a));

        Matrix b = RandomPlacement(rng);
        Matrix expected;
        Matrix_Multiply(expected, a, b);
        Matrix inPlaceA = a, inPlaceB = b;
        Matrix_Multiply(inPlaceA, inPlaceA, b);
        Matrix_Multiply(inPlaceB, a, inPlaceB);
        EXPECT_TRUE(SameMatrix(inPlaceA, expected));
        EXPECT_TRUE(SameMatrix(inPlaceB, expected));
    }
}

TEST(Transform, MultiplyComposesTransformsAndInvertUndoesThem) {
    TestRng rng(9);
    for (int i = 0; i < 100; ++i) {
        Matrix local = RandomPlacement(rng), parent = RandomPlacement(rng), grand = RandomPlacement(rng);
        Vector p{rng.Uniform(-50, 50), rng.Uniform(-50, 50), rng.Uniform(-50, 50)};
        Matrix world;
        Matrix_Multiply(world, local, parent);
        DVector inLocal = Matrix_TransformPoint(p, local);
        DVector viaParent = Matrix_TransformPoint(Vector{float(inLocal.x), float(inLocal.y), float(inLocal.z)}, parent);
        DVector direct = Matrix_TransformPoint(p, world);
        EXPECT_NEAR(direct.x, viaParent.x, 0.05);
        EXPECT_NEAR(direct.y, viaParent.y, 0.05);
        EXPECT_NEAR(direct.z, viaParent.z, 0.05);

        // Associativity within rounding.
        Matrix ab_c, a_bc, bc;
        Matrix_Multiply(ab_c, world, grand);
        Matrix_Multiply(bc, parent, grand);
        Matrix_Multiply(a_bc, local, bc);
        ExpectMatrixNear(ab_c, a_bc, 1e-5f, 0.1);

        // Inverse on both sides gives the identity.
        Matrix inv, id1, id2;
        Matrix_Invert(inv, world);
        Matrix_Multiply(id1, world, inv);
        Matrix_Multiply(id2, inv, world);
        ExpectMatrixNear(id1, kIdentityMatrix, 1e-5f, 0.1);
        ExpectMatrixNear(id2, kIdentityMatrix, 1e-5f, 0.1);
        Matrix twice;
        Matrix_Invert(twice, inv);
        ExpectMatrixNear(twice, world, 1e-6f, 0.05);
        Matrix self = world;
        Matrix_Invert(self, self);
        EXPECT_TRUE(SameMatrix(self, inv));
    }
}

TEST(Transform, PositionKeepsDoublePrecision) {
    Matrix m = kIdentityMatrix;
    m.posit = DVector{16777216.0, 0.0, -33554432.0};  // 2^24 and 2^25: beyond float's unit steps
    DVector p = Matrix_TransformPoint(Vector{0.25f, 0.5f, 0.75f}, m);
    EXPECT_EQ(p.x, 16777216.25);
    EXPECT_EQ(p.z, -33554431.25);
    Matrix child = kIdentityMatrix;
    child.posit = DVector{0.125, 0, 0};
    Matrix out;
    Matrix_Multiply(out, child, m);
    EXPECT_EQ(out.posit.x, 16777216.125);
}

TEST(Transform, TransformPointsMatchesSinglePointsAndReturnsTheEnd) {
    TestRng rng(4);
    Matrix m = RandomPlacement(rng);
    m.posit = DVector{10, 20, 30};
    std::vector<Vector> in(7);
    for (Vector& v : in) v = Vector{rng.Uniform(-5, 5), rng.Uniform(-5, 5), rng.Uniform(-5, 5)};
    std::vector<Vector> out(7);
    EXPECT_EQ(Matrix_TransformPoints(out.data(), in.data(), 7, m), in.data() + 7);
    for (int i = 0; i < 7; ++i) {
        DVector d = Matrix_TransformPoint(in[i], m);
        EXPECT_EQ(out[i].x, float(d.x));
        EXPECT_EQ(out[i].y, float(d.y));
        EXPECT_EQ(out[i].z, float(d.z));
    }
    std::vector<Vector> same = in;
    Matrix_TransformPoints(same.data(), same.data(), 7, m);  // in place
    for (int i = 0; i < 7; ++i) EXPECT_EQ(same[i].x, out[i].x);
    EXPECT_EQ(Matrix_TransformPoints(out.data(), in.data(), 0, m), in.data());
}

TEST(Transform, UnrotateUndoesTheRotation) {
    TestRng rng(6);
    for (int i = 0; i < 50; ++i) {
        Matrix m = RandomPlacement(rng);
        Vector local{rng.Uniform(-3, 3), rng.Uniform(-3, 3), rng.Uniform(-3, 3)};
        Vector world{local.x * m.right.x + local.y * m.up.x + local.z * m.front.x,
                     local.x * m.right.y + local.y * m.up.y + local.z * m.front.y,
                     local.x * m.right.z + local.y * m.up.z + local.z * m.front.z};
        ExpectVecNear(Vec3_Unrotate(world, m), local, 1e-5f);
        Vector out;
        Vec3_Unrotate(out, world, m);
        ExpectVecNear(out, local, 1e-5f);
    }
}

TEST(Planes, FromPointsAndTransformKeepPointsOnThePlane) {
    Plane ground = Plane_FromPoints(Vector{0, 2, 0}, Vector{1, 2, 0}, Vector{0, 2, 1});
    // (b - a) x (c - a) = x-axis x z-axis = -y.
    ExpectVecNear(ground.normal, Vector{0, -1, 0}, 1e-5f);
    EXPECT_NEAR(ground.d, 2.0f, 1e-4f);
    ExpectVecNear(Vec3_TriangleNormal(Vector{0, 0, 0}, Vector{0, 0, 1}, Vector{1, 0, 0}), Vector{0, 1, 0}, 1e-5f);

    TestRng rng(12);
    for (int i = 0; i < 50; ++i) {
        Vector a{rng.Uniform(-9, 9), rng.Uniform(-9, 9), rng.Uniform(-9, 9)};
        Vector b{rng.Uniform(-9, 9), rng.Uniform(-9, 9), rng.Uniform(-9, 9)};
        Vector c{rng.Uniform(-9, 9), rng.Uniform(-9, 9), rng.Uniform(-9, 9)};
        Plane p = Plane_FromPoints(a, b, c);
        if (Vec3_Dot(p.normal, p.normal) < 0.5f) continue;  // degenerate triangle
        for (const Vector& v : {a, b, c}) EXPECT_NEAR(Vec3_Dot(p.normal, v) + p.d, 0.0f, 1e-3f);

        Matrix m = RandomPlacement(rng);
        m.posit = DVector{rng.Uniform(-100, 100), rng.Uniform(-100, 100), rng.Uniform(-100, 100)};
        Plane moved, movedB;
        Plane_Transform(moved, p, m);
        Plane_TransformB(movedB, p, m);
        EXPECT_EQ(moved.d, movedB.d);
        for (const Vector& v : {a, b, c}) {
            DVector w = Matrix_TransformPoint(v, m);
            double side = moved.normal.x * w.x + moved.normal.y * w.y + moved.normal.z * w.z + moved.d;
            EXPECT_NEAR(side, 0.0, 5e-3);
        }
        Plane inPlace = p;
        Plane_Transform(inPlace, inPlace, m);
        EXPECT_EQ(inPlace.d, moved.d);
    }
}

TEST(Planes, ShadowProjectionDropsPointsAlongTheDirection) {
    Plane ground{{0, 1, 0}, -1.0f};  // y = 1
    Matrix sentinel = Matrix_RotationY(0.4f);
    Matrix out = sentinel;
    EXPECT_EQ(Matrix_ShadowProjection(out, ground, Vector{1, 0.05f, 0}), 0);
    EXPECT_TRUE(SameMatrix(out, sentinel));
    EXPECT_EQ(Matrix_ShadowProjection(out, ground, Vector{1, -1, 0}), 0);

    Vector v{0.3f, 1.0f, -0.2f};
    ASSERT_EQ(Matrix_ShadowProjection(out, ground, v), 1);
    TestRng rng(14);
    for (int i = 0; i < 30; ++i) {
        Vector p{rng.Uniform(-20, 20), rng.Uniform(-20, 20), rng.Uniform(-20, 20)};
        DVector s = Matrix_TransformPoint(p, out);
        EXPECT_NEAR(s.y, 1.0, 1e-4);
        // The move from p to its shadow runs along v.
        Vector move{float(s.x - p.x), float(s.y - p.y), float(s.z - p.z)};
        Vector cross = Vec3_Cross(move, v);
        EXPECT_NEAR(Vec3_Dot(cross, cross), 0.0f, 1e-4f);
    }
}

TEST(Vectors, SplitAlongSeparatesTheParts) {
    Vector along, rest;
    Vec3_SplitAlong(Vector{3, 4, 5}, Vector{0, 2, 0}, along, rest);
    ExpectVecNear(along, Vector{0, 4, 0}, 1e-6f);
    ExpectVecNear(rest, Vector{3, 0, 5}, 1e-6f);
    // A zero direction has nothing along it (no division by zero).
    Vec3_SplitAlong(Vector{3, 4, 5}, Vector{0, 0, 0}, along, rest);
    ExpectVecNear(along, Vector{0, 0, 0}, 0.0f);
    ExpectVecNear(rest, Vector{3, 4, 5}, 0.0f);
    // Outputs may alias the input.
    Vector p{1, 1, 0};
    Vec3_SplitAlong(p, Vector{1, 0, 0}, along, p);
    ExpectVecNear(p, Vector{0, 1, 0}, 1e-6f);
}

// ---- scalars ----

TEST(Scalars, AngleHelpers) {
    EXPECT_NEAR(Math_Atan2(0.0f, 1.0f), kPi / 2, 1e-6f);  // atan2(y = 1, x = 0)
    EXPECT_NEAR(Math_Atan2(-1.0f, 0.0f), kPi, 1e-6f);
    EXPECT_NEAR(Math_Acos(0.0f), kPi / 2, 1e-6f);
    EXPECT_NEAR(Math_Acos(0.5f), std::acos(0.5f), 1e-6f);
    EXPECT_NEAR(Math_Acos(-1.0f), kPi, 1e-6f);
    // A dot product of unit vectors that rounds past 1 gives 0 or pi, not NaN.
    EXPECT_EQ(Math_Acos(1.0000001f), 0.0f);
    EXPECT_NEAR(Math_Acos(-1.0000001f), kPi, 1e-6f);
    float s, c;
    Math_SinCos(kPi / 6, s, c);
    EXPECT_NEAR(s, 0.5f, 1e-6f);
    EXPECT_NEAR(c, std::sqrt(3.0f) / 2, 1e-6f);
}

TEST(Scalars, RoundingModeSwitchAndRestore) {
    volatile double half = 2.5, negHalf = -2.5, more = 2.6;
    uint16_t previous = Fpu_SetRoundingMode(kFpuRoundDown);
    EXPECT_EQ(previous & kFpuRoundMask, kFpuRoundNearest);
    EXPECT_EQ(std::nearbyint(half), 2.0);
    EXPECT_EQ(std::nearbyint(negHalf), -3.0);
    EXPECT_EQ(std::nearbyint(more), 2.0);
    uint16_t down = Fpu_SetRoundingMode(kFpuRoundUp | 0x0300);  // other bits ignored
    EXPECT_EQ(down, 0x077F);
    EXPECT_EQ(std::nearbyint(half), 3.0);
    uint16_t up = Fpu_SetRoundingMode(previous);
    EXPECT_EQ(up & kFpuRoundMask, kFpuRoundUp);
    EXPECT_EQ(std::nearbyint(half), 2.0);  // to nearest, halves to even
    EXPECT_EQ(std::nearbyint(more), 3.0);
}

// ---- save form ----

TEST(SaveForm, SixtyFourBytesInFieldOrderLittleEndian) {
    Matrix m = kIdentityMatrix;
    m.right = {1.5f, -2.0f, 0.25f};
    m.up = {3.0f, 4.0f, 5.0f};
    m.front = {6.0f, 7.0f, -0.0f};
    m.gap = 0xA1B2C3D4u;
    m.posit = {1.0, -2.0, 1e100};
    uint8_t bytes[kMatrixSaveSize];
    std::memset(bytes, 0xEE, sizeof bytes);
    Matrix_WriteBytes(m, bytes);
    const uint8_t rightX[4] = {0x00, 0x00, 0xC0, 0x3F};  // 1.5f
    EXPECT_EQ(std::memcmp(bytes + 0, rightX, 4), 0);
    const uint8_t rightY[4] = {0x00, 0x00, 0x00, 0xC0};  // -2.0f
    EXPECT_EQ(std::memcmp(bytes + 4, rightY, 4), 0);
    const uint8_t upX[4] = {0x00, 0x00, 0x40, 0x40};  // 3.0f at byte 12
    EXPECT_EQ(std::memcmp(bytes + 12, upX, 4), 0);
    const uint8_t frontX[4] = {0x00, 0x00, 0xC0, 0x40};  // 6.0f at byte 24
    EXPECT_EQ(std::memcmp(bytes + 24, frontX, 4), 0);
    const uint8_t frontZ[4] = {0x00, 0x00, 0x00, 0x80};  // -0.0f at byte 32
    EXPECT_EQ(std::memcmp(bytes + 32, frontZ, 4), 0);
    const uint8_t gap[4] = {0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(std::memcmp(bytes + 36, gap, 4), 0);
    const uint8_t positX[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};  // 1.0 at byte 40
    EXPECT_EQ(std::memcmp(bytes + 40, positX, 8), 0);
    const uint8_t positY[8] = {0, 0, 0, 0, 0, 0, 0x00, 0xC0};  // -2.0 at byte 48
    EXPECT_EQ(std::memcmp(bytes + 48, positY, 8), 0);

    Matrix back;
    Matrix_ReadBytes(bytes, back);
    uint8_t again[kMatrixSaveSize];
    Matrix_WriteBytes(back, again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
    EXPECT_EQ(back.gap, 0xA1B2C3D4u);
    EXPECT_EQ(back.posit.z, 1e100);
    EXPECT_TRUE(std::signbit(back.front.z));

    // A fresh matrix saves a zero gap.
    Matrix fresh = Matrix_RotationY(1.0f);
    Matrix_WriteBytes(fresh, bytes);
    EXPECT_EQ(bytes[36] | bytes[37] | bytes[38] | bytes[39], 0);
}

}  // namespace

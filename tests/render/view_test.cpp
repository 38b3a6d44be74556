#include <gtest/gtest.h>

#include <cmath>

#include "Objkr/entity.h"
#include "core/mathlib.h"
#include "render/view.h"

namespace {

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override { Graphic_InitBuffer(&buffer, 640, 480, nullptr, kGraphicFormat8); }
    void TearDown() override { Graphic_FreeBuffer(&buffer); }
    RenderView& Default() {
        View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        return view;
    }
    GraphicBuffer buffer;
    RenderView view;
};

TEST_F(ViewTest, InitClampsFieldOfViewFarDistanceAndZoom) {
    struct Case {
        float fov, far, zoom;
        float wantFov, wantFar, wantZoom;
    };
    const Case cases[] = {
        {0.1f, 50.0f, 0.2f, kViewFovMin, 100.0f, 0.5f},
        {3.0f, 5000.0f, 500.0f, kViewFovMax, 1640.0f, 100.0f},
        {1.0f, 700.0f, 2.0f, 1.0f, 700.0f, 2.0f},
        {NAN, NAN, NAN, kViewFovMin, 100.0f, 0.5f},
    };
    for (const Case& c : cases) {
        View_Init(&view, &buffer, c.fov, 1.0f, c.far, c.zoom);
        EXPECT_FLOAT_EQ(view.fieldOfView, c.wantFov) << c.fov;
        EXPECT_FLOAT_EQ(view.farDistance, c.wantFar) << c.far;
        EXPECT_FLOAT_EQ(view.zoom, c.wantZoom) << c.zoom;
    }
    EXPECT_FLOAT_EQ(kViewFovMin, static_cast<float>(M_PI / 4));
    EXPECT_FLOAT_EQ(kViewFovMax, static_cast<float>(3 * M_PI / 4));
}

TEST_F(ViewTest, DefaultsOnA640By480Buffer) {
    Default();
    const double half = 0.75 * std::tan(40.0 * M_PI / 180.0);
    EXPECT_FLOAT_EQ(view.centreX, 320.0f);
    EXPECT_FLOAT_EQ(view.centreY, 240.0f);
    EXPECT_FLOAT_EQ(view.halfExtent, static_cast<float>(half));
    EXPECT_FLOAT_EQ(view.scaleX, static_cast<float>(240.0 / half));
    EXPECT_FLOAT_EQ(view.scaleY, static_cast<float>(-240.0 / half));
    EXPECT_FLOAT_EQ(view.windowRight, 639.0f);
    EXPECT_FLOAT_EQ(view.windowBottom, 479.0f);
    EXPECT_EQ(view.buffer, &buffer);
    // The identity camera at (0, 1, 0).
    Vector camera;
    View_GetCameraPosition(&camera, &view);
    EXPECT_FLOAT_EQ(camera.y, 1.0f);
    Vector p;
    View_TransformPoint(&p, &view, 3.0, 1.0, 20.0);
    EXPECT_FLOAT_EQ(p.x, 3.0f);
    EXPECT_FLOAT_EQ(p.y, 0.0f);
    EXPECT_FLOAT_EQ(p.z, 20.0f);
}

TEST_F(ViewTest, ZoomScalesTheProjectionAndTheCentreFollowsTheClipWidth) {
    Default();
    float scale = view.scaleX;
    View_SetZoom(&view, 2.0f);
    EXPECT_FLOAT_EQ(view.scaleX, 2.0f * scale);
    ProjectedPoint p = View_ProjectPoint(&view, {1.0f, 1.0f, 10.0f});
    EXPECT_FLOAT_EQ(p.x, 320.0f + view.scaleX * 0.1f);
    EXPECT_FLOAT_EQ(p.y, 240.0f + view.scaleY * 0.1f);
    EXPECT_FLOAT_EQ(p.invZ, 0.1f);

    // A wider field of view gives a smaller scale; the centre uses the clip width, the whole height.
    Graphic_SetClipRect(&buffer, 0, 0, 399, 99);
    View_Init(&view, &buffer, 2.0f, 1.0f, 1000.0f, 1.0f);
    EXPECT_FLOAT_EQ(view.centreX, 200.0f);
    EXPECT_FLOAT_EQ(view.centreY, 240.0f);
    EXPECT_LT(view.scaleX, scale);
    // A horizontal stretch narrows x only.
    View_Init(&view, &buffer, kDefaultFieldOfView, 2.0f, 1000.0f, 1.0f);
    EXPECT_FLOAT_EQ(view.scaleX, -view.scaleY / 2.0f);
}

TEST_F(ViewTest, NearAndFarCornersProjectOntoTheWindowCorners) {
    Default();
    View_SetWindow(&view, 100, 50, 500, 350);
    const float wantX[4] = {100, 500, 500, 100};
    const float wantY[4] = {50, 50, 350, 350};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(view.nearCorners[i].z, 0.1f);
        ProjectedPoint n = View_ProjectPoint(&view, view.nearCorners[i]);
        EXPECT_NEAR(n.x, wantX[i], 1e-3) << i;
        EXPECT_NEAR(n.y, wantY[i], 1e-3) << i;
        ProjectedPoint f = View_ProjectPoint(&view, view.farCorners[i]);
        EXPECT_NEAR(f.x, wantX[i], 1e-3) << i;
        EXPECT_NEAR(f.y, wantY[i], 1e-3) << i;
    }
    EXPECT_FLOAT_EQ(view.centreX, 300.0f);
    EXPECT_FLOAT_EQ(view.centreY, 200.0f);
    // Top corners are above the axis in view space (y up).
    EXPECT_GT(view.nearCorners[0].y, 0.0f);
    EXPECT_LT(view.nearCorners[0].x, 0.0f);
}

TEST_F(ViewTest, ViewportIsClippedToTheBufferAndLeavesTheBufferClip) {
    Default();
    Graphic_SetClipRect(&buffer, 10, 10, 200, 100);
    View_SetViewport(&view, 600, 400, 700, -20);  // ordered and clipped
    EXPECT_FLOAT_EQ(view.windowLeft, 600.0f);
    EXPECT_FLOAT_EQ(view.windowTop, 0.0f);
    EXPECT_FLOAT_EQ(view.windowRight, 639.0f);
    EXPECT_FLOAT_EQ(view.windowBottom, 400.0f);
    EXPECT_EQ(buffer.clipLeft, 10);
    EXPECT_EQ(buffer.clipBottom, 100);
    // Wholly outside: the window becomes the buffer's clip rectangle.
    View_SetViewport(&view, 700, 0, 800, 10);
    EXPECT_FLOAT_EQ(view.windowLeft, 10.0f);
    EXPECT_FLOAT_EQ(view.windowTop, 10.0f);
    EXPECT_FLOAT_EQ(view.windowRight, 200.0f);
    EXPECT_FLOAT_EQ(view.windowBottom, 100.0f);
}

TEST_F(ViewTest, PlanesFaceInwardsAndFarIsCappedAt1640) {
    Default();
    view.farDistance = 3000.0f;  // set directly, past the cap
    View_SetViewport(&view, 0, 0, 639, 479);
    for (const Vector& c : view.farCorners) EXPECT_FLOAT_EQ(c.z, 1640.0f);
    const Plane& far = view.planes[kPlaneFar];
    EXPECT_FLOAT_EQ(far.normal.z, -1.0f);
    EXPECT_FLOAT_EQ(far.d, 1640.0f);
    const Plane& nearPlane = view.planes[kPlaneNear];
    EXPECT_FLOAT_EQ(nearPlane.normal.z, 1.0f);
    EXPECT_FLOAT_EQ(nearPlane.d, -0.1f);
    const Vector inside{0.0f, 0.0f, 50.0f};
    for (const Plane& p : view.planes) {
        EXPECT_GT(p.normal.x * inside.x + p.normal.y * inside.y + p.normal.z * inside.z + p.d, 0.0f);
        EXPECT_NEAR(std::sqrt(p.normal.x * p.normal.x + p.normal.y * p.normal.y + p.normal.z * p.normal.z), 1.0, 1e-6);
    }
    EXPECT_GT(view.planes[kPlaneLeft].normal.x, 0.0f);   // the left plane keeps points to its right
    EXPECT_LT(view.planes[kPlaneRight].normal.x, 0.0f);
    EXPECT_LT(view.planes[kPlaneTop].normal.y, 0.0f);
    EXPECT_GT(view.planes[kPlaneBottom].normal.y, 0.0f);
}

TEST_F(ViewTest, CullSphere) {
    Default();  // far 1000
    // Where the right plane is at depth 100 (x at the edge), and its outward distance unit.
    const float edgeX = view.farCorners[1].x / view.farCorners[1].z * 100.0f;
    const Plane& right = view.planes[kPlaneRight];
    auto beyondRight = [&](float distance) {
        // A point `distance` outside the right plane, at depth 100.
        Vector c{edgeX, 0.0f, 100.0f};
        c.x -= right.normal.x * distance;
        c.z -= right.normal.z * distance;
        return c;
    };
    struct Case {
        const char* what;
        Vector centre;
        float radius;
        int want;
    };
    const Case cases[] = {
        {"well inside", {0, 0, 50}, 1.0f, 0},
        {"behind near, within radius", {0, 0, 0.05f}, 0.1f, -1},
        {"behind near, beyond radius", {0, 0, -5}, 1.0f, 1},
        {"crossing far", {0, 0, 999.5f}, 1.0f, -1},
        {"past far", {0, 0, 1010}, 1.0f, 1},
        {"beyond a side by less than 1.1 r", beyondRight(1.05f), 1.0f, -1},
        {"beyond a side by more than 1.1 r", beyondRight(1.2f), 1.0f, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(View_CullSphere(&view, c.centre, c.radius), c.want) << c.what;
}

TEST_F(ViewTest, CameraMatrixInverseAndBoundingSphere) {
    Default();
    // Turned a quarter about y: front along world +x, right along world -z.
    Matrix camera = kIdentityMatrix;
    camera.right = {0.0f, 0.0f, -1.0f};
    camera.up = {0.0f, 1.0f, 0.0f};
    camera.front = {1.0f, 0.0f, 0.0f};
    camera.posit = {100.0, 5.0, -30.0};
    View_SetCameraMatrix(&view, camera);

    struct Case {
        double x, y, z;
        Vector want;
    };
    const Case cases[] = {
        {100, 5, -30, {0, 0, 0}},
        {107, 5, -30, {0, 0, 7}},    // ahead
        {100, 5, -32, {2, 0, 0}},    // to the right
        {100, 9, -30, {0, 4, 0}},    // above
        {90, 5, -30, {0, 0, -10}},   // behind
    };
    for (const Case& c : cases) {
        Vector v;
        View_TransformPoint(&v, &view, c.x, c.y, c.z);
        EXPECT_FLOAT_EQ(v.x, c.want.x);
        EXPECT_FLOAT_EQ(v.y, c.want.y);
        EXPECT_FLOAT_EQ(v.z, c.want.z);
    }

    // The far corners in world space lie 1000 ahead; the sphere holds them and the camera.
    for (const DVector& w : view.worldFarCorners) EXPECT_DOUBLE_EQ(w.x, 1100.0);
    auto distance = [&](const DVector& p) {
        return std::sqrt(std::pow(p.x - view.sphereCentre.x, 2) + std::pow(p.y - view.sphereCentre.y, 2) +
                         std::pow(p.z - view.sphereCentre.z, 2));
    };
    double farthest = distance(camera.posit);
    EXPECT_LE(farthest, view.sphereRadius + 1e-9);
    for (const DVector& w : view.worldFarCorners) {
        EXPECT_LE(distance(w), view.sphereRadius + 1e-9);
        farthest = std::max(farthest, distance(w));
    }
    EXPECT_DOUBLE_EQ(farthest, view.sphereRadius);
    EXPECT_DOUBLE_EQ(view.sphereCentre.x, 600.0);
    Vector position;
    View_GetCameraPosition(&position, &view);
    EXPECT_FLOAT_EQ(position.x, 100.0f);
    EXPECT_FLOAT_EQ(position.z, -30.0f);
}

TEST_F(ViewTest, EntityFacesTheCameraOnTheGroundPlaneKeepingItsUp) {
    Default();
    Matrix camera = kIdentityMatrix;
    camera.posit = {10.0, 50.0, 4.0};  // high above: the height plays no part
    View_SetCameraMatrix(&view, camera);
    Entity entity{};
    entity.local = kIdentityMatrix;
    entity.local.posit = {4.0, 0.0, 12.0};
    Entity_FaceView(&entity, &view);
    // Towards the camera (6, -8) on the ground, made unit; right = up x front.
    EXPECT_NEAR(entity.local.front.x, 0.6f, 1e-4f);
    EXPECT_FLOAT_EQ(entity.local.front.y, 0.0f);
    EXPECT_NEAR(entity.local.front.z, -0.8f, 1e-4f);
    EXPECT_NEAR(entity.local.right.x, -0.8f, 1e-4f);
    EXPECT_NEAR(entity.local.right.z, -0.6f, 1e-4f);
    EXPECT_FLOAT_EQ(entity.local.up.y, 1.0f);
    EXPECT_DOUBLE_EQ(entity.local.posit.z, 12.0);
    Entity_FaceView(nullptr, &view);  // nothing to turn
    Entity_FaceView(&entity, nullptr);
}

}  // namespace

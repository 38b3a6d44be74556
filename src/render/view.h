// The view that 3-D drawing goes through: the target buffer, the perspective projection, the
// window on the buffer, near and far distances, the camera with its inverse, and the six planes
// of the view volume for culling and clipping.
//
// View space: x to the right, y up, z forward (depth). A view-space point (x, y, z) lands on the
// screen at (centreX + scaleX x / z, centreY + scaleY y / z).
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "render/graphicbuffer.h"

struct Entity;

constexpr float kViewNear = 0.1f;           // the near distance (a constant, not a field)
constexpr float kViewFarLimit = 1640.0f;    // far distances beyond it are used as 1640
constexpr float kViewFarMin = 100.0f;
constexpr float kViewFovMin = 0.7853982f;   // pi / 4
constexpr float kViewFovMax = 2.3561945f;   // 3 pi / 4
constexpr float kViewZoomMin = 0.5f;
constexpr float kViewZoomMax = 100.0f;
constexpr float kDefaultFieldOfView = 1.3962634f;  // 80 degrees, the cockpit view

// The planes in their stored order.
enum ViewPlane : int { kPlaneLeft = 0, kPlaneRight, kPlaneTop, kPlaneBottom, kPlaneFar, kPlaneNear };

struct RenderView {
    float centreX;
    float centreY;
    float scaleX;  // screen x per unit of x / z
    float scaleY;  // screen y per unit of y / z; negative (screen y grows downwards)
    float farDistance;
    float windowLeft;
    float windowTop;
    float windowRight;
    float windowBottom;
    float fieldOfView;  // radians
    float halfExtent;   // 0.75 tan(fieldOfView / 2)
    float aspect;       // horizontal stretch of the view volume
    float zoom;
    GraphicBuffer* buffer;  // not owned
    Matrix viewMatrix;      // world to view space
    DVector sphereCentre;   // a world sphere holding the camera point and the four far corners
    double sphereRadius;
    Plane planes[6];        // left, right, top, bottom, far, near; inside where n.p + d >= 0
    Vector nearCorners[4];  // (left, top), (right, top), (right, bottom), (left, bottom) at z = 0.1
    Vector farCorners[4];   // the same at the far distance used
    DVector cameraPosition;
    DVector worldFarCorners[4];
    // Map views: the four corners of the ground the view shows (world space), when the camera
    // has set them; otherwise the terrain uses the far corners.
    DVector groundCorners[4];
    bool hasGroundCorners;
};

// Zeroes and sets up the view: clamped field of view and far distance, centre from the buffer,
// the window = the buffer's clip rectangle, the zoom, and the identity camera at (0, 1, 0).
RenderView* View_Init(RenderView* view, GraphicBuffer* buffer, float fieldOfView, float aspect,
                      float farDistance, float zoom);
// Zoom clamped to 0.5..100; scales follow; the corners and planes are derived again.
void View_SetZoom(RenderView* view, float zoom);
// Projects into the rectangle: centre at its middle, scales from its height.
void View_SetWindow(RenderView* view, int32_t left, int32_t top, int32_t right, int32_t bottom);
// The window (clipped to the buffer) and from it the corners and planes. The world sphere is
// not touched: set the camera again before culling.
void View_SetViewport(RenderView* view, int32_t left, int32_t top, int32_t right, int32_t bottom);
// The camera placement: world far corners, the bounding sphere, and the inverse as viewMatrix.
void View_SetCameraMatrix(RenderView* view, const Matrix& camera);
// World point (doubles) to view space.
void View_TransformPoint(Vector* out, const RenderView* view, double x, double y, double z);
// centre in view space: 1 wholly outside, 0 wholly inside, -1 crossing a plane.
int View_CullSphere(const RenderView* view, const Vector& centre, float radius);
void View_GetCameraPosition(Vector* out, const RenderView* view);
// Turns the entity to face the view's position horizontally (front), right = up x front.
void Entity_FaceView(Entity* entity, const RenderView* view);

// The screen position of a view-space point in front of the eye, and 1/z.
struct ProjectedPoint {
    float x;
    float y;
    float invZ;
};
ProjectedPoint View_ProjectPoint(const RenderView* view, const Vector& p);

// Width and height of a buffer's clip rectangle.
int32_t Graphic_ClipWidth(const GraphicBuffer* buffer);
int32_t Graphic_ClipHeight(const GraphicBuffer* buffer);

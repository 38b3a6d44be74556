#include "render/view.h"

#include <algorithm>
#include <cmath>

#include "Objkr/entity.h"

namespace {

// Clamps, sending NaN to the lower bound.
float ClampValue(float value, float low, float high) {
    if (!(value >= low)) return low;
    return value > high ? high : value;
}

float FarUsed(const RenderView* view) { return std::min(view->farDistance, kViewFarLimit); }

struct D3 {
    double x, y, z;
};
D3 ToD3(const Vector& v) { return {v.x, v.y, v.z}; }
D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 Cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The plane through three points, normal (b - a) x (c - a) made unit.
Plane PlaneThrough(const D3& a, const D3& b, const D3& c) {
    D3 n = Cross(Sub(b, a), Sub(c, a));
    double length = std::sqrt(Dot(n, n));
    if (length > 0.0) n = {n.x / length, n.y / length, n.z / length};
    Plane plane;
    plane.normal = {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)};
    plane.d = static_cast<float>(-Dot(n, a));
    return plane;
}

void Rescale(RenderView* view, double k) {
    view->scaleX = static_cast<float>(k / (static_cast<double>(view->aspect) * view->halfExtent));
    view->scaleY = static_cast<float>(-(k / view->halfExtent));
}

}  // namespace

int32_t Graphic_ClipWidth(const GraphicBuffer* buffer) { return buffer->clipRight - buffer->clipLeft + 1; }
int32_t Graphic_ClipHeight(const GraphicBuffer* buffer) { return buffer->clipBottom - buffer->clipTop + 1; }

RenderView* View_Init(RenderView* view, GraphicBuffer* buffer, float fieldOfView, float aspect,
                      float farDistance, float zoom) {
    *view = RenderView{};
    view->buffer = buffer;
    fieldOfView = ClampValue(fieldOfView, kViewFovMin, kViewFovMax);
    farDistance = ClampValue(farDistance, kViewFarMin, kViewFarLimit);
    view->centreX = static_cast<float>(Graphic_ClipWidth(buffer) * 0.5);
    view->centreY = static_cast<float>(buffer->height * 0.5);
    view->farDistance = farDistance;
    view->fieldOfView = fieldOfView;
    view->halfExtent = static_cast<float>(std::tan(fieldOfView * 0.5) * 0.75);
    // A stretch of zero or less would leave no view volume.
    view->aspect = aspect > 0.0f ? aspect : 1.0f;
    view->windowLeft = static_cast<float>(buffer->clipLeft);
    view->windowTop = static_cast<float>(buffer->clipTop);
    view->windowRight = static_cast<float>(buffer->clipRight);
    view->windowBottom = static_cast<float>(buffer->clipBottom);
    View_SetZoom(view, zoom);
    Matrix camera = kIdentityMatrix;
    camera.posit = {0.0, 1.0, 0.0};
    View_SetCameraMatrix(view, camera);
    return view;
}

void View_SetZoom(RenderView* view, float zoom) {
    view->zoom = ClampValue(zoom, kViewZoomMin, kViewZoomMax);
    Rescale(view, static_cast<double>(view->zoom) * view->buffer->height * 0.5);
    View_SetViewport(view, static_cast<int32_t>(view->windowLeft), static_cast<int32_t>(view->windowTop),
                     static_cast<int32_t>(view->windowRight), static_cast<int32_t>(view->windowBottom));
}

void View_SetWindow(RenderView* view, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    view->centreX = static_cast<float>((static_cast<double>(left) + right) * 0.5);
    view->centreY = static_cast<float>((static_cast<double>(top) + bottom) * 0.5);
    Rescale(view, (static_cast<double>(bottom) - top) * view->zoom * 0.5);
    View_SetViewport(view, left, top, right, bottom);
}

void View_SetViewport(RenderView* view, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // Clip through the buffer's own clip rectangle, then put that back.
    GraphicBuffer* buffer = view->buffer;
    const int32_t saved[4] = {buffer->clipLeft, buffer->clipTop, buffer->clipRight, buffer->clipBottom};
    buffer->clipLeft = 0;
    buffer->clipTop = 0;
    buffer->clipRight = buffer->width - 1;
    buffer->clipBottom = buffer->height - 1;
    ClipRect window{saved[0], saved[1], saved[2], saved[3]};
    if (Graphic_SetClipRect(buffer, left, top, right, bottom) != -1)
        window = {buffer->clipLeft, buffer->clipTop, buffer->clipRight, buffer->clipBottom};
    buffer->clipLeft = saved[0];
    buffer->clipTop = saved[1];
    buffer->clipRight = saved[2];
    buffer->clipBottom = saved[3];

    view->windowLeft = static_cast<float>(window.left);
    view->windowTop = static_cast<float>(window.top);
    view->windowRight = static_cast<float>(window.right);
    view->windowBottom = static_cast<float>(window.bottom);

    const float edgeX[4] = {view->windowLeft, view->windowRight, view->windowRight, view->windowLeft};
    const float edgeY[4] = {view->windowTop, view->windowTop, view->windowBottom, view->windowBottom};
    const double far = FarUsed(view);
    for (int i = 0; i < 4; ++i) {
        double dx = (static_cast<double>(edgeX[i]) - view->centreX) / view->scaleX;
        double dy = (static_cast<double>(edgeY[i]) - view->centreY) / view->scaleY;
        view->nearCorners[i] = {static_cast<float>(dx * kViewNear), static_cast<float>(dy * kViewNear), kViewNear};
        view->farCorners[i] = {static_cast<float>(dx * far), static_cast<float>(dy * far), static_cast<float>(far)};
    }

    const D3 eye{0.0, 0.0, 0.0};
    D3 f[4], n[4];
    for (int i = 0; i < 4; ++i) {
        f[i] = ToD3(view->farCorners[i]);
        n[i] = ToD3(view->nearCorners[i]);
    }
    view->planes[kPlaneLeft] = PlaneThrough(eye, f[0], f[3]);
    view->planes[kPlaneRight] = PlaneThrough(eye, f[1], f[2]);
    view->planes[kPlaneTop] = PlaneThrough(eye, f[0], f[1]);
    view->planes[kPlaneBottom] = PlaneThrough(eye, f[2], f[3]);
    view->planes[kPlaneFar] = PlaneThrough(f[0], f[1], f[2]);
    view->planes[kPlaneNear] = PlaneThrough(n[0], n[1], n[2]);

    // Turn every plane so that the inside of the volume is on its non-negative side.
    D3 q{0.0, 0.0, 0.0};
    for (const D3& corner : f) q = {q.x + corner.x, q.y + corner.y, q.z + corner.z};
    q = {q.x * 0.2, q.y * 0.2, q.z * 0.2};
    for (Plane& plane : view->planes) {
        if (Dot(ToD3(plane.normal), q) + plane.d < 0.0) {
            plane.normal = {-plane.normal.x, -plane.normal.y, -plane.normal.z};
            plane.d = -plane.d;
        }
    }
}

void View_SetCameraMatrix(RenderView* view, const Matrix& camera) {
    const DVector& p = camera.posit;
    view->cameraPosition = p;
    double low[3] = {p.x, p.y, p.z}, high[3] = {p.x, p.y, p.z};
    for (int i = 0; i < 4; ++i) {
        const Vector& c = view->farCorners[i];
        DVector w{static_cast<double>(c.x) * camera.right.x + static_cast<double>(c.y) * camera.up.x +
                      static_cast<double>(c.z) * camera.front.x + p.x,
                  static_cast<double>(c.x) * camera.right.y + static_cast<double>(c.y) * camera.up.y +
                      static_cast<double>(c.z) * camera.front.y + p.y,
                  static_cast<double>(c.x) * camera.right.z + static_cast<double>(c.y) * camera.up.z +
                      static_cast<double>(c.z) * camera.front.z + p.z};
        view->worldFarCorners[i] = w;
        const double coords[3] = {w.x, w.y, w.z};
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], coords[a]);
            high[a] = std::max(high[a], coords[a]);
        }
    }
    DVector centre{(low[0] + high[0]) * 0.5, (low[1] + high[1]) * 0.5, (low[2] + high[2]) * 0.5};
    auto distance = [&centre](const DVector& v) {
        double dx = v.x - centre.x, dy = v.y - centre.y, dz = v.z - centre.z;
        return std::sqrt(dx * dx + dy * dy + dz * dz);
    };
    double radius = distance(p);
    for (const DVector& w : view->worldFarCorners) radius = std::max(radius, distance(w));
    view->sphereCentre = centre;
    view->sphereRadius = radius;

    // The inverse of an orthonormal placement: rotation transposed, position carried back.
    Matrix& m = view->viewMatrix;
    m = Matrix{};
    m.right = {camera.right.x, camera.up.x, camera.front.x};
    m.up = {camera.right.y, camera.up.y, camera.front.y};
    m.front = {camera.right.z, camera.up.z, camera.front.z};
    auto dot = [&p](const Vector& axis) {
        return static_cast<double>(axis.x) * p.x + static_cast<double>(axis.y) * p.y + static_cast<double>(axis.z) * p.z;
    };
    m.posit = {-dot(camera.right), -dot(camera.up), -dot(camera.front)};
}

void View_TransformPoint(Vector* out, const RenderView* view, double x, double y, double z) {
    const Matrix& m = view->viewMatrix;
    using L = long double;
    out->x = static_cast<float>(L(m.right.x) * x + L(m.up.x) * y + L(m.front.x) * z + L(m.posit.x));
    out->y = static_cast<float>(L(m.right.y) * x + L(m.up.y) * y + L(m.front.y) * z + L(m.posit.y));
    out->z = static_cast<float>(L(m.right.z) * x + L(m.up.z) * y + L(m.front.z) * z + L(m.posit.z));
}

int View_CullSphere(const RenderView* view, const Vector& c, float radius) {
    static constexpr int kOrder[6] = {kPlaneNear, kPlaneFar, kPlaneLeft, kPlaneRight, kPlaneTop, kPlaneBottom};
    bool crossing = false;
    for (int index : kOrder) {
        const Plane& plane = view->planes[index];
        double s;
        double r = radius;
        if (index == kPlaneNear || index == kPlaneFar) {
            s = static_cast<double>(plane.normal.z) * c.z + plane.d;
        } else {
            s = static_cast<double>(plane.normal.x) * c.x + static_cast<double>(plane.normal.y) * c.y +
                static_cast<double>(plane.normal.z) * c.z + plane.d;
            r = 1.1 * radius;
        }
        if (s + r < 0.0) return 1;
        if (s - r < 0.0) crossing = true;
    }
    return crossing ? -1 : 0;
}

void Entity_FaceView(Entity* entity, const RenderView* view) {
    if (!entity || !view) return;
    Matrix& m = entity->local;
    Vector front{float(view->cameraPosition.x - m.posit.x), 0.0f, float(view->cameraPosition.z - m.posit.z)};
    m.front = Vec3_Normalize(front);
    m.right = Vec3_Normalize(Vec3_Cross(m.up, m.front));
}

void View_GetCameraPosition(Vector* out, const RenderView* view) {
    out->x = static_cast<float>(view->cameraPosition.x);
    out->y = static_cast<float>(view->cameraPosition.y);
    out->z = static_cast<float>(view->cameraPosition.z);
}

ProjectedPoint View_ProjectPoint(const RenderView* view, const Vector& p) {
    double invZ = 1.0 / static_cast<double>(p.z);
    return {static_cast<float>(view->centreX + static_cast<double>(view->scaleX) * p.x * invZ),
            static_cast<float>(view->centreY + static_cast<double>(view->scaleY) * p.y * invZ),
            static_cast<float>(invZ)};
}

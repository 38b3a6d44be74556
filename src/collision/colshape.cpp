#include "collision/colshape.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <new>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/debug.h"
#include "core/helpers.h"

namespace {

constexpr float kNoHit = 1e30f;
constexpr float kParallel = 0.0001f;

// The faces of the geometry layer: the corners' vertex indices sit in 16-byte corner records.
bool ReadGeomFace(const GeomFace* face, CollisionFaceView* out) {
    if (!face || face->vertexCount < 0 || (face->vertexCount > 0 && !face->refs)) return false;
    out->corners = face->vertexCount;
    out->normal = face->plane.normal;
    out->indices = face->refs ? &face->refs[0].vertex : nullptr;
    out->indexStride = static_cast<int32_t>(sizeof(GeomVertexRef) / sizeof(int32_t));
    out->next = face->next;
    return true;
}
CollisionFaceReader g_faceReader = ReadGeomFace;

Vector ToVector(const DVector& d) {
    return Vector{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)};
}
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float s) { return Vector{v.x * s, v.y * s, v.z * s}; }

// A direction of the matrix's frame expressed in the world.
Vector Rotate(const Vector& v, const Matrix& m) {
    return Vector{v.x * m.right.x + v.y * m.up.x + v.z * m.front.x, v.x * m.right.y + v.y * m.up.y + v.z * m.front.y,
                  v.x * m.right.z + v.y * m.up.z + v.z * m.front.z};
}
Vector Transform(const Vector& p, const Matrix& m) { return ToVector(Matrix_TransformPoint(p, m)); }
// A world point in the matrix's frame.
Vector Untransform(const Vector& p, const Matrix& m) {
    Matrix inv;
    Matrix_Invert(inv, m);
    return Transform(p, inv);
}
// A world point in the own frame of a root entity (its local matrix is its placement).
Vector InOwnerFrame(const Vector& world, const Entity* owner) {
    return owner ? Untransform(world, owner->local) : world;
}

void FillBody(CollisionBody* body, Entity* entity, float time, const Vector& point, const Vector& velocity,
              const Vector& normal) {
    if (!body) return;
    body->hit = 1;
    body->entity = entity;
    Classfnc_GetDynamics(&body->dynamics, entity);
    body->time = time;
    body->point = point;
    body->velocity = velocity;
    body->normal = normal;
}

// The eight rim samples at the box's middle height, in the box's own frame.
void RimSamples(const Vector& mn, const Vector& mx, Vector out[8]) {
    const float my = (mn.y + mx.y) * 0.5f, cx = (mn.x + mx.x) * 0.5f, cz = (mn.z + mx.z) * 0.5f;
    out[0] = {mn.x, my, mn.z};
    out[1] = {cx, my, mn.z};
    out[2] = {mx.x, my, mn.z};
    out[3] = {mx.x, my, cz};
    out[4] = {mx.x, my, mx.z};
    out[5] = {cx, my, mx.z};
    out[6] = {mn.x, my, mx.z};
    out[7] = {mn.x, my, cz};
}

// The corner (u, w) of vertex i in the projection that keeps axes u and w (0 x, 1 y, 2 z).
float Axis(const Vector& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

int PointInPolygonAxes(const CollisionPoly* poly, const Vector* vertices, float pu, float pw, int uAxis, int wAxis) {
    const int n = poly->count;
    if (n < 3) return 0;
    // Quick reject: the point must lie within the polygon's range on both axes, bounds
    // included, so that points on the far edges pass as the edge rule below wants.
    bool uLow = false, uHigh = false, wLow = false, wHigh = false;
    for (int i = 0; i < n; ++i) {
        const Vector& v = vertices[poly->indices[i]];
        const float u = Axis(v, uAxis), w = Axis(v, wAxis);
        if (u <= pu) uLow = true;
        if (u >= pu) uHigh = true;
        if (w <= pw) wLow = true;
        if (w >= pw) wHigh = true;
    }
    if (!(uLow && uHigh && wLow && wHigh)) return 0;

    // Walk the edges from the first corner backwards, counting crossings of the line w = pw
    // to the left and to the right of the point.
    int side = 0;  // -1 left, +1 right, 0 none yet
    int current = 0;
    for (int step = 0; step < n; ++step) {
        const int next = (current - 1 + n) % n;
        const Vector& a = vertices[poly->indices[current]];
        const Vector& b = vertices[poly->indices[next]];
        current = next;
        const float au = Axis(a, uAxis), aw = Axis(a, wAxis), bu = Axis(b, uAxis), bw = Axis(b, wAxis);
        if ((aw > pw && bw > pw) || (aw < pw && bw < pw)) continue;
        if (bw == pw && aw != pw) continue;  // the following edge counts that corner
        int crossing;
        if (aw == pw && bw == pw) {
            const float lo = au < bu ? au : bu, hi = au < bu ? bu : au;
            return (pu >= lo && pu <= hi) ? 1 : 0;
        }
        if (au < pu && bu < pu) {
            crossing = -1;
        } else if (au > pu && bu > pu) {
            crossing = 1;
        } else {
            const float at = au + (pw - aw) * (bu - au) / (bw - aw) - pu;
            if (at == 0.0f) return 1;
            crossing = at < 0.0f ? -1 : 1;
        }
        if (side == 0)
            side = crossing;
        else
            return side == crossing ? 0 : 1;
    }
    return 0;
}

// Builds the test input of one part of a hierarchy under its world matrix.
void PartInput(CollisionBoxInput& out, Entity* part, Entity* root, const Matrix& matrix) {
    out.entity = part;
    out.owner = root;
    out.matrix = matrix;
    out.boxMin = part->boxMin;
    out.boxMax = part->boxMax;
    out.radius = part->boundsRadius;
    out.centre = Transform(part->boundsCentre, matrix);
    out.velocity = Collision_PointVelocity(part->boundsCentre, part);
}

struct PartWalk {
    const CollisionBoxInput* box;
    Entity* root;
    float longest;
    CollisionBody* bodyParts;
    CollisionBody* bodyBox;
    int hit;
};

void WalkParts(PartWalk& w, Entity* part, const Matrix& parentMatrix, int depth) {
    for (; part; part = part->next) {
        Matrix m;
        Matrix_Multiply(m, part->local, parentMatrix);
        const uint32_t mode = part->flags & kPartModeMask;
        if (mode != kPartModeNone) {
            CollisionBoxInput in;
            PartInput(in, part, w.root, m);
            float t;
            if (Collision_SweptSpheres(w.box->centre, w.box->velocity, in.centre, in.velocity,
                                       w.box->radius + in.radius, w.longest, &t, nullptr)) {
                CollisionBody bp, bb;
                CollisionBody_Init(bp);
                CollisionBody_Init(bb);
                int hit = 0;
                switch (mode) {
                case kPartModeBox:
                    hit = Collision_RimVsBox(*w.box, in, w.longest, &bb, &bp) ||
                          Collision_RimVsBox(in, *w.box, w.longest, &bp, &bb);
                    break;
                case kPartModeMesh:
                    hit = Collision_RimVsMesh(*w.box, part->polySet, w.root, w.longest, &bp, &bb);
                    break;
                case kPartModeSphere:
                case kPartModeSmallSphere: {
                    const float scale = mode == kPartModeSphere ? 1.0f : 0.75f;
                    hit = Collision_BoxVsSphere(*w.box, part->boundsCentre, part, w.root, part->boundsRadius * scale,
                                                w.longest, &bp, &bb);
                    break;
                }
                default:
                    break;
                }
                // Later parts must hit strictly earlier: on a tie the part visited first stays.
                if (hit && (!w.hit || bb.time < w.longest)) {
                    *w.bodyParts = bp;
                    *w.bodyBox = bb;
                    w.longest = bb.time;
                    w.hit = 1;
                }
            }
        }
        if (depth < kEntityWalkStack) WalkParts(w, part->child, m, depth + 1);
    }
}

// When a point moving by v from p first comes within R of c, no later than longest (0 when it
// starts within).
int SphereEntry(const Vector& p, const Vector& v, const Vector& c, float R, float longest, float* outT) {
    const Vector d = Vec3_Sub(p, c);
    const float cc = Vec3_Dot(d, d) - R * R;
    if (cc <= 0.0f) {
        *outT = 0.0f;
        return 1;
    }
    const float a = Vec3_Dot(v, v), b = Vec3_Dot(d, v);
    if (a < kParallel || b >= 0.0f) return 0;
    const float disc = b * b - a * cc;
    if (disc < 0.0f) return 0;
    const float t = (-b - std::sqrt(disc)) / a;
    if (t > longest) return 0;
    *outT = t;
    return 1;
}

// The earliest hit of a swept point (or small sphere) against the parts of a hierarchy.
struct ProbeWalk {
    const CollisionProbe* probe;
    float best;
    int hit;
};

void ProbeParts(ProbeWalk& w, Entity* part, const Matrix& parentMatrix, int depth) {
    for (; part; part = part->next) {
        Matrix m;
        Matrix_Multiply(m, part->local, parentMatrix);
        const uint32_t mode = part->flags & kPartModeMask;
        if (mode != kPartModeNone) {
            const Vector centre = Transform(part->boundsCentre, m);
            const Vector vel = Collision_PointVelocity(part->boundsCentre, part);
            const float reach = w.best < w.probe->longest ? w.best : w.probe->longest;
            float t = 0.0f;
            if (Collision_SweptSpheres(w.probe->start, w.probe->velocity, centre, vel,
                                       w.probe->radius + part->boundsRadius, reach, &t, nullptr)) {
                float hitT = kNoHit;
                int hit = 0;
                if (mode == kPartModeBox) {
                    const Vector p = Untransform(w.probe->start, m);
                    Vector rel;
                    Vec3_Unrotate(rel, Vec3_Sub(w.probe->velocity, vel), m);
                    Vector n;
                    hit = Collision_SweptPointBox(p, rel, part->boxMin, part->boxMax, reach, w.probe->radius, &hitT, &n);
                } else if (mode == kPartModeMesh) {
                    Vector n;
                    hit = Collision_RayPolySet(w.probe->start, w.probe->velocity, part->polySet, reach, &hitT, &n);
                } else if (mode == kPartModeSphere || mode == kPartModeSmallSphere) {
                    const float scale = mode == kPartModeSphere ? 1.0f : 0.75f;
                    hit = SphereEntry(w.probe->start, Vec3_Sub(w.probe->velocity, vel), centre,
                                      w.probe->radius + part->boundsRadius * scale, reach, &hitT);
                }
                if (hit && hitT < w.best) {
                    w.best = hitT;
                    w.hit = 1;
                }
            }
        }
        if (depth < kEntityWalkStack) ProbeParts(w, part->child, m, depth + 1);
    }
}

}  // namespace

// ---- box definitions ---------------------------------------------------------------------

int CollisionBoxDef_IsValid(const CollisionBoxDef* def) {
    if (!def) return 0;
    auto ok = [](int32_t n) { return n >= 1 && n <= 4; };
    return ok(def->nx) && ok(def->ny) && ok(def->nz) ? 1 : 0;
}

void CollisionBoxDef_Bounds(const CollisionBoxDef* def, Vector& min, Vector& max) {
    min = Vector{def->x[0], def->y[0], def->z[0]};
    max = Vector{def->x[def->nx - 1], def->y[def->ny - 1], def->z[def->nz - 1]};
}

void Collision_SetFaceReader(CollisionFaceReader reader) { g_faceReader = reader ? reader : ReadGeomFace; }

// ---- helpers -----------------------------------------------------------------------------

int Vec3_IsNearZero(const Vector& v) {
    constexpr float kEps = 9.999999e-9f;
    return (v.x * v.x < kEps && v.y * v.y < kEps && v.z * v.z < kEps) ? 1 : 0;
}

Vector Vec3_Negate(const Vector& v) { return Vector{-v.x, -v.y, -v.z}; }

void Matrix_PreRotate(Matrix& out, const Matrix& m, const Vector& v, float s) {
    const Matrix spin = Matrix_FromEuler(-s * v.x, -s * v.y, -s * v.z, 0.0, 0.0, 0.0);
    Matrix_Multiply(out, spin, m);
}

// ---- primitives --------------------------------------------------------------------------

int Collision_SweptSpheres(const Vector& cA, const Vector& vA, const Vector& cB, const Vector& vB, float R, float dt,
                           float* outT, Vector* outSeparation) {
    if (Vec3_IsNearZero(vA) && Vec3_IsNearZero(vB)) return 0;
    const Vector d = Vec3_Sub(cB, cA);
    const Vector w = Vec3_Sub(vA, vB);
    const float A = Vec3_Dot(w, w);
    float t;
    if (A < kParallel) {
        t = dt;
    } else {
        t = Vec3_Dot(w, d) / A;
        if (dt < t) t = dt;
    }
    Vector sep;
    if (t <= 0.0f) {
        t = 0.0f;
        sep = d;
    } else {
        sep = Vec3_Sub(d, Scale(w, t));
    }
    if (Vec3_Dot(sep, sep) > R * R) return 0;
    if (outT) *outT = t;
    if (outSeparation) *outSeparation = sep;
    return 1;
}

int Collision_Slab(float p, float v, float lo, float hi, float* tIn, float* tOut) {
    float t1, t2;
    if (std::fabs(v) < kParallel) {
        if (p < lo || p > hi) return 0;
        t1 = -kNoHit;
        t2 = kNoHit;
    } else {
        const float a = (lo - p) / v, b = (hi - p) / v;
        t1 = a < b ? a : b;
        t2 = a < b ? b : a;
    }
    *tIn = t1;
    *tOut = t2;
    return t2 >= 0.0f ? 1 : 0;
}

int Collision_SweptPointBox(const Vector& p, const Vector& v, const Vector& min, const Vector& max, float longest,
                            float margin, float* outT, Vector* outNormal) {
    float inX, outX, inY, outY, inZ, outZ;
    if (!Collision_Slab(p.x, v.x, min.x - margin, max.x + margin, &inX, &outX)) return 0;
    if (!Collision_Slab(p.z, v.z, min.z - margin, max.z + margin, &inZ, &outZ)) return 0;
    if (!Collision_Slab(p.y, v.y, min.y - margin, max.y + margin, &inY, &outY)) return 0;
    int axis = 0;
    float entry = inX;
    if (inZ > entry) {
        entry = inZ;
        axis = 2;
    }
    if (inY > entry) {
        entry = inY;
        axis = 1;
    }
    float exit = outX;
    if (outZ < exit) exit = outZ;
    if (outY < exit) exit = outY;
    if (exit < entry || exit < 0.0f || longest < entry) return 0;
    Vector n{0.0f, 0.0f, 0.0f};
    const float va = Axis(v, axis);
    const float sign = va > 0.0f ? -1.0f : 1.0f;
    if (axis == 0) n.x = sign;
    if (axis == 1) n.y = sign;
    if (axis == 2) n.z = sign;
    // A point already inside counts only while it is less than 0.1 deep.
    if (entry < 0.0f && margin + 0.1f < entry * Vec3_Dot(v, n)) return 0;
    if (outT) *outT = entry;
    if (outNormal) *outNormal = n;
    return 1;
}

int Collision_RayPolySet(const Vector& p, const Vector& v, const CollisionPolySet* set, float longest, float* outT,
                         Vector* outNormal) {
    if (!set) return 0;
    float best = kNoHit;
    Vector bestNormal{0.0f, 0.0f, 0.0f};
    for (const CollisionPoly* poly = set->first; poly; poly = poly->next) {
        const Vector n{poly->a, poly->b, poly->c};
        const float g = Vec3_Dot(n, v);
        if (g > -kParallel) continue;
        const float f = Vec3_Dot(n, p) + poly->d;
        if (f <= 0.0f) continue;
        const float t = -f / g;
        if (longest < t) continue;
        if (!Collision_PointInPolygon(poly, set->vertices, Add(p, Scale(v, t)))) continue;
        if (t >= 0.0f && t < best) {
            best = t;
            bestNormal = n;
        }
    }
    if (best == kNoHit) return 0;
    if (outT) *outT = best;
    if (outNormal) *outNormal = bestNormal;
    return 1;
}

int Collision_PointInPolygon(const CollisionPoly* poly, const Vector* vertices, const Vector& p) {
    if (!poly || !vertices) return 0;
    const float a = std::fabs(poly->a), b = std::fabs(poly->b), c = std::fabs(poly->c);
    if (a < b && c < b) return PointInPolygonAxes(poly, vertices, p.x, p.z, 0, 2);
    if (a >= b && c < a) return PointInPolygonAxes(poly, vertices, p.y, p.z, 1, 2);
    return PointInPolygonAxes(poly, vertices, p.x, p.y, 0, 1);
}

int Collision_PointInPolygonXZ(const CollisionPoly* poly, const Vector* vertices, float x, float z) {
    if (!poly || !vertices) return 0;
    return PointInPolygonAxes(poly, vertices, x, z, 0, 2);
}

float Collision_PolyPlaneHeight(const CollisionPoly* poly, float x, float z) {
    return -(poly->c * z + poly->a * x + poly->d) / poly->b;
}

Vector Collision_PointVelocity(const Vector& point, Entity* entity) {
    Vector v{0.0f, 0.0f, 0.0f};
    Vector p = point;
    int depth = 0;
    for (Entity* e = entity; e && depth < kEntityWalkStack; e = Entity_GetParent(e), ++depth) {
        EntityDynamics d;
        Classfnc_GetDynamics(&d, e);
        v = Add(Rotate(Add(v, Vec3_Cross(p, d.angularVelocity)), e->local), d.velocity);
        p = Transform(p, e->local);
    }
    return v;
}

// ---- shapes ------------------------------------------------------------------------------

void Collision_ChooseShape(EntityTableRecord* record) {
    if (!record || !record->entity) return;
    Entity* e = record->entity;
    switch (e->type) {
    case kTypeCraft:
    case kTypePowerUp:
    case kTypePerson: {
        if (record->shapeKind != kShapeBox || !record->attached) return;
        const auto* def = static_cast<const CollisionBoxDef*>(record->attached);
        if (!CollisionBoxDef_IsValid(def)) {
            Debug_Printf("collision box with bad slab counts (%d, %d, %d) ignored\n", def->nx, def->ny, def->nz);
            record->shapeKind = kShapeNone;
            return;
        }
        // The lowest slab (skids, legs) does not widen the radius; with one slab there is no
        // other to read.
        const float yLow = def->ny > 1 ? def->y[1] : def->y[def->ny - 1];
        const float xs[2] = {def->x[0], def->x[def->nx - 1]};
        const float ys[2] = {yLow, def->y[def->ny - 1]};
        const float zs[2] = {def->z[0], def->z[def->nz - 1]};
        float best = 0.0f;
        for (float x : xs)
            for (float y : ys)
                for (float z : zs) {
                    const Vector c{x - record->localCentre.x, y - record->localCentre.y, z - record->localCentre.z};
                    const float dist = std::sqrt(Vec3_Dot(c, c));
                    if (dist > best) best = dist;
                }
        if (best + 0.1f > record->radius) record->radius = best + 0.1f;
        return;
    }
    case kTypeBuilding:
    case kTypeBuilding5:
    case kTypeCraft6:
    case kTypeBuilding7:
    case kTypeSpinner:
        record->shapeKind = kShapeParts;
        Collision_SetPartModes(e, kIdentityMatrix, kPartModeBox);
        return;
    case kTypeStatic8:
    case kTypeBuilding10:
        record->shapeKind = kShapeParts;
        Collision_SetPartModes(e, kIdentityMatrix, kPartModeMesh);
        return;
    default:
        return;
    }
}

namespace {
void SetPartModesAt(Entity* entity, const Matrix& parentMatrix, uint32_t defaultMode, int depth) {
    for (Entity* e = entity; e; e = e->next) {
        Matrix m;
        Matrix_Multiply(m, e->local, parentMatrix);
        Collision_FreePolySet(e);
        uint32_t mode = e->flags & kPartModeMask;
        if (mode == 0) mode = defaultMode;
        const Geometry* g = Entity_LevelZeroGeometry(e);
        if (mode == kPartModeNone || e->type == kTypeNeverCollides || (e->flags & kEntityNotDrawn)) {
            mode = kPartModeNone;
        } else if (!g || g->vertexCount <= 0) {
            if (mode != kPartModeSphere && mode != kPartModeSmallSphere) mode = kPartModeNone;
        } else if (mode == kPartModeMesh) {
            e->polySet = g->vertexCount > 2 ? Collision_BuildPolySet(e, m) : nullptr;
            mode = e->polySet ? kPartModeMesh : kPartModeNone;
        }
        e->flags = (e->flags & ~kPartModeMask) | mode;
        if (depth < kEntityWalkStack) SetPartModesAt(e->child, m, defaultMode, depth + 1);
    }
}
}  // namespace

void Collision_SetPartModes(Entity* entity, const Matrix& parentMatrix, uint32_t defaultMode) {
    SetPartModesAt(entity, parentMatrix, defaultMode, 0);
}

CollisionPolySet* Collision_BuildPolySet(const Entity* entity, const Matrix& matrix) {
    const Geometry* g = entity ? Entity_LevelZeroGeometry(entity) : nullptr;
    if (!g || g->vertexCount <= 0 || !g->vertices) return nullptr;
    const int32_t count = g->vertexCount;
    void* block = std::malloc(sizeof(CollisionPolySet) + sizeof(Vector) * static_cast<size_t>(count));
    if (!block) return nullptr;
    auto* set = new (block) CollisionPolySet{};
    set->vertexCount = count;
    set->vertices = reinterpret_cast<Vector*>(static_cast<char*>(block) + sizeof(CollisionPolySet));
    Matrix_TransformPoints(set->vertices, g->vertices, count, matrix);

    CollisionPoly** tail = &set->first;
    const GeomFace* face = g->firstFace;
    for (int guard = 0; face && guard < 1 << 20; ++guard) {
        CollisionFaceView view{};
        if (!g_faceReader(face, &view)) break;
        face = view.next;
        if (view.corners <= 2 || !view.indices || view.indexStride < 1) continue;
        bool indicesOk = true;
        for (int i = 0; i < view.corners; ++i) {
            const int32_t index = view.indices[i * view.indexStride];
            if (index < 0 || index >= count) indicesOk = false;
        }
        if (!indicesOk) {
            Debug_Printf("collision mesh face with a vertex index out of range skipped\n");
            continue;
        }
        void* pb = std::malloc(sizeof(CollisionPoly) + sizeof(int32_t) * static_cast<size_t>(view.corners));
        if (!pb) continue;
        auto* poly = new (pb) CollisionPoly{};
        poly->count = view.corners;
        poly->indices = reinterpret_cast<int32_t*>(static_cast<char*>(pb) + sizeof(CollisionPoly));
        for (int i = 0; i < view.corners; ++i) poly->indices[i] = view.indices[i * view.indexStride];
        const Vector n = Rotate(view.normal, matrix);
        poly->a = n.x;
        poly->b = n.y;
        poly->c = n.z;
        poly->d = -Vec3_Dot(n, set->vertices[poly->indices[0]]);
        *tail = poly;
        tail = &poly->next;
    }
    return set;
}

void Collision_FreePolySet(Entity* entity) {
    if (!entity || !entity->polySet) return;
    CollisionPolySet* set = entity->polySet;
    for (CollisionPoly* p = set->first; p;) {
        CollisionPoly* next = p->next;
        std::free(p);
        p = next;
    }
    std::free(set);
    entity->polySet = nullptr;
}

namespace {
void FreePolySetsAt(Entity* e, int depth) {
    Collision_FreePolySet(e);
    if (depth >= kEntityWalkStack) return;
    for (Entity* c = e->child; c; c = c->next) FreePolySetsAt(c, depth + 1);
}
}  // namespace

void Collision_FreePolySets(Entity* entity) {
    if (entity) FreePolySetsAt(entity, 0);
}

// ---- tests -------------------------------------------------------------------------------

void Collision_BoxInputFromRecord(CollisionBoxInput& out, EntityTableRecord* record) {
    Entity* e = record->entity;
    out.entity = e;
    out.owner = e;
    out.matrix = e->local;
    out.radius = record->radius;
    out.centre = Transform(record->localCentre, e->local);
    Vector v{0.0f, 0.0f, 0.0f};
    Classfnc_GetMotion(e, &v, nullptr);
    out.velocity = v;
    const auto* def = static_cast<const CollisionBoxDef*>(record->attached);
    if (def && CollisionBoxDef_IsValid(def)) {
        CollisionBoxDef_Bounds(def, out.boxMin, out.boxMax);
    } else {
        out.boxMin = record->boxMin;
        out.boxMax = record->boxMax;
    }
}

int Collision_RimVsBox(const CollisionBoxInput& a, const CollisionBoxInput& b, float longest, CollisionBody* bodyA,
                       CollisionBody* bodyB) {
    Vector samples[8];
    RimSamples(a.boxMin, a.boxMax, samples);
    Matrix invB;
    Matrix_Invert(invB, b.matrix);
    int found = -1;
    float bestT = 0.0f;
    Vector bestPointB{}, bestRelB{}, bestNormalB{};
    for (int i = 0; i < 8; ++i) {
        const Vector world = Transform(samples[i], a.matrix);
        const Vector inB = Transform(world, invB);
        Vector relB;
        Vec3_Unrotate(relB, Vec3_Sub(Collision_PointVelocity(samples[i], a.entity), b.velocity), b.matrix);
        float t;
        Vector n;
        if (Collision_SweptPointBox(inB, relB, b.boxMin, b.boxMax, longest, 0.0f, &t, &n)) {
            longest = t;
            bestT = t;
            found = i;
            bestPointB = inB;
            bestRelB = relB;
            bestNormalB = n;
        }
    }
    if (found < 0) return 0;
    const Vector normalW = Rotate(bestNormalB, b.matrix);  // out of B, toward A
    const Vector relW = Rotate(bestRelB, b.matrix);        // v_A - v_B
    const Vector sampleW = Transform(samples[found], a.matrix);
    const Vector reachedW = Transform(Add(bestPointB, Scale(bestRelB, bestT)), b.matrix);
    // B's record is read by A's handler: the sample, fixed on A, in A's frame.
    FillBody(bodyB, b.owner, bestT, InOwnerFrame(sampleW, a.owner), Vec3_Negate(relW), normalW);
    // A's record is read by B's handler: the point reached on B, in B's frame.
    FillBody(bodyA, a.owner, bestT, InOwnerFrame(reachedW, b.owner), relW, Vec3_Negate(normalW));
    return 1;
}

int Collision_BoxVsSphere(const CollisionBoxInput& box, const Vector& localCentre, Entity* sphereEntity,
                          Entity* sphereOwner, float radius, float longest, CollisionBody* bodySphere,
                          CollisionBody* bodyBox) {
    Matrix sphereMatrix;
    Entity_GetTransformTo(sphereMatrix, sphereEntity, nullptr);
    const Vector centreW = Transform(localCentre, sphereMatrix);
    Matrix inv;
    Matrix_Invert(inv, box.matrix);
    const Vector c = Transform(centreW, inv);
    Vector rel;
    Vec3_Unrotate(rel, Vec3_Sub(Collision_PointVelocity(localCentre, sphereEntity), box.velocity), box.matrix);
    const Vector grow{radius, radius, radius};
    float t;
    Vector n;
    if (!Collision_SweptPointBox(c, rel, Vec3_Sub(box.boxMin, grow), Add(box.boxMax, grow), longest, 0.0f, &t, &n))
        return 0;
    const Vector normalW = Rotate(n, box.matrix);  // out of the box, toward the sphere
    const Vector relW = Rotate(rel, box.matrix);   // v_sphere - v_box
    // Where the sphere touches the box: its centre at the contact, back along the face normal.
    const Vector contactBox = Vec3_Sub(Add(c, Scale(rel, t)), Scale(n, radius));
    const Vector contactW = Transform(contactBox, box.matrix);
    FillBody(bodyBox, box.owner, t, InOwnerFrame(contactW, sphereOwner), Vec3_Negate(relW), normalW);
    FillBody(bodySphere, sphereOwner, t, InOwnerFrame(contactW, box.owner), relW, Vec3_Negate(normalW));
    return 1;
}

int Collision_RimVsMesh(const CollisionBoxInput& box, const CollisionPolySet* set, Entity* meshOwner, float longest,
                        CollisionBody* bodyMesh, CollisionBody* bodyBox) {
    if (!set) return 0;
    Vector samples[8];
    RimSamples(box.boxMin, box.boxMax, samples);
    float best = kNoHit;
    Vector bestSample{}, bestVel{}, bestNormal{};
    int found = 0;
    for (const Vector& s : samples) {
        const Vector world = Transform(s, box.matrix);
        const Vector v = Collision_PointVelocity(s, box.entity);
        float t;
        Vector n;
        if (Collision_RayPolySet(world, v, set, longest, &t, &n) && t < best) {
            best = t;
            bestSample = world;
            bestVel = v;
            bestNormal = n;
            found = 1;
        }
    }
    if (!found) return 0;
    const Vector reached = Add(bestSample, Scale(bestVel, best));
    FillBody(bodyMesh, meshOwner, best, InOwnerFrame(bestSample, box.owner), Vec3_Negate(bestVel), bestNormal);
    FillBody(bodyBox, box.owner, best, InOwnerFrame(reached, meshOwner), bestVel, Vec3_Negate(bestNormal));
    return 1;
}

int Collision_BoxVsParts(const CollisionBoxInput& box, Entity* root, float longest, CollisionBody* bodyParts,
                         CollisionBody* bodyBox) {
    if (!root) return 0;
    PartWalk w{&box, root, longest, bodyParts, bodyBox, 0};
    WalkParts(w, root, kIdentityMatrix, 0);
    return w.hit;
}

int Collision_TestBox(const CollisionBoxInput& box, EntityTableRecord* other, float longest,
                      CollisionBody* bodyOther, CollisionBody* bodyBox) {
    if (!other || !other->entity) return 0;
    switch (other->shapeKind) {
    case kShapeBox: {
        CollisionBoxInput in;
        Collision_BoxInputFromRecord(in, other);
        return Collision_RimVsBox(box, in, longest, bodyBox, bodyOther) ||
               Collision_RimVsBox(in, box, longest, bodyOther, bodyBox);
    }
    case kShapeSphere:
        return Collision_BoxVsSphere(box, other->localCentre, other->entity, other->entity, other->radius, longest,
                                     bodyOther, bodyBox);
    case kShapeParts:
        return Collision_BoxVsParts(box, other->entity, longest, bodyOther, bodyBox);
    default:
        return 0;
    }
}

int Collision_TestByShape(const CollisionProbe& probe, EntityTableRecord* record, Entity** outHit, float* outT) {
    if (!record || !record->entity) return 0;
    Entity* e = record->entity;
    float t = 0.0f;
    int hit = 0;
    switch (record->shapeKind) {
    case kShapeBox: {
        CollisionBoxInput in;
        Collision_BoxInputFromRecord(in, record);
        const Vector p = Untransform(probe.start, in.matrix);
        Vector rel;
        Vec3_Unrotate(rel, Vec3_Sub(probe.velocity, in.velocity), in.matrix);
        Vector n;
        hit = Collision_SweptPointBox(p, rel, in.boxMin, in.boxMax, probe.longest, probe.radius, &t, &n);
        break;
    }
    case kShapeSphere:
        hit = 1;
        break;
    case kShapeParts: {
        ProbeWalk w{&probe, kNoHit, 0};
        ProbeParts(w, e, kIdentityMatrix, 0);
        hit = w.hit;
        t = w.best;
        break;
    }
    default:
        break;
    }
    if (!hit) return 0;
    if (outHit) *outHit = e;
    if (outT) *outT = t;
    return 1;
}

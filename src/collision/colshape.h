// Collision shapes and the contact tests between a moving box and another shape within one
// frame, with the geometric primitives they are built from.
//
// Every test works in time: a velocity times seconds, the longest time being the frame time or
// the earliest contact found so far. 1e30 stands for no hit or unbounded; 0.0001 is the
// threshold for parallel and degenerate cases.
//
// What a contact leaves in the two CollisionBody records:
//   - time: seconds from the start of the frame (negative when a sample started just inside);
//   - normal: world space, each record's normal points toward the other body;
//   - velocity: world space, the record's own side relative to the other (the two opposite);
//   - point: the contact point in the own frame of the entity whose handler reads the record,
//     that is of the other side's root entity (handlers receive the other side's record), so a
//     handler can take it directly as a lever arm about its own centre.
#pragma once
#include <cstdint>

#include "Objkr/dynamics.h"
#include "Objkr/entity.h"
#include "core/mathlib.h"

// Part collision mode: bits 12 to 15 of an entity's flag word.
constexpr uint32_t kPartModeMask = 0xF000;
constexpr uint32_t kPartModeNone = 0x1000;
constexpr uint32_t kPartModeBox = 0x2000;
constexpr uint32_t kPartModeMesh = 0x3000;
constexpr uint32_t kPartModeSphere = 0x4000;
constexpr uint32_t kPartModeSmallSphere = 0x5000;  // 0.75 times the bounding radius

// Shape kinds of an EntityTableRecord.
constexpr int32_t kShapeNone = 0;
constexpr int32_t kShapeBox = 1;
constexpr int32_t kShapeSphere = 2;
constexpr int32_t kShapeParts = 3;

constexpr int32_t kTypeNeverCollides = 55;

// The collision box of a vehicle definition (read-only, 60 bytes): slab counts 1 to 4 on each
// axis, then the slab bounds ascending in the entity's own frame.
struct CollisionBoxDef {
    int32_t nx, ny, nz;
    float x[4], y[4], z[4];
};
static_assert(sizeof(CollisionBoxDef) == 60);

// 1 when every count is within 1..4; a box with other counts is not used.
int CollisionBoxDef_IsValid(const CollisionBoxDef* def);
// (x[0], y[0], z[0]) and (x[nx-1], y[ny-1], z[nz-1]).
void CollisionBoxDef_Bounds(const CollisionBoxDef* def, Vector& min, Vector& max);

struct CollisionPoly {
    int32_t count;  // corners, at least 3
    float a, b, c;  // unit normal, world
    float d;        // -(normal . first corner)
    int32_t* indices;
    CollisionPoly* next;
};

// One per mesh part, owned by the part entity; vertices in world space, fixed when built.
struct CollisionPolySet {
    int32_t vertexCount;
    Vector* vertices;
    CollisionPoly* first;
};

// One face of a geometry as the mesh shapes read it: corner count, unit normal in the
// geometry's frame, and the corner vertex indices (indices[i * indexStride]).
struct CollisionFaceView {
    int32_t corners;
    Vector normal;
    const int32_t* indices;
    int32_t indexStride;
    const GeomFace* next;  // the following face, null at the end
};
// Reads a face of the geometry layer; false when it cannot.
using CollisionFaceReader = bool (*)(const GeomFace* face, CollisionFaceView* out);
// The reader of the geometry layer's faces is the default; tests may install their own, and
// null puts the default back.
void Collision_SetFaceReader(CollisionFaceReader reader);

// ---- small vector and matrix helpers -----------------------------------------------------
// 1 when every component squared is below 9.999999e-9.
int Vec3_IsNearZero(const Vector& v);
Vector Vec3_Negate(const Vector& v);
// out = the rotation from the Euler angles -s*v (pitch, yaw, roll) turned by m: m spun by the
// angular velocity v (own frame) over s seconds. out may alias m.
void Matrix_PreRotate(Matrix& out, const Matrix& m, const Vector& v, float s);

// ---- primitives --------------------------------------------------------------------------
// Swept spheres over [0, dt]: the time of closest approach (clamped to 0..dt) and the
// separation there; 1 when it is within R. Two bodies at rest never touch.
int Collision_SweptSpheres(const Vector& cA, const Vector& vA, const Vector& cB, const Vector& vB, float R, float dt,
                           float* outT, Vector* outSeparation);
// The interval of t in which p + v t lies in [lo, hi]; 1 when it exists and ends at 0 or later.
int Collision_Slab(float p, float v, float lo, float hi, float* tIn, float* tOut);
// A moving point against an axis-aligned box grown by margin. Outputs the entry time and the
// entered face's outward normal. A point starting more than 0.1 (plus margin) inside is no hit.
int Collision_SweptPointBox(const Vector& p, const Vector& v, const Vector& min, const Vector& max, float longest,
                            float margin, float* outT, Vector* outNormal);
// A ray p + v t, 0 <= t <= longest, against the front faces of the set: the nearest t and its
// polygon's normal.
int Collision_RayPolySet(const Vector& p, const Vector& v, const CollisionPolySet* set, float longest, float* outT,
                         Vector* outNormal);
// Whether the point lies in the polygon's projection along its dominant normal axis; points on
// an edge (any edge) are inside.
int Collision_PointInPolygon(const CollisionPoly* poly, const Vector* vertices, const Vector& p);
// The same in the ground plane (x, z) whatever the normal.
int Collision_PointInPolygonXZ(const CollisionPoly* poly, const Vector* vertices, float x, float z);
float Collision_PolyPlaneHeight(const CollisionPoly* poly, float x, float z);

// Velocity in world space of a point fixed in the entity's own frame: each level from the
// entity up to its root adds its spin and its linear velocity (Classfnc_GetDynamics).
Vector Collision_PointVelocity(const Vector& point, Entity* entity);

// ---- shapes ------------------------------------------------------------------------------
// Chooses the record's shape by its entity's type code: box entities (1, 3, 4) keep their kind
// and widen the radius to the collision box's rim; 2, 5, 6, 7, 15 (part boxes) and 8, 10 (part
// meshes) become part hierarchies.
void Collision_ChooseShape(EntityTableRecord* record);
// Chooses the part mode of the entity, its later siblings and all descendants; matrix is the
// placement of the entity's parent in the world (identity for a root).
void Collision_SetPartModes(Entity* entity, const Matrix& parentMatrix, uint32_t defaultMode);
// The entity's geometry as a world-space polygon set under the matrix; null when it cannot.
CollisionPolySet* Collision_BuildPolySet(const Entity* entity, const Matrix& matrix);
void Collision_FreePolySet(Entity* entity);
// Every mesh part of the subtree (the entity, its descendants, not its siblings).
void Collision_FreePolySets(Entity* entity);

// A box taking part in a test.
struct CollisionBoxInput {
    Vector centre;    // world
    Vector velocity;  // world
    float radius;
    Entity* entity;  // the box's frame: the record's root, or a part in part walks
    Entity* owner;   // the record's root: the entity the bodies name
    Vector boxMin, boxMax;  // the entity's own frame
    Matrix matrix;          // the entity's frame to the world
};
// The box of a record of shape kind 1 as it stands now (centre and velocity included).
void Collision_BoxInputFromRecord(CollisionBoxInput& out, EntityTableRecord* record);

// The earliest contact of the box with the other record's shape before `longest`; fills both
// bodies (hit flag, time, entity, dynamics, point, velocity, normal) and returns 1.
int Collision_TestBox(const CollisionBoxInput& box, EntityTableRecord* other, float longest,
                      CollisionBody* bodyOther, CollisionBody* bodyBox);
int Collision_RimVsBox(const CollisionBoxInput& sampler, const CollisionBoxInput& entered, float longest,
                       CollisionBody* bodySampler, CollisionBody* bodyEntered);
// The sphere: world centre, the point it is fixed to (centre in `sphereEntity`'s frame) and
// its radius already scaled.
int Collision_BoxVsSphere(const CollisionBoxInput& box, const Vector& localCentre, Entity* sphereEntity,
                          Entity* sphereOwner, float radius, float longest, CollisionBody* bodySphere,
                          CollisionBody* bodyBox);
int Collision_RimVsMesh(const CollisionBoxInput& box, const CollisionPolySet* set, Entity* meshOwner, float longest,
                        CollisionBody* bodyMesh, CollisionBody* bodyBox);
int Collision_BoxVsParts(const CollisionBoxInput& box, Entity* root, float longest, CollisionBody* bodyParts,
                         CollisionBody* bodyBox);

// A swept point or small sphere (ordnance) against one record's shape: kind 1 its box, kind 2
// the record itself, kind 3 its parts. On a hit stores the entity hit (the record's root) and
// the time, and returns 1.
struct CollisionProbe {
    Vector start;     // world
    Vector velocity;  // world
    float radius;     // 0 for a point
    float longest;    // seconds
};
int Collision_TestByShape(const CollisionProbe& probe, EntityTableRecord* record, Entity** outHit, float* outT);

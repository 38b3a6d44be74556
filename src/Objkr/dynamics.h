// Motion and contact records shared by the entity classes, the collision pass and the game
// objects.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct Entity;

// The motion record of an entity: all floats.
struct EntityDynamics {
    float mass;
    float invMass;
    float speed;     // length of the linear velocity
    float invSpeed;  // 1e30 at speed 0
    float factorK;
    float massOverK;
    Vector velocity;         // in the parent's frame
    Vector angularVelocity;  // radians per second, in the entity's own frame
    Vector acceleration;
    Vector angularAcceleration;
};

// The rest state: mass 0, inverse mass 1e30, speed 0, inverse speed 1e30, factors 1 and 0,
// every vector zero.
void EntityDynamics_Init(EntityDynamics& d);
// mass = mass; inverse mass = 1/mass only when mass > 0.0001 (else left as it was);
// factor k = k; mass/k when k > 0.0001, else 1e10.
void EntityDynamics_SetMass(EntityDynamics& d, float mass, float k);

// One side of a contact, handed to the class collide operations.
struct CollisionBody {
    int32_t hit;  // 1 when filled
    Entity* entity;
    EntityDynamics dynamics;  // of the entity at the time of the test
    float time;               // seconds from the start of the frame; FLT_MAX when none
    Vector point;             // world
    Vector velocity;          // opposite on the two sides of one contact
    Vector normal;            // opposite on the two sides of one contact
};

// Zeroes the hit flag, the entity and the normal; the dynamics at rest.
void CollisionBody_Init(CollisionBody& body);

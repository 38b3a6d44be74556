#include "Objkr/dynamics.h"

void EntityDynamics_Init(EntityDynamics& d) {
    d = EntityDynamics{};
    d.mass = 0.0f;
    d.invMass = 1e30f;
    d.speed = 0.0f;
    d.invSpeed = 1e30f;
    d.factorK = 1.0f;
    d.massOverK = 0.0f;
}

void EntityDynamics_SetMass(EntityDynamics& d, float mass, float k) {
    d.mass = mass;
    if (mass > 0.0001f) d.invMass = 1.0f / mass;
    d.factorK = k;
    d.massOverK = k > 0.0001f ? mass / k : 1e10f;
}

void CollisionBody_Init(CollisionBody& body) {
    body.hit = 0;
    body.entity = nullptr;
    body.normal = Vector{0.0f, 0.0f, 0.0f};
    EntityDynamics_Init(body.dynamics);
}

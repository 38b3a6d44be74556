// Shots that fall: the grenade (a rocket under gravity that keeps its nose along its path and
// throws debris where it lands), the bounce bomb (a grenade that bounces off what it meets and
// can come to rest) and the anchor (a rocket that hooks the object it hits and brakes it).
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/rocket.h"

// Gravity (m/s^2) and its half, which the grenade applies before and after each move.
constexpr float kGravity = 9.8f;
constexpr float kHalfGravity = 4.9f;
// A grenade within this height of the ground when it hits has landed: it throws its chunks there.
constexpr float kGrenadeLandingHeight = 0.5f;
constexpr int kGrenadeChunks = 20;
// A bounce below these speeds (m/s) brings a bounce bomb to rest: off terrain, off an object.
constexpr float kBounceRestTerrain = 5.0f;
constexpr float kBounceRestObject = 1.0f;

class GrenadeClass : public RocketClass {
public:
    // The prototype: lives until it hits, speed 50, cost 10, second damage value 500, hits
    // reported.
    GrenadeClass(const char* classLabel, uint32_t classSignature);
    GrenadeClass(GrenadeClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
};

class Grenade : public Rocket {
public:
    using Rocket::Rocket;
    // Half the gravity before the rocket's move and half after; then the nose along the path.
    void Step(float dt) override;
    // Landed (within 0.5 of the ground): on the ground, 20 chunks and a scorch there; then the
    // bullet's hit.
    void Hit(Entity* hit, const Vector& normal) override;

protected:
    // What the bombs that bounce share. Off a surface of the normal: the velocity halved with
    // the whole of its part along the normal taken away (v/2 - n (v.n)); the speed follows.
    void Bounce(const Vector& normal);
    // The class's bounce sound (a name of up to 16 characters) on the bomb; none when empty.
    void PlayBounceSound(const char (&sound)[16]);
    // In a network game the bomb's owner sends the bounce so every machine goes on from the
    // same point: a zero-length step (in which a hit is no bounce), the matrix rounded as the
    // record carries it, the same speed along the new nose, and the shot goes out again as
    // launched now. Nothing on other machines or in a single-player game.
    void SendBounce();
    // Set while the network bounce runs its zero-length step, which must not bounce again.
    bool InBounceStep() const { return inBounceStep_; }

private:
    bool inBounceStep_ = false;
};

class BounceBombClass : public GrenadeClass {
public:
    BounceBombClass(const char* classLabel, uint32_t classSignature);
    BounceBombClass(BounceBombClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    char bounceSound[16] = {};
};

class BounceBomb : public Grenade {
public:
    using Grenade::Grenade;
    // Flying: the grenade's step; at rest: still, on the floor under it. Either way a life run
    // out ends it in its ground explosion. The life only runs down in flight.
    void Step(float dt) override;
    // An object outside the standing kinds: the grenade's hit. Otherwise the bomb bounces at
    // half speed and rests when slower than the threshold; in a network game its owner sends
    // the bounce so every machine goes on from the same point.
    void Hit(Entity* hit, const Vector& normal) override;

    bool Resting() const { return !Flying(); }
};

class AnchorClass : public RocketClass {
public:
    AnchorClass(const char* classLabel, uint32_t classSignature);
    AnchorClass(AnchorClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float linearBrake = 10.0f;   // m/s taken off the hooked object's speed each second
    float angularBrake = 10.0f;  // rad/s taken off its turn each second
    float holdTime = 5.0f;       // seconds the hook holds
};

class Anchor : public Rocket {
public:
    using Rocket::Rocket;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Remove() override;
    // Unhooked: the rocket's step. Hooked: rides on the object and brakes it until the hold
    // runs out; ends at once when the object is gone.
    void Step(float dt) override;
    // The bullet's hit; on an object the anchor lives on, hooked to it for the hold time.
    void Hit(Entity* hit, const Vector& normal) override;

    AnchorClass& Class() const { return *static_cast<AnchorClass*>(ordnanceClass); }

    uint32_t hooked = 0;  // handle of the hooked object
    Matrix relative = kIdentityMatrix;
};

// The prototypes of the labels built here (grenade, bouncebomb, anchor); null for any other.
std::unique_ptr<OrdnanceClass> Grenade_MakeOrdnancePrototype(const char* label, uint32_t signature);

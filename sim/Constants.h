#pragma once
// Tuning constants of the fire. Units: world units for lengths, time units
// for times (one step is 0.5), force in mass * length / time^2.

#include <cstdint>
#include <cstring>

// Length of one step, time units. Usual 0.5. Larger steps make the pair
// force's push (unbounded below distance 2) throw particles apart.
constexpr float kTimeStep = 0.5f;

// Upward force after each reset, along +y. Usual 2.0; it is what makes the fire rise.
constexpr float kUpwardForce = 2.0f;

// Per-axis clamp of the total force. Usual +-4 on x and z, -2..4 on y: the
// lower y limit keeps particles from falling faster than they rise.
constexpr float kForceLimitXZ = 4.0f;
constexpr float kForceLimitYLow = -2.0f;
constexpr float kForceLimitYHigh = 4.0f;

// Pair force: k(d) = kRepulsion / d^4 - kAttraction / d^2, zero at d = 2.
// Cut-off 7.0 must equal the grid's cell size, or the 27-cell query misses pairs.
constexpr double kPairCutoff = 7.0;
constexpr double kRepulsion = 10.0;
constexpr double kAttraction = 2.5;
constexpr float kGridCellSize = 7.0f;

// Emission: particles start kEmissionOffset from the generator's centre,
// outside its sphere of radius 4. Mass 5.0; lifetime 8 to 10 time units.
constexpr double kEmissionOffset = 4.5;
constexpr float kEmissionMass = 5.0f;
constexpr double kBaseLifetime = 8.0;

// Particles activated per warm-up pass. Usual 10; the warm-up takes
// ceil(capacity / 10) steps, so a larger value shortens it but starts more
// particles at once from the same few places.
constexpr int32_t kWarmUpBatch = 10;

// The random scales are single-precision values given by their bit patterns
// and used as stored, never recomputed in double.
inline float floatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
inline const float kUnitScale = floatFromBits(0x38000100u);      // nearest float to 1/32767
inline const float kAzimuthScale = floatFromBits(0x39490FE8u);   // nearest float to 6.283/32767
inline const float kLifetimeScale = floatFromBits(0x38800100u);  // twice kUnitScale

#pragma once
// An emitter: a point with an emission axis, a cone and a speed range, drawn
// as an orange sphere by its own subgraph.

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

class SoMaterial;
class SoSeparator;
class SoSphere;
class SoTransform;

struct Generator {
    // Non-owning: separator holds the three children, and the scene graph
    // holds separator once it is a child of root. No reference count taken here.
    SoSeparator *separator;
    SoTransform *transform;   // translation always equals position
    SoMaterial *material;     // diffuseColor (1.0, 0.7, 0.0)
    SoSphere *sphere;         // radius 4.0

    SbVec3f position;         // world units
    SbVec3f direction;        // emission axis as given, not normalised
    float spread;             // half-range of the polar angle, radians
    float minSpeed;           // world units per time unit
    float maxSpeed;
    SbRotation orientation;   // takes +Z onto direction

    Generator(float x, float y, float z, float dirX, float dirY, float dirZ,
              float spreadRadians, float lowestSpeed, float highestSpeed);

    void setPosition(float x, float y, float z);
    void setDirection(float x, float y, float z);
    void setSpread(float spreadRadians);
    void setSpeedRange(float lowestSpeed, float highestSpeed);

    float getX() const { return position[0]; }
    float getY() const { return position[1]; }
    float getZ() const { return position[2]; }
};

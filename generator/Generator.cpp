#include "generator/Generator.h"

#include <Inventor/nodes/SoMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTransform.h>

namespace {
const SbVec3f kLocalAxis(0.0f, 0.0f, 1.0f);   // emission is built around +Z
constexpr float kSphereRadius = 4.0f;         // world units; emission starts at 4.5
}  // namespace

Generator::Generator(float x, float y, float z, float dirX, float dirY, float dirZ,
                     float spreadRadians, float lowestSpeed, float highestSpeed)
    : position(x, y, z), direction(dirX, dirY, dirZ) {
    orientation.setValue(kLocalAxis, direction);
    spread = spreadRadians;
    minSpeed = lowestSpeed;
    maxSpeed = highestSpeed;

    separator = new SoSeparator;

    transform = new SoTransform;
    transform->translation.setValue(position[0], position[1], position[2]);
    separator->addChild(transform);

    material = new SoMaterial;
    material->diffuseColor.setValue(1.0f, 0.7f, 0.0f);
    separator->addChild(material);

    sphere = new SoSphere;
    sphere->radius = kSphereRadius;
    separator->addChild(sphere);
}

void Generator::setPosition(float x, float y, float z) {
    position.setValue(x, y, z);
    transform->translation.setValue(x, y, z);
}

void Generator::setDirection(float x, float y, float z) {
    direction.setValue(x, y, z);
    orientation.setValue(kLocalAxis, direction);
}

void Generator::setSpread(float spreadRadians) { spread = spreadRadians; }

void Generator::setSpeedRange(float lowestSpeed, float highestSpeed) {
    minSpeed = lowestSpeed;
    maxSpeed = highestSpeed;
}

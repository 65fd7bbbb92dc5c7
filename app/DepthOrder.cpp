#include "app/DepthOrder.h"

#include <Inventor/SbBox3f.h>
#include <Inventor/SbMatrix.h>
#include <Inventor/SbPlane.h>
#include <Inventor/SbVec3f.h>
#include <Inventor/SbViewVolume.h>
#include <Inventor/SoFullPath.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/caches/SoBoundingBoxCache.h>
#include <Inventor/elements/SoModelMatrixElement.h>
#include <Inventor/elements/SoViewVolumeElement.h>
#include <Inventor/elements/SoViewportRegionElement.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/nodes/SoSphere.h>

#include <cstring>

namespace {

// The plane through the eye across the view, for the latest view volume:
// the same for every shape of a frame. Touched only on the GUI thread.
// The volume is kept as its bytes: equal bytes give the very same plane.
struct EyePlane {
    bool set = false;
    unsigned char volume[sizeof(SbViewVolume)];
    SbPlane plane;
};
EyePlane eyePlane;

const SbPlane &planeThroughEye(const SbViewVolume &volume) {
    if (!eyePlane.set || std::memcmp(eyePlane.volume, &volume, sizeof volume) != 0) {
        std::memcpy(eyePlane.volume, &volume, sizeof volume);
        eyePlane.plane = volume.getPlane(0.0f);
        eyePlane.set = true;
    }
    return eyePlane.plane;
}

// For a tail that is no shape: Coin's own way, the bounding box of the whole
// path. Created on first use, lives until the process ends.
SoGetBoundingBoxAction *pathBoxAction = nullptr;

}  // namespace

void orderByShapeCentre(SoGLRenderAction *action) {
    action->setSortedObjectOrderStrategy(SoGLRenderAction::CUSTOM_CALLBACK, shapeCentreDepth, nullptr);
}

float shapeCentreDepth(void *, SoGLRenderAction *action) {
    SoState *state = action->getState();
    SoNode *tail = static_cast<const SoFullPath *>(action->getCurPath())->getTail();
    const SbPlane &plane = planeThroughEye(SoViewVolumeElement::get(state));

    SbVec3f centre(0.0f, 0.0f, 0.0f);   // in the shape's own space
    if (tail != nullptr && tail->getTypeId() == SoSphere::getClassTypeId()) {
        // A sphere's box is centred on its own origin, whatever its radius:
        // the centre computeBBox gives, without the call.
    } else if (tail != nullptr && tail->isOfType(SoShape::getClassTypeId())) {
        SoShape *shape = static_cast<SoShape *>(tail);
        const SoBoundingBoxCache *cache = shape->getBoundingBoxCache();
        if (cache != nullptr && cache->isValid(state)) {
            centre = cache->isCenterSet() ? cache->getCenter() : cache->getProjectedBox().getCenter();
        } else {
            SbBox3f box;
            shape->computeBBox(action, box, centre);
        }
    } else {
        if (pathBoxAction == nullptr)
            pathBoxAction = new SoGetBoundingBoxAction(SoViewportRegionElement::get(state));
        pathBoxAction->setViewportRegion(SoViewportRegionElement::get(state));
        pathBoxAction->apply(const_cast<SoPath *>(action->getCurPath()));
        return -plane.getDistance(pathBoxAction->getBoundingBox().getCenter());   // world space already
    }
    SoModelMatrixElement::get(state).multVecMatrix(centre, centre);
    return -plane.getDistance(centre);
}

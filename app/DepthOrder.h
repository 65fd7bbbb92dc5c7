#pragma once
// The order in which the render action draws the translucent shapes under
// SORTED_OBJECT_ADD, far to near.

class SoGLRenderAction;

// Has action order its translucent shapes with shapeCentreDepth.
void orderByShapeCentre(SoGLRenderAction *action);

// The sort key of the shape at the end of action's current path: the key
// Coin's own BBOX_CENTER strategy gives, bit for bit (minus the distance of
// the shape's bounding-box centre, in world space, from the plane through
// the eye across the view), so the order and the picture stay the same.
float shapeCentreDepth(void *userData, SoGLRenderAction *action);

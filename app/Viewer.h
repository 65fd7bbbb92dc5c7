#pragma once
// The examiner viewer that shows the scene, and the frame-rate display.

#include "app/Toolkit.h"

class SoNode;

// The viewer on mainWindow: null name, embedded, full decoration, browser
// type, showing root, titled "Glimra", sorted additive transparency for the
// translucent particles, viewing mode off (events reach the scene graph).
// Shown before it returns. Owned by the caller, deleted before root is
// released.
toolkit::ExaminerViewer *createViewer(toolkit::Window mainWindow, SoNode *root);

// COIN_SHOW_FPS_COUNTER=1, replacing any value: the viewer draws its frame rate.
void showFrameRate();

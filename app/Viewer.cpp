#include "app/Viewer.h"

#include <Inventor/C/tidbits.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/nodes/SoNode.h>

toolkit::ExaminerViewer *createViewer(toolkit::Window mainWindow, SoNode *root) {
    toolkit::ExaminerViewer *viewer =
        new toolkit::ExaminerViewer(mainWindow, nullptr, TRUE, toolkit::kBuildAll, toolkit::kBrowser);
    viewer->setSceneGraph(root);
    viewer->setTitle("Glimra");
    viewer->setTransparencyType(SoGLRenderAction::SORTED_OBJECT_ADD);
    viewer->setViewing(FALSE);
    viewer->show();
    return viewer;
}

void showFrameRate() { coin_setenv("COIN_SHOW_FPS_COUNTER", "1", 1); }

// The program's order of the translucent shapes against Coin's own
// BBOX_CENTER order, in the program's viewer on a real GL context: the very
// same sequence of shapes drawn, and the very same pixels, for the fire as
// start-up builds it, for particles on exactly tied and on far-off places,
// and for other shapes under rotated, scaled and centred transforms.
// Needs a display: run under Xvfb (tests/window/under_xvfb.py).

#include "app/DepthOrder.h"
#include "app/Toolkit.h"
#include "app/Viewer.h"
#include "generator/Generator.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SbRotation.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoCamera.h>
#include <Inventor/nodes/SoCone.h>
#include <Inventor/nodes/SoCoordinate3.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoCylinder.h>
#include <Inventor/nodes/SoIndexedFaceSet.h>
#include <Inventor/nodes/SoMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoSubNode.h>
#include <Inventor/nodes/SoTransform.h>
#include <Inventor/sensors/SoOneShotSensor.h>
#include <Inventor/system/gl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// A translucent node that is no shape: it asks to be delayed like one and
// has a box off its origin. Draws nothing.
class DelayedBox : public SoNode {
    SO_NODE_HEADER(DelayedBox);

public:
    static void initClass() { SO_NODE_INIT_CLASS(DelayedBox, SoNode, "Node"); }
    DelayedBox() { SO_NODE_CONSTRUCTOR(DelayedBox); }

    void GLRender(SoGLRenderAction *action) override { action->handleTransparency(TRUE); }
    void getBoundingBox(SoGetBoundingBoxAction *action) override {
        action->extendBy(SbBox3f(-1.0f, -3.0f, 0.5f, 2.0f, 1.0f, 4.0f));
    }

protected:
    ~DelayedBox() override = default;
};
SO_NODE_SOURCE(DelayedBox);

namespace {

toolkit::ExaminerViewer *viewer = nullptr;   // the one window of the run
std::vector<int> *drawn = nullptr;           // ids of the translucent shapes, as drawn

// Placed right before a translucent shape: notes its id when the sorted
// translucent pass reaches it.
void noteDrawn(void *id, SoAction *action) {
    if (drawn != nullptr && action->isOfType(SoGLRenderAction::getClassTypeId()) &&
        static_cast<SoGLRenderAction *>(action)->isRenderingTranspPaths())
        drawn->push_back(static_cast<int>(reinterpret_cast<intptr_t>(id)));
}

SoCallback *recorder(int id) {
    SoCallback *callback = new SoCallback;
    callback->setCallback(noteDrawn, reinterpret_cast<void *>(static_cast<intptr_t>(id)));
    return callback;
}


struct Frame {
    std::vector<int> order;
    std::vector<unsigned char> pixels;
};

Frame draw(SoGLRenderAction::SortedObjectOrderStrategy strategy) {
    SoGLRenderAction *action = viewer->getGLRenderAction();
    if (strategy == SoGLRenderAction::CUSTOM_CALLBACK)
        orderByShapeCentre(action);
    else
        action->setSortedObjectOrderStrategy(strategy);
    Frame frame;
    drawn = &frame.order;
    viewer->render();
    drawn = nullptr;
    const SbVec2s size = viewer->getViewportRegion().getViewportSizePixels();
    frame.pixels.resize(static_cast<size_t>(size[0]) * size[1] * 4);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size[0], size[1], GL_RGBA, GL_UNSIGNED_BYTE, frame.pixels.data());
    return frame;
}

enum class View { Home, Turned, Inside };

void look(View view, SoNode *scene) {
    SoCamera *camera = viewer->getCamera();
    camera->orientation.setValue(SbRotation::identity());
    if (view == View::Turned) camera->orientation.setValue(SbVec3f(1.0f, 1.0f, 0.0f), 0.7f);
    viewer->viewAll();
    if (view == View::Inside) {
        // Half of the shapes behind the eye: keys of both signs and near zero.
        SoGetBoundingBoxAction box(viewer->getViewportRegion());
        box.apply(scene);
        camera->position = box.getBoundingBox().getCenter();
    }
}

// Draws scene both ways and compares; expected is how many shapes are
// translucent. From inside, the shapes behind the eye may be culled.
void expectSameOrderAndPicture(SoSeparator *scene, size_t expected, View view) {
    viewer->setSceneGraph(scene);
    look(view, scene);
    const Frame coin = draw(SoGLRenderAction::BBOX_CENTER);
    const Frame ours = draw(SoGLRenderAction::CUSTOM_CALLBACK);
    if (view == View::Inside) {
        ASSERT_GE(coin.order.size(), 10u);
        ASSERT_LE(coin.order.size(), expected);
    } else {
        ASSERT_EQ(coin.order.size(), expected);
    }
    std::vector<int> byIndex(coin.order);
    for (size_t i = 0; i < byIndex.size(); ++i) byIndex[i] = static_cast<int>(i);
    EXPECT_NE(coin.order, byIndex) << "the view sorts nothing; the comparison would prove nothing";
    EXPECT_EQ(ours.order, coin.order);
    EXPECT_TRUE(ours.pixels == coin.pixels) << "the pictures differ";
    viewer->setSceneGraph(nullptr);
}

enum class Places { AsStepped, FourTiedPlaces, FarAndFractional };

struct FireCase {
    const char *name;
    int32_t generators, particles, steps;
    Places places;
    View view;
};

class FireOrderTest : public ::testing::TestWithParam<FireCase> {};

TEST_P(FireOrderTest, SameOrderAndPictureAsCoin) {
    const FireCase &c = GetParam();
    Fire fire = startFire(c.generators, c.particles);
    for (int32_t s = 0; s < c.steps; ++s) fire.system->step();
    static const float kTied[4][3] = {{0.1f, 3.3f, -0.7f}, {-2.9f, 8.1f, 1.3f}, {0.1f, 3.3f, -0.7f}, {4.4f, 0.0f, 6.6f}};
    for (int32_t i = 0; i < c.particles; ++i) {
        Particle &p = fire.system->particles[i];
        if (c.places == Places::FourTiedPlaces)
            p.transform->translation.setValue(kTied[i % 4][0], kTied[i % 4][1], kTied[i % 4][2]);
        else if (c.places == Places::FarAndFractional)
            p.transform->translation.setValue(12345.678f + 0.001f * static_cast<float>(i % 7),
                                              -0.000123f * static_cast<float>(i), 98765.43f - static_cast<float>(i % 13));
        p.separator->insertChild(recorder(i), 1);
    }
    expectSameOrderAndPicture(fire.root, static_cast<size_t>(c.particles), c.view);
    fire.root->unref();
    delete fire.system;
    for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
}

INSTANTIATE_TEST_SUITE_P(
    Fires, FireOrderTest,
    ::testing::Values(FireCase{"Default", 1, 400, 0, Places::AsStepped, View::Home},
                      FireCase{"DefaultTurned", 1, 400, 50, Places::AsStepped, View::Turned},
                      FireCase{"ThreeInside", 3, 3000, 20, Places::AsStepped, View::Inside},
                      FireCase{"Tied", 2, 600, 0, Places::FourTiedPlaces, View::Home},
                      FireCase{"TiedTurned", 2, 600, 0, Places::FourTiedPlaces, View::Turned},
                      FireCase{"Far", 1, 300, 0, Places::FarAndFractional, View::Home},
                      FireCase{"FarTurned", 1, 300, 0, Places::FarAndFractional, View::Turned}),
    [](const ::testing::TestParamInfo<FireCase> &info) { return std::string(info.param.name); });

// Shapes of every kind the key handles: spheres, other shapes (some with a
// bounding-box cache), and a node that is no shape.
SoSeparator *mixedScene(int perKind) {
    SoSeparator *root = new SoSeparator;
    root->ref();
    SoMaterial *material = new SoMaterial;
    material->diffuseColor.setValue(0.2f, 0.5f, 1.0f);
    material->transparency = 0.5f;
    root->addChild(material);
    int id = 0;
    for (int k = 0; k < perKind; ++k) {
        for (int kind = 0; kind < 6; ++kind) {
            SoSeparator *separator = new SoSeparator;
            SoTransform *transform = new SoTransform;
            const float t = static_cast<float>(k * 6 + kind);
            transform->translation.setValue(7.3f * static_cast<float>(k % 5) - 0.37f * t,
                                            1.1f * static_cast<float>(kind) + 0.013f * t,
                                            -2.9f * static_cast<float>(k % 3) + 0.21f * t);
            transform->rotation.setValue(SbVec3f(0.3f + t, 1.0f, -0.5f), 0.1f * t);
            transform->scaleFactor.setValue(1.0f + 0.1f * static_cast<float>(kind), 0.7f, 1.3f);
            transform->center.setValue(0.5f, -1.0f, 0.25f * static_cast<float>(k % 4));
            separator->addChild(transform);
            separator->addChild(recorder(id++));
            switch (kind) {
            case 0: separator->addChild(new SoSphere); break;
            case 1: separator->addChild(new SoCube); break;
            case 2: separator->addChild(new SoCone); break;
            case 3: separator->addChild(new SoCylinder); break;
            case 4: {
                // A triangle off its origin: its box centre is not (0, 0, 0).
                SoCoordinate3 *points = new SoCoordinate3;
                points->point.set1Value(0, SbVec3f(1.0f, 2.0f, 3.0f));
                points->point.set1Value(1, SbVec3f(4.0f, 2.5f, 3.0f));
                points->point.set1Value(2, SbVec3f(1.5f, 6.0f, 3.5f));
                separator->addChild(points);
                SoIndexedFaceSet *faces = new SoIndexedFaceSet;
                const int32_t indices[] = {0, 1, 2, -1};
                faces->coordIndex.setValues(0, 4, indices);
                separator->addChild(faces);
                break;
            }
            default: separator->addChild(new DelayedBox); break;
            }
            root->addChild(separator);
        }
    }
    return root;
}

class MixedOrderTest : public ::testing::TestWithParam<View> {};

TEST_P(MixedOrderTest, SameOrderAndPictureAsCoin) {
    SoSeparator *scene = mixedScene(20);
    // Once with no bounding-box caches, once after a box action has left
    // the shapes theirs.
    expectSameOrderAndPicture(scene, 120, GetParam());
    SoGetBoundingBoxAction box(SbViewportRegion(100, 100));
    box.apply(scene);
    expectSameOrderAndPicture(scene, 120, GetParam());
    scene->unref();
}

INSTANTIATE_TEST_SUITE_P(Views, MixedOrderTest, ::testing::Values(View::Home, View::Turned, View::Inside));

int status = 1;
toolkit::Window window = nullptr;

void runTests(void *, SoSensor *) {
    status = RUN_ALL_TESTS();
    toolkit::close(window);
}

SoOneShotSensor *startTests = nullptr;

// The tests start from the event loop once the first frame is drawn: the
// GL context is then ready for synchronous redraws.
void onFirstFrame(void *, SoGLRenderAction *action) {
    action->removePreRenderCallback(onFirstFrame, nullptr);
    startTests->schedule();
}

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    window = toolkit::init(argc, argv, "quendar_depth_order_tests");
    DelayedBox::initClass();
    SoSeparator *empty = new SoSeparator;
    empty->ref();
    viewer = createViewer(window, empty);
    startTests = new SoOneShotSensor(runTests, nullptr);
    viewer->getGLRenderAction()->addPreRenderCallback(onFirstFrame, nullptr);
    toolkit::show(window);
    toolkit::mainLoop();
    delete viewer;
    delete startTests;
    empty->unref();
    return status;
}

// The program's scene as its start-up leaves it, built headless (Coin needs no
// display to build and inspect nodes): the shared start-up steps, then the
// keyboard node inserted first.

#include "app/Keyboard.h"
#include "generator/Generator.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/SoPath.h>
#include <Inventor/nodes/SoComplexity.h>
#include <Inventor/nodes/SoEventCallback.h>
#include <Inventor/nodes/SoMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShapeHints.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTransform.h>

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

struct ProgramScene {
    Fire fire;
    SoEventCallback *eventCallback;
};

ProgramScene buildScene(int32_t generators, int32_t particles) {
    SoDB::init();
    ProgramScene scene;
    scene.fire = startFire(generators, particles);
    scene.eventCallback = createEventCallback(scene.fire.root, scene.fire.steered);
    return scene;
}

// Start-up never frees these; a test does, so that leak checking stays quiet.
void releaseScene(ProgramScene &scene) {
    scene.fire.root->unref();
    delete scene.fire.system;
    for (int32_t i = 0; i < scene.fire.generatorCount; ++i) delete scene.fire.generators[i];
}

class SceneTest : public ::testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(SceneTest, TreeHasTheLayoutOfTheProgram) {
    const auto [g, n] = GetParam();
    ProgramScene scene = buildScene(g, n);
    SoSeparator *root = scene.fire.root;
    ASSERT_NE(scene.fire.system, nullptr);

    // root: eventCallback, shape hints, the generators in creation order, particleGroup.
    ASSERT_EQ(root->getNumChildren(), g + 3);
    EXPECT_EQ(root->getChild(0), scene.eventCallback);
    ASSERT_TRUE(root->getChild(1)->isOfType(SoShapeHints::getClassTypeId()));
    const SoShapeHints *hints = static_cast<SoShapeHints *>(root->getChild(1));
    EXPECT_EQ(hints->vertexOrdering.getValue(), SoShapeHints::COUNTERCLOCKWISE);
    EXPECT_EQ(hints->shapeType.getValue(), SoShapeHints::SOLID);
    EXPECT_TRUE(hints->faceType.isDefault());
    EXPECT_TRUE(hints->creaseAngle.isDefault());
    const float expectedX[3][3] = {{0.0f}, {20.0f, 0.0f}, {-20.0f, 20.0f, 0.0f}};
    for (int32_t i = 0; i < g; ++i) {
        const Generator *generator = scene.fire.generators[i];
        EXPECT_EQ(root->getChild(2 + i), generator->separator) << "generator " << i;
        EXPECT_EQ(generator->position, SbVec3f(expectedX[g - 1][i], 0.0f, 0.0f));
    }
    EXPECT_EQ(scene.fire.steered->position, SbVec3f(0.0f, 0.0f, 0.0f));
    SoSeparator *group = scene.fire.particleGroup.group;
    EXPECT_EQ(root->getChild(g + 2), group);

    // particleGroup: complexity, material, then one separator per particle.
    ASSERT_EQ(group->getNumChildren(), n + 2);
    ASSERT_TRUE(group->getChild(0)->isOfType(SoComplexity::getClassTypeId()));
    const SoComplexity *complexity = static_cast<SoComplexity *>(group->getChild(0));
    EXPECT_FLOAT_EQ(complexity->value.getValue(), 0.1f);
    EXPECT_TRUE(complexity->type.isDefault());
    EXPECT_TRUE(complexity->textureQuality.isDefault());
    ASSERT_TRUE(group->getChild(1)->isOfType(SoMaterial::getClassTypeId()));
    const SoMaterial *material = static_cast<SoMaterial *>(group->getChild(1));
    ASSERT_EQ(material->diffuseColor.getNum(), 1);
    EXPECT_EQ(material->diffuseColor[0], SbColor(1.0f, 0.3f, 0.0f));
    ASSERT_EQ(material->transparency.getNum(), 1);
    EXPECT_EQ(material->transparency[0], 0.6f);
    for (const SoField *untouched : {static_cast<const SoField *>(&material->ambientColor),
                                     static_cast<const SoField *>(&material->specularColor),
                                     static_cast<const SoField *>(&material->emissiveColor),
                                     static_cast<const SoField *>(&material->shininess)})
        EXPECT_TRUE(untouched->isDefault());

    const SoSphere *sphere = scene.fire.particleGroup.sphere;
    EXPECT_EQ(sphere->radius.getValue(), 2.0f);
    std::set<const SoNode *> transforms;
    for (int32_t i = 0; i < n; ++i) {
        const Particle &particle = scene.fire.system->particles[i];
        SoNode *child = group->getChild(2 + i);
        ASSERT_EQ(child, particle.separator) << "particle " << i;
        ASSERT_EQ(particle.separator->getNumChildren(), 2);
        EXPECT_EQ(particle.separator->getChild(0), particle.transform);
        EXPECT_EQ(particle.separator->getChild(1), sphere);
        transforms.insert(particle.transform);
    }
    EXPECT_EQ(transforms.size(), static_cast<size_t>(n)) << "every particle has its own transform";
    EXPECT_EQ(group->findChild(sphere), -1) << "the shared sphere hangs only under particles";
    EXPECT_EQ(scene.fire.system->activeCount, n);

    releaseScene(scene);
}

// The particle material and complexity must not reach the generator spheres:
// every path to a generator's sphere stays outside particleGroup.
TEST_P(SceneTest, GeneratorSpheresAreOutsideTheParticleGroup) {
    const auto [g, n] = GetParam();
    ProgramScene scene = buildScene(g, n);
    SoSearchAction search;
    search.setType(SoSphere::getClassTypeId());
    search.setInterest(SoSearchAction::ALL);
    search.apply(scene.fire.root);
    int generatorSpheres = 0;
    for (int p = 0; p < search.getPaths().getLength(); ++p) {
        const SoPath *path = search.getPaths()[p];
        if (path->getTail() == scene.fire.particleGroup.sphere) continue;
        ++generatorSpheres;
        EXPECT_FALSE(path->containsNode(scene.fire.particleGroup.group));
    }
    EXPECT_EQ(generatorSpheres, g);
    releaseScene(scene);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SceneTest,
                         ::testing::Values(std::make_tuple(1, 400), std::make_tuple(2, 300),
                                           std::make_tuple(3, 305)));

}  // namespace

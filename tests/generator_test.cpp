#include "generator/Generator.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTransform.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class GeneratorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SoDB::init(); }
};

void expectVec(const SbVec3f &actual, float x, float y, float z, float tolerance = 0.0f) {
    EXPECT_NEAR(actual[0], x, tolerance);
    EXPECT_NEAR(actual[1], y, tolerance);
    EXPECT_NEAR(actual[2], z, tolerance);
}

TEST_F(GeneratorTest, ConstructorBuildsItsSubgraph) {
    Generator g(1.0f, 2.0f, 3.0f, 0.0f, 1.0f, 0.0f, 2.5f, 0.5f, 1.0f);
    g.separator->ref();
    ASSERT_EQ(g.separator->getNumChildren(), 3);
    EXPECT_EQ(g.separator->getChild(0), static_cast<SoNode *>(g.transform));
    EXPECT_EQ(g.separator->getChild(1), static_cast<SoNode *>(g.material));
    EXPECT_EQ(g.separator->getChild(2), static_cast<SoNode *>(g.sphere));
    expectVec(g.transform->translation.getValue(), 1.0f, 2.0f, 3.0f);
    ASSERT_EQ(g.material->diffuseColor.getNum(), 1);
    EXPECT_EQ(g.material->diffuseColor[0], SbColor(1.0f, 0.7f, 0.0f));
    EXPECT_EQ(g.sphere->radius.getValue(), 4.0f);
    EXPECT_EQ(g.spread, 2.5f);
    EXPECT_EQ(g.minSpeed, 0.5f);
    EXPECT_EQ(g.maxSpeed, 1.0f);
    expectVec(g.direction, 0.0f, 1.0f, 0.0f);
    g.separator->unref();
}

TEST_F(GeneratorTest, OrientationTakesPlusZOntoTheDirection) {
    struct Case {
        float dx, dy, dz;
    };
    const Case cases[] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 3, 4}, {-1, -1, 0.5f}};
    for (const Case &c : cases) {
        Generator g(0, 0, 0, c.dx, c.dy, c.dz, 2.5f, 0.5f, 1.0f);
        g.separator->ref();
        SbVec3f turned;
        g.orientation.multVec(SbVec3f(0, 0, 1), turned);
        SbVec3f unit(c.dx, c.dy, c.dz);
        unit.normalize();
        expectVec(turned, unit[0], unit[1], unit[2], 1e-6f);
        g.separator->unref();
    }
    // Direction +Y: a quarter turn about -X.
    Generator up(0, 0, 0, 0, 1, 0, 2.5f, 0.5f, 1.0f);
    up.separator->ref();
    SbVec3f axis;
    float angle;
    up.orientation.getValue(axis, angle);
    EXPECT_NEAR(angle, static_cast<float>(M_PI / 2), 1e-6f);
    expectVec(axis, -1.0f, 0.0f, 0.0f, 1e-6f);
    up.separator->unref();
    // Direction +Z: the identity.
    Generator forward(0, 0, 0, 0, 0, 1, 2.5f, 0.5f, 1.0f);
    forward.separator->ref();
    EXPECT_TRUE(forward.orientation.equals(SbRotation::identity(), 0.0f));
    forward.separator->unref();
}

TEST_F(GeneratorTest, SettersUpdateStateAndOnlyPositionTouchesANode) {
    Generator g(0, 0, 0, 0, 1, 0, 2.5f, 0.5f, 1.0f);
    g.separator->ref();
    g.setPosition(-3.0f, 100000.0f, 0.25f);
    EXPECT_EQ(g.getX(), -3.0f);
    EXPECT_EQ(g.getY(), 100000.0f);
    EXPECT_EQ(g.getZ(), 0.25f);
    expectVec(g.transform->translation.getValue(), -3.0f, 100000.0f, 0.25f);

    g.setDirection(0, 0, 1);
    expectVec(g.direction, 0, 0, 1);
    EXPECT_TRUE(g.orientation.equals(SbRotation::identity(), 0.0f));

    g.setSpread(0.0f);
    g.setSpeedRange(2.0f, 3.0f);
    EXPECT_EQ(g.spread, 0.0f);
    EXPECT_EQ(g.minSpeed, 2.0f);
    EXPECT_EQ(g.maxSpeed, 3.0f);
    expectVec(g.transform->translation.getValue(), -3.0f, 100000.0f, 0.25f);
    EXPECT_EQ(g.separator->getNumChildren(), 3);
    g.separator->unref();
}

}  // namespace

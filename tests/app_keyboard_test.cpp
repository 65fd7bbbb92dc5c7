// Keyboard steering through the real scene: events go through an
// SoHandleEventAction applied to root, as the viewer delivers them.

#include "app/Keyboard.h"
#include "generator/Generator.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoDB.h>
#include <Inventor/actions/SoHandleEventAction.h>
#include <Inventor/events/SoKeyboardEvent.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

class KeyboardTest : public ::testing::Test {
protected:
    void build(int32_t generators) {
        SoDB::init();
        fire = startFire(generators, 300);
        ASSERT_NE(fire.system, nullptr);
        createEventCallback(fire.root, fire.steered);
    }
    void TearDown() override {
        if (fire.root == nullptr) return;
        fire.root->unref();
        delete fire.system;
        for (int32_t i = 0; i < fire.generatorCount; ++i) delete fire.generators[i];
    }

    // Sends one key event through root; returns whether it was handled.
    bool send(SoKeyboardEvent::Key key, SoButtonEvent::State state) {
        SoKeyboardEvent event;
        event.setKey(key);
        event.setState(state);
        SoHandleEventAction action(SbViewportRegion(640, 480));
        action.setEvent(&event);
        action.apply(fire.root);
        return action.isHandled();
    }
    bool press(SoKeyboardEvent::Key key) { return send(key, SoButtonEvent::DOWN); }

    SbVec3f steeredAt() const { return fire.steered->position; }
    SbVec3f sphereAt() const { return fire.steered->transform->translation.getValue(); }

    Fire fire{};
};

TEST_F(KeyboardTest, EachKeyPressMovesOneUnitAlongItsAxis) {
    build(1);
    struct Case {
        SoKeyboardEvent::Key key;
        SbVec3f move;
    };
    const Case cases[] = {
        {SoKeyboardEvent::UP_ARROW, SbVec3f(0, 0, -1)},
        {SoKeyboardEvent::DOWN_ARROW, SbVec3f(0, 0, 1)},
        {SoKeyboardEvent::LEFT_ARROW, SbVec3f(-1, 0, 0)},
        {SoKeyboardEvent::RIGHT_ARROW, SbVec3f(1, 0, 0)},
        {SoKeyboardEvent::PAGE_UP, SbVec3f(0, 1, 0)},
        {SoKeyboardEvent::PAGE_DOWN, SbVec3f(0, -1, 0)},
    };
    for (const Case &c : cases) {
        const SbVec3f before = steeredAt();
        EXPECT_TRUE(press(c.key)) << "key " << c.key;
        EXPECT_EQ(steeredAt(), before + c.move) << "key " << c.key;
        EXPECT_EQ(sphereAt(), steeredAt()) << "the sphere follows, key " << c.key;
    }
}

TEST_F(KeyboardTest, PageUpRaisesByExactlyOne) {
    build(1);
    EXPECT_TRUE(press(SoKeyboardEvent::PAGE_UP));
    EXPECT_EQ(steeredAt(), SbVec3f(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(sphereAt(), SbVec3f(0.0f, 1.0f, 0.0f));
}

TEST_F(KeyboardTest, ThreeLeftsAndOneRightLeaveXAtMinusTwo) {
    build(1);
    for (int i = 0; i < 3; ++i) press(SoKeyboardEvent::LEFT_ARROW);
    press(SoKeyboardEvent::RIGHT_ARROW);
    EXPECT_EQ(steeredAt(), SbVec3f(-2.0f, 0.0f, 0.0f));
}

// Releases and other keys change nothing and stay unhandled, so the rest of
// the toolkit's event handling still sees them.
TEST_F(KeyboardTest, ReleasesAndOtherKeysAreIgnoredAndUnhandled) {
    build(1);
    struct Case {
        SoKeyboardEvent::Key key;
        SoButtonEvent::State state;
    };
    const Case cases[] = {
        {SoKeyboardEvent::LEFT_ARROW, SoButtonEvent::UP},
        {SoKeyboardEvent::UP_ARROW, SoButtonEvent::UP},
        {SoKeyboardEvent::PAGE_UP, SoButtonEvent::UP},
        {SoKeyboardEvent::PAGE_DOWN, SoButtonEvent::UP},
        {SoKeyboardEvent::A, SoButtonEvent::DOWN},
        {SoKeyboardEvent::HOME, SoButtonEvent::DOWN},
        {SoKeyboardEvent::END, SoButtonEvent::DOWN},
        {SoKeyboardEvent::ESCAPE, SoButtonEvent::DOWN},
        {SoKeyboardEvent::PAD_4, SoButtonEvent::DOWN},
        {SoKeyboardEvent::PAD_8, SoButtonEvent::DOWN},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(send(c.key, c.state)) << "key " << c.key << " state " << c.state;
        EXPECT_EQ(steeredAt(), SbVec3f(0.0f, 0.0f, 0.0f)) << "key " << c.key;
        EXPECT_EQ(sphereAt(), SbVec3f(0.0f, 0.0f, 0.0f)) << "key " << c.key;
    }
}

TEST_F(KeyboardTest, OnlyTheOriginGeneratorMoves) {
    build(3);
    ASSERT_EQ(fire.generatorCount, 3);
    press(SoKeyboardEvent::LEFT_ARROW);
    press(SoKeyboardEvent::PAGE_UP);
    press(SoKeyboardEvent::UP_ARROW);
    EXPECT_EQ(fire.generators[0]->position, SbVec3f(-20.0f, 0.0f, 0.0f));
    EXPECT_EQ(fire.generators[1]->position, SbVec3f(20.0f, 0.0f, 0.0f));
    EXPECT_EQ(fire.generators[2], fire.steered);
    EXPECT_EQ(steeredAt(), SbVec3f(-1.0f, 1.0f, -1.0f));
}

// Far from the origin a float step of 1.0 is still exact up to 2^24.
TEST_F(KeyboardTest, MovesStayExactFarAway) {
    build(1);
    fire.steered->setPosition(1.0e6f, -3.5f, 0.25f);
    press(SoKeyboardEvent::RIGHT_ARROW);
    press(SoKeyboardEvent::PAGE_DOWN);
    press(SoKeyboardEvent::DOWN_ARROW);
    EXPECT_EQ(steeredAt(), SbVec3f(1.0e6f + 1.0f, -4.5f, 1.25f));
}

}  // namespace

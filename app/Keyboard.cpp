#include "app/Keyboard.h"

#include "generator/Generator.h"

#include <Inventor/events/SoKeyboardEvent.h>
#include <Inventor/nodes/SoEventCallback.h>
#include <Inventor/nodes/SoSeparator.h>

namespace {

// One key press moves the generator this far, in world units (1.0). The
// particles' cone is about 5 units wide near the generator: much larger steps
// tear the flame apart instead of moving it.
constexpr double kStep = 1.0;

struct KeyMove {
    SoKeyboardEvent::Key key;
    double dx, dy, dz;
};

// Tested in this order; the first match decides.
constexpr KeyMove kKeyMoves[] = {
    {SoKeyboardEvent::UP_ARROW, 0.0, 0.0, -kStep},
    {SoKeyboardEvent::DOWN_ARROW, 0.0, 0.0, kStep},
    {SoKeyboardEvent::LEFT_ARROW, -kStep, 0.0, 0.0},
    {SoKeyboardEvent::RIGHT_ARROW, kStep, 0.0, 0.0},
    {SoKeyboardEvent::PAGE_UP, 0.0, kStep, 0.0},
    {SoKeyboardEvent::PAGE_DOWN, 0.0, -kStep, 0.0},
};

}  // namespace

void onKeyPress(void *userData, SoEventCallback *node) {
    Generator *generator = static_cast<Generator *>(userData);   // not owned: start-up's origin generator
    const SoEvent *event = node->getEvent();
    const float x = generator->position[0];
    const float y = generator->position[1];
    const float z = generator->position[2];
    for (const KeyMove &move : kKeyMoves) {
        if (!SoKeyboardEvent::isKeyPressEvent(event, move.key)) continue;
        generator->setPosition(static_cast<float>(x + move.dx), static_cast<float>(y + move.dy),
                               static_cast<float>(z + move.dz));
        node->setHandled();
        return;
    }
}

SoEventCallback *createEventCallback(SoSeparator *root, Generator *steered) {
    SoEventCallback *eventCallback = new SoEventCallback;
    eventCallback->addEventCallback(SoKeyboardEvent::getClassTypeId(), onKeyPress, steered);
    root->insertChild(eventCallback, 0);
    return eventCallback;
}

#pragma once
// Keyboard steering: the arrow keys move the steered generator one world unit
// in the horizontal plane, Page Up and Page Down one unit up and down.

class SoEventCallback;
class SoSeparator;
struct Generator;

// eventCallback: delivers every keyboard event to onKeyPress with steered as
// user data, inserted as the first child of root, which holds it. steered is
// not owned and must outlive root.
SoEventCallback *createEventCallback(SoSeparator *root, Generator *steered);

// userData is the steered Generator. Acts on presses of the six keys only,
// along the world axes; marks only those events handled.
void onKeyPress(void *userData, SoEventCallback *node);

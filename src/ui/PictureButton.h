// Picture buttons: a picture and a tip, no caption. Qt presses a focused button on Space only;
// operators press Enter as well, and expect the same of it.
#pragma once

class QAbstractButton;

namespace vantrell {

// From now on Enter (either key) on `button` presses it as Space does.
void pressOnEnter(QAbstractButton &button);

} // namespace vantrell

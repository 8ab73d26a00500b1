// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keyboard_hold.h"

class QWidget;

// The two ways a Linux desktop offers to hold the keyboard, one for each
// platform Qt runs on there.
namespace X11KeyboardHold {
KeyboardHold::Outcome hold(QWidget *window);
void letGo();
}

namespace WaylandKeyboardHold {
KeyboardHold::Outcome hold(QWidget *window);
void letGo();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program is built without a way to hold the keyboard: the child
// lock keeps its word and its close button, nothing more.
#include "keyboard_hold.h"

KeyboardHold::Outcome KeyboardHold::hold()
{
    return Outcome::Unavailable;
}

void KeyboardHold::letGo()
{
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;
class QWidget;

// Gives the widget's window the keyboard on X11. Qt's own request carries the
// time of the last event the program saw, older than the other window's
// taking the focus, and the X server (or a window manager) ignores it; this
// one carries the launch's time (from startupId, the launcher's startup id),
// or none, and ends the launcher's busy pointer for that id. False when the
// program does not run on X11, or was built without xcb: the caller then
// activates the window Qt's way.
bool activateOnX11(QWidget *widget, const QString &startupId);

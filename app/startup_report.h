// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// While the application starts, a missing display or platform plugin makes
// Qt give up with a fatal message and an abort, after warnings that lead up
// to it. Between these two calls, such a start says why in one plain line
// instead and exits with status 1, like any program that cannot do its work.
// The messages of a start that succeeds are passed on by the second call,
// each as what it was.
void holdStartupMessages();
void passOnStartupMessages();

// The rest comes from the platform's startup_report_*.cpp.

// What the user can do about the platform plugin that was not found, when
// the platform has its own answer; empty for the usual one.
QString platformPluginRemedy(const QString &plugin);

// Says the line (ending in a newline) where the user sees it.
void showStartupFailure(const QString &line);

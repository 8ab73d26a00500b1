// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up report where a program started from a desktop has standard
// error to write to (its session's log, or the terminal).
#include "startup_report.h"

#include <cstdio>

QString platformPluginRemedy(const QString &)
{
    return {};
}

void showStartupFailure(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// SingleInstance for a Qt without D-Bus (the Windows build): there is no
// session bus to meet the running program on, so every start opens its own
// window.
#include "single_instance.h"

struct SingleInstance::Private {
};

SingleInstance::SingleInstance(const QString &, const QString &)
{ }

SingleInstance::~SingleInstance() = default;

void SingleInstance::connectInBackground()
{ }

bool SingleInstance::handedOver()
{
    return false;
}

void SingleInstance::setWindow(QWidget *)
{ }

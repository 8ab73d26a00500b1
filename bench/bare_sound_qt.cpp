// SPDX-License-Identifier: GPL-3.0-or-later
// With Qt Multimedia: one QSoundEffect for every key, as a plain Qt program would do; a
// new source stops the old one and has to load before it can play.
#include "bare_sound.h"

#include <QSoundEffect>
#include <QUrl>

std::function<void(const QString &)> keySound(QObject *parent)
{
    auto *effect = new QSoundEffect(parent);
    return [effect](const QString &path) {
        effect->setSource(QUrl::fromLocalFile(path));
        effect->play();
    };
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording_session.h"

#include <QCoreApplication>
#include <QString>

// Every sentence the recorder shows, in one place: the session's messages,
// the marks of a key's own files and the game sounds' names. They keep the
// translation context they always had, the window's, where the English
// translation holds them.
class RecorderTexts
{
    Q_DECLARE_TR_FUNCTIONS(RecorderWindow)

public:
    // The sentence telling the grown-up the message, in the user's language.
    static QString sentence(const SessionMessage &message);
    // A game sound's label, on its tile and under its sign: "Bravo!", "Riprova".
    static QString soundLabel(QStringView name);
    // A key or game sound as a sentence names it: b, «Bravo!».
    static QString shownName(const QString &name);
    // Where the game plays a sound, in place of the picture a key has.
    static QString soundUse(QStringView name);
    // A tile's mark: whose voice and picture a key has.
    static QString mark(bool ownVoice, bool ownPicture);
    // The selected key's two lines: whose voice, whose picture.
    static QString origins(bool ownVoice, bool ownPicture);
    // The selected game sound's line: whose voice.
    static QString voiceOrigin(bool ownVoice);
    // A tile's tooltip and its name for a screen reader, a key's or a game sound's.
    static QString tileToolTip(const QString &key, const QString &mark);
    static QString tileName(const QString &key, const QString &mark);
    // In place of a picture that cannot be shown.
    static QString unreadableMark();
    static QString unreadablePicture(const QString &path);
};

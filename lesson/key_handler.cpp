// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_handler.h"

#include "keys.h"
#include "media_lookup.h"

namespace {

const QString FarewellText = QStringLiteral("Ciao alla prossima");
const QString FarewellTitle = QStringLiteral("A presto da Ferlandi");
const QString OtherKeyText = QStringLiteral("Premi un altro tasto");
const QString OtherKeyTitle = QStringLiteral("Fai attenzione, non hai premuto un tasto alfanumerico");
const QString PictureErrorTitle = QStringLiteral("Immagine non disponibile");

} // namespace

namespace Lesson {

QString keyString(char32_t keyCode)
{
    return QString::fromUcs4(&keyCode, 1);
}

bool followLock(char32_t &keyCode, LessonChoices &choices)
{
    if (!choices.childLock)
        return true;
    // A toddler's Escape changes nothing at all; the grown-up's word ends
    // the lesson as Escape would.
    if (keyCode == EscapeCode)
        return false;
    choices.lastKeys = (choices.lastKeys + keyString(keyCode).toLower()).right(ExitWord.size());
    if (choices.lastKeys == ExitWord)
        keyCode = EscapeCode;
    return true;
}

void sayGoodbye(WindowOperations &window)
{
    window.showMessage(FarewellText, FarewellTitle, MessageIcon::Exclamation);
    window.endProgram();
}

void showPicture(WindowOperations &window, const QString &picture)
{
    // The picture follows its character: reading it takes a few milliseconds
    // of the machine, which the compositor needs for the character first.
    window.afterCaptionShown([&window, picture] {
        window.setPictureVisible(true);
        QString reason;
        if (!window.loadPicture(picture, reason)) {
            // A damaged or missing picture must not end a child's lesson: the
            // recording is already playing, so hide the previous key's picture,
            // tell the grown-up which file is at fault, and carry on.
            window.setPictureVisible(false);
            window.showMessage(QStringLiteral("Non riesco a mostrare l'immagine\n%1\n\n%2").arg(picture, reason),
                               PictureErrorTitle, MessageIcon::Critical);
        }
    });
}

} // namespace Lesson

using Lesson::keyString;

void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound)
{
    LessonChoices none;
    Text1_KeyPress(keyCode, window, sound, none);
}

void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound, LessonChoices &choices)
{
    if (!Lesson::followLock(keyCode, choices))
        return;

    window.setLabelFontSize(Lesson::KeyFontSize);
    window.focusKeyBox();

    if (keyCode == Lesson::EscapeCode) {
        Lesson::sayGoodbye(window);
        return;
    }

    window.setPictureVisible(false);
    QString key = keyString(keyCode);
    // With capitals chosen a capital is its letter; so it is under the lock,
    // where Shift or Caps Lock must open no box that would take the next
    // keys, the grown-up's word among them.
    if ((choices.capitals || choices.childLock) && keyCode >= U'A' && keyCode <= U'Z')
        key = key.toLower();
    const bool recognized = KeyMedia::isRecognizedKey(key);
    window.setLabelCaption(choices.capitals && recognized ? key.toUpper() : key);

    if (!recognized) {
        window.showMessage(OtherKeyText, OtherKeyTitle, MessageIcon::Question);
        return;
    }

    const QString folder = window.programFolder();
    sound.suona(KeyMedia::findMediaFile(folder, key, u".wav"));
    Lesson::showPicture(window, KeyMedia::findMediaFile(folder, key, u".jpg"));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound_operations.h"

#include <QString>
#include <QStringView>

#include <functional>

// The icons a message box can carry; each answers one kind of message.
enum class MessageIcon {
    Exclamation, // the farewell
    Question,    // a key that is not a digit or a lower-case letter
    Critical,    // a picture that cannot be shown
};

// What the key lesson needs of the window: one operation per effect it has.
// The window implements it on its widgets; tests implement it with a fake.
class WindowOperations
{
public:
    virtual ~WindowOperations() = default;

    virtual void setLabelFontSize(float points) = 0;
    virtual void focusKeyBox() = 0;
    virtual void setLabelCaption(const QString &caption) = 0;
    // Hiding the box also drops a picture still waiting to be shown.
    virtual void setPictureVisible(bool visible) = 0;
    // Runs then a moment after the caption just set is drawn: long enough
    // for a compositor to put the character on the screen with the machine to
    // itself, short enough that what then shows makes the compositor's next
    // frame. A later call replaces a then still waiting.
    virtual void afterCaptionShown(std::function<void()> then) = 0;
    // Loads the picture file into the picture box, replacing the one shown.
    // On failure returns false, leaves the box as it was and sets reason to a
    // short Italian explanation for the person in front of the screen.
    virtual bool loadPicture(const QString &path, QString &reason) = 0;
    // The folder of the running executable, without a trailing separator
    // (except for the root folder itself).
    virtual QString programFolder() const = 0;
    // Shows a modal box with a single OK button and returns once it is closed.
    virtual void showMessage(const QString &text, const QString &title, MessageIcon icon) = 0;
    virtual void endProgram() = 0;
};

namespace Lesson {

inline constexpr char32_t EscapeCode = 27;
inline constexpr float KeyFontSize = 216.0f;

} // namespace Lesson

// The grown-ups' choices the key lesson follows, and what it keeps for them
// from one key to the next. With none made, the lesson is the one below.
struct LessonChoices {
    // A letter is shown as its capital, and a capital typed with Shift or
    // Caps Lock is the same key as its small letter.
    bool capitals = false;
    // Escape does nothing; typing the word "esci" ends the lesson. A capital
    // is its letter, as no box may take the keys from the lesson.
    bool childLock = false;
    // The last keys typed, in small letters, to find the word.
    QString lastKeys;
};

namespace Lesson {

// What a grown-up types to end a lesson under the child lock, in any case.
inline constexpr QStringView ExitWord = u"esci";

} // namespace Lesson

namespace Lesson {

// What the child lock makes of a key: nothing for Escape (false), Escape
// for the last letter of the grown-up's word; any other key is itself.
// Without the lock every key is itself.
bool followLock(char32_t &keyCode, LessonChoices &choices);

// The farewell box, then the end of the program.
void sayGoodbye(WindowOperations &window);

// A key as one string, its character.
QString keyString(char32_t keyCode);

// Shows the picture file in the picture box; one that cannot be shown is
// hidden and named in a box for the grown-up, and the lesson goes on.
void showPicture(WindowOperations &window, const QString &picture);

} // namespace Lesson

// Everything one character key does: Escape ends the lesson, a digit or a
// lower-case letter is shown with its picture and recording, any other key is
// shown and answered with a message box.
void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound);

// The same, as the grown-ups' choices have it.
void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound, LessonChoices &choices);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

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
    virtual void setPictureVisible(bool visible) = 0;
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

// What the key lesson needs of the sound player: start a recording and return at once.
class SoundOperations
{
public:
    virtual ~SoundOperations() = default;
    virtual void suona(const QString &path) = 0;
};

namespace Lesson {

inline constexpr char32_t EscapeCode = 27;
inline constexpr float KeyFontSize = 216.0f;

// True for the ten digits and the 26 lower-case letters, compared exactly.
bool isRecognizedKey(QStringView key);

// programFolder + "/IMG/" + key + extension, joined as given: a folder that
// already ends in a separator gives two separators in a row, which the file
// system reads as one.
QString mediaPath(const QString &programFolder, const QString &key, QStringView extension);

// The user's own media folder, $XDG_DATA_HOME/quilloro/IMG (by default
// ~/.local/share/quilloro/IMG): a family's own recordings and pictures go
// there. Empty when neither variable gives an absolute folder.
QString userMediaFolder();

// Where a key's files are looked for, most personal first: the user's own
// folder, quilloro/IMG under each folder of $XDG_DATA_DIRS (by default
// /usr/local/share:/usr/share, for a school's administrator), then the pack
// in IMG beside the program.
QStringList mediaFolders(const QString &programFolder);

// The file to use for key + extension: the first of mediaFolders() that holds
// one by that name, damaged or not, as a grown-up who put it there must see
// what is wrong with it; the pack's path when no folder holds one.
QString findMediaFile(const QString &programFolder, const QString &key, QStringView extension);

} // namespace Lesson

// Everything one character key does: Escape ends the lesson, a digit or a
// lower-case letter is shown with its picture and recording, any other key is
// shown and answered with a message box.
void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound);

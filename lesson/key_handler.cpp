// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_handler.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace {

// The 21 letters of the Italian alphabet in order, then the five foreign ones
// as Italian children meet them.
// clang-format off
constexpr std::array<char16_t, 36> RecognizedKeys = {
    u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9',
    u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'l', u'm',
    u'n', u'o', u'p', u'q', u'r', u's', u't', u'u', u'v', u'z',
    u'y', u'x', u'w', u'j', u'k',
};
// clang-format on

const QString FarewellText = QStringLiteral("Ciao alla prossima");
const QString FarewellTitle = QStringLiteral("A presto da Ferlandi");
const QString OtherKeyText = QStringLiteral("Premi un altro tasto");
const QString OtherKeyTitle = QStringLiteral("Fai attenzione, non hai premuto un tasto alfanumerico");
const QString PictureErrorTitle = QStringLiteral("Immagine non disponibile");

QString keyString(char32_t keyCode)
{
    return QString::fromUcs4(&keyCode, 1);
}

} // namespace

bool Lesson::isRecognizedKey(QStringView key)
{
    if (key.size() != 1)
        return false;
    const char16_t c = key.front().unicode();
    for (const char16_t entry : RecognizedKeys) {
        if (entry == c)
            return true;
    }
    return false;
}

QString Lesson::mediaPath(const QString &programFolder, const QString &key, QStringView extension)
{
    const QChar separator = QDir::separator();
    return programFolder + separator + QLatin1String("IMG") + separator + key + extension.toString();
}

namespace {

// An absolute folder from an environment variable, or nothing: the XDG rules
// ignore relative ones.
QString absoluteFolder(const char *variable)
{
    const QString folder = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(folder) ? folder : QString();
}

const QString AppMediaFolder = QStringLiteral("/quilloro/IMG");

} // namespace

QString Lesson::userMediaFolder()
{
    QString data = absoluteFolder("XDG_DATA_HOME");
    if (data.isEmpty()) {
        const QString home = absoluteFolder("HOME");
        if (home.isEmpty())
            return {};
        data = home + QLatin1String("/.local/share");
    }
    return data + AppMediaFolder;
}

QStringList Lesson::mediaFolders(const QString &programFolder)
{
    QStringList folders;
    if (const QString user = userMediaFolder(); !user.isEmpty())
        folders << user;
    QString shared = qEnvironmentVariable("XDG_DATA_DIRS");
    if (shared.isEmpty())
        shared = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &folder : shared.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder + AppMediaFolder;
    }
    // The pack's folder joined as mediaPath() joins it, so a box names the
    // very path it always named.
    folders << programFolder + QDir::separator() + QLatin1String("IMG");
    return folders;
}

QString Lesson::findMediaFile(const QString &programFolder, const QString &key, QStringView extension)
{
    const QString name = QDir::separator() + key + extension.toString();
    // Looked up at every press: a file put in or taken away while the
    // program runs counts from the next press on.
    for (const QString &folder : mediaFolders(programFolder)) {
        const QString path = folder + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return mediaPath(programFolder, key, extension);
}

void Text1_KeyPress(char32_t keyCode, WindowOperations &window, SoundOperations &sound)
{
    window.setLabelFontSize(Lesson::KeyFontSize);
    window.focusKeyBox();

    if (keyCode == Lesson::EscapeCode) {
        window.showMessage(FarewellText, FarewellTitle, MessageIcon::Exclamation);
        window.endProgram();
        return;
    }

    window.setPictureVisible(false);
    const QString key = keyString(keyCode);
    window.setLabelCaption(key);

    if (!Lesson::isRecognizedKey(key)) {
        window.showMessage(OtherKeyText, OtherKeyTitle, MessageIcon::Question);
        return;
    }

    const QString folder = window.programFolder();
    sound.suona(Lesson::findMediaFile(folder, key, u".wav"));
    window.setPictureVisible(true);

    const QString picture = Lesson::findMediaFile(folder, key, u".jpg");
    QString reason;
    if (!window.loadPicture(picture, reason)) {
        // A damaged or missing picture must not end a child's lesson: the
        // recording is already playing, so hide the previous key's picture,
        // tell the grown-up which file is at fault, and carry on.
        window.setPictureVisible(false);
        window.showMessage(QStringLiteral("Non riesco a mostrare l'immagine\n%1\n\n%2").arg(picture, reason),
                           PictureErrorTitle, MessageIcon::Critical);
    }
}

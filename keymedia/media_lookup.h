// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Where a key's recording and picture are: the family's own folder, a
// school's shared folders, then the pack in IMG beside the program.
namespace KeyMedia {

// programFolder + "/IMG/" + key + extension, joined as given: a folder that
// already ends in a separator gives two separators in a row, which the file
// system reads as one.
QString mediaPath(const QString &programFolder, const QString &key, QStringView extension);

// The user's own media folder, where a family's own recordings and pictures
// go: $XDG_DATA_HOME/quilloro/IMG (by default ~/.local/share/quilloro/IMG),
// or on Windows %LOCALAPPDATA%\quilloro\IMG. Empty when there is none (no
// absolute XDG_DATA_HOME or HOME).
QString userMediaFolder();

// The folders a school's administrator fills for every account: quilloro/IMG
// under each folder of $XDG_DATA_DIRS (by default /usr/local/share and
// /usr/share), or on Windows %PROGRAMDATA%\quilloro\IMG.
QStringList sharedMediaFolders();

// The family's own file for key + extension in userMediaFolder(), whether it
// exists or not; empty when there is no such folder.
QString ownFile(const QString &key, QStringView extension);

// Where a key's files are looked for, most personal first: the user's own
// folder, the shared ones, then the pack in IMG beside the program.
QStringList mediaFolders(const QString &programFolder);

// The file to use for key + extension: the first of mediaFolders() that holds
// one by that name, damaged or not, as a grown-up who put it there must see
// what is wrong with it; the pack's path when no folder holds one.
QString findMediaFile(const QString &programFolder, const QString &key, QStringView extension);

} // namespace KeyMedia

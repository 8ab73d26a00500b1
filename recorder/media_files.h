// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

// The files the recorder writes into the family's own media folder, and the
// pictures it reads: pure functions, so that tests can check each.
namespace MediaFiles {

// The size a chosen picture is brought within, as the pack's pictures are.
inline constexpr QSize PictureBox{500, 250};

// A mono 16-bit PCM WAV file of the samples, as bytes.
QByteArray wavBytes(const std::vector<std::int16_t> &samples, int rate);

// Writes the bytes to the file through QSaveFile, creating its folder when
// needed: afterwards the file holds either what it held before or all of the
// new bytes, whatever happens meanwhile. On failure returns false and sets
// error to a sentence for the grown-up that names the folder.
bool saveAtomically(const QString &path, const QByteArray &bytes, QString &error);

// Reads a picture file of any format the installed image plugins know,
// turned upright by its EXIF orientation. On failure returns a null image and
// sets error to a sentence for the grown-up that names the file.
QImage readPicture(const QString &path, QString &error);

// The picture scaled down without distortion to fit within PictureBox; a
// smaller one is left as it is, as the child's window shows pictures at their
// own size. Transparent parts are put on white, as JPEG has no transparency.
QImage fitPicture(const QImage &image);

// The picture as a JPEG file, as bytes.
QByteArray jpegBytes(const QImage &image);

// Removes the family's own file, so that the one behind it (the pack's) is
// used again. A file that is not there is already removed. On failure
// returns false and sets error to a sentence that names the folder.
bool removeOwnFile(const QString &path, QString &error);

} // namespace MediaFiles

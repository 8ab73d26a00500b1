// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QImageReader>
#include <QString>

// Decoding a picture may take at most this much memory: the media folder is
// just files, and a damaged or hostile one must not exhaust the machine.
inline constexpr int PictureAllocationLimitMB = 64;

// Reads the picture in the file at path as the window shows it: turned the
// way its EXIF orientation says, and refused when decoding it would take
// more than PictureAllocationLimitMB. Returns a null image on failure and
// sets *error (when given) to the reader's error.
QImage readPicture(const QString &path, QImageReader::ImageReaderError *error = nullptr);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QImageReader>
#include <QString>

// Decoding a picture may take at most this much memory: the media folder is
// just files, and a damaged or hostile one must not exhaust the machine.
inline constexpr int PictureAllocationLimitMB = 64;

// Most scans a JPEG may have. libjpeg decodes each scan of a progressive
// JPEG over the whole picture: a file of a few hundred kilobytes can hold
// thousands of scans of a large picture and take minutes. Encoders write
// about ten (libjpeg's progressive mode: ten in colour, six in grey).
inline constexpr int MaxJpegScans = 32;

// Reads the picture in the file at path as the window shows it: turned the
// way its EXIF orientation says, and refused when decoding it would take
// more than PictureAllocationLimitMB, or when it is a JPEG of more than
// MaxJpegScans scans. Returns a null image on failure and
// sets *error (when given) to the reader's error.
QImage readPicture(const QString &path, QImageReader::ImageReaderError *error = nullptr);

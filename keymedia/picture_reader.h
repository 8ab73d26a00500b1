// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

// Every picture either program reads, the pack's, a family's, a school's or
// a photo a grown-up chooses, goes through readPicture(): the media folders
// are just files, and a damaged or hostile one must neither exhaust the
// machine nor keep a window waiting.
namespace KeyMedia {

// Decoding a picture may take at most this much memory. Qt's limit is one
// for the whole process; it is set to this value and never raised.
inline constexpr int PictureAllocationLimitMB = 64;

// Most scans a JPEG may have. libjpeg decodes each scan of a progressive
// JPEG over the whole picture: a file of a few hundred kilobytes can hold
// thousands of scans of a large picture and take minutes. Encoders write
// about ten (libjpeg's progressive mode: ten in colour, six in grey).
inline constexpr int MaxJpegScans = 32;

// Largest picture file that is read at all; a phone's photo is a few megabytes.
inline constexpr qint64 MaxPictureFileBytes = 64 * 1024 * 1024;

// Reads the picture in the file at path, turned the way its EXIF orientation
// says. Refused (a null image, *error set when given) when the file is larger
// than MaxPictureFileBytes, when it is a JPEG of more than MaxJpegScans scans,
// or when decoding it whole would take more than PictureAllocationLimitMB.
// With fitWithin, a larger picture comes brought within that box keeping its
// shape (a JPEG decoded at that scale, which is quicker), and the verdict is
// the same as for the whole picture: what the recorder shows of a media
// folder is what the child's window can show.
QImage readPicture(const QString &path, QImageReader::ImageReaderError *error = nullptr, QSize fitWithin = {});

// A photo or a drawing a grown-up chooses, brought within box. The same
// guards, except that a JPEG larger than the allocation limit is taken when
// decoding it at the box's scale keeps within it: a phone's 8000 × 6000
// photo never needs its full size in memory.
QImage readChosenPicture(const QString &path, QImageReader::ImageReaderError *error, QSize box);

// Why the picture at path could not be read, in a short sentence for the
// grown-up in front of the screen.
QString pictureProblem(const QString &path, QImageReader::ImageReaderError error);

// The picture scaled down without distortion to fit within box; a smaller
// one is left as it is. Transparent parts are put on white, as JPEG has no
// transparency.
QImage fitPicture(const QImage &image, QSize box);

// The picture as a JPEG file, as bytes.
QByteArray jpegBytes(const QImage &image);

} // namespace KeyMedia

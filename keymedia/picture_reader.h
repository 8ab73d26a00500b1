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

// The area of the child's window a key's picture is shown in, in the
// window's own (logical) pixels, and how many pixels a picture may bring
// for each of them, each way: the window is scaled up uniformly to fill a
// screen (about 1.9 times on a 1920 x 1080 one) or by a HiDPI screen's
// factor of 2, and a picture with twice the pixels stays sharp there.
inline constexpr QSize ShownPictureArea{500, 250};
inline constexpr int ShownPictureDetail = 2;

// A key's picture read to be shown in the child's window: with the same
// guards and verdict as readPicture(), brought within ShownPictureArea
// times ShownPictureDetail, and given the device pixel ratio
// max(1, width / 500, height / 250), so that it is shown whole within
// ShownPictureArea and never enlarged. The pack's 600 x 500 pictures are
// shown at 300 x 250 with every pixel used on a doubled screen; a family's
// 500 x 250 picture at its own size, as always; a bigger photo put in the
// folder by hand whole, where its own size would be cut off by the window.
// With detail, it is read with that many pixels for each of the window's
// (a window scaled up, a HiDPI screen), at most, and none fewer than one.
QImage readShownPicture(const QString &path, QImageReader::ImageReaderError *error = nullptr,
                        qreal detail = ShownPictureDetail);

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

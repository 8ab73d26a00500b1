// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture_reader.h"

#include <QFile>

namespace {

// The scans of a JPEG, counted the way libjpeg finds them: each marker after
// the bytes it passes over (a segment's length, entropy-coded data, garbage),
// up to the end-of-image marker. Counting stops past MaxJpegScans.
int jpegScans(const uchar *data, qint64 size)
{
    int scans = 0;
    qint64 at = 2; // past the start-of-image marker
    while (at + 1 < size && scans <= MaxJpegScans) {
        if (data[at] != 0xFF) {
            ++at;
            continue;
        }
        const uchar marker = data[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xD9) // end of image
            break;
        at += 2;
        // A stuffed zero and the restart markers belong to entropy-coded
        // data, and these markers have no length.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;
        if (marker == 0xDA)
            ++scans;
        if (at + 1 < size)
            at += (data[at] << 8) | data[at + 1];
    }
    return scans;
}

bool tooManyJpegScans(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4)
        return false;
    const uchar *data = file.map(0, file.size());
    return data && data[0] == 0xFF && data[1] == 0xD8 && jpegScans(data, file.size()) > MaxJpegScans;
}

} // namespace

QImage readPicture(const QString &path, QImageReader::ImageReaderError *error)
{
    // The limit is process-wide in Qt; it is set here, on every read, so
    // that no way of reading a picture from the media folder goes without it.
    QImageReader::setAllocationLimit(PictureAllocationLimitMB);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.format() == "jpeg" && tooManyJpegScans(path)) {
        if (error)
            *error = QImageReader::InvalidDataError;
        return {};
    }
    QImage image = reader.read();
    if (error)
        *error = image.isNull() ? reader.error() : QImageReader::UnknownError;
    return image;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture_reader.h"

QImage readPicture(const QString &path, QImageReader::ImageReaderError *error)
{
    // The limit is process-wide in Qt; it is set here, on every read, so
    // that no way of reading a picture from the media folder goes without it.
    QImageReader::setAllocationLimit(PictureAllocationLimitMB);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (error)
        *error = image.isNull() ? reader.error() : QImageReader::UnknownError;
    return image;
}

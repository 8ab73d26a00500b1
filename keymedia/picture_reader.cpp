// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture_reader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

namespace KeyMedia {

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

bool tooManyJpegScans(QFile &file)
{
    const uchar *data = file.size() >= 4 ? file.map(0, file.size()) : nullptr;
    const bool tooMany = data && data[0] == 0xFF && data[1] == 0xD8 && jpegScans(data, file.size()) > MaxJpegScans;
    if (data)
        file.unmap(const_cast<uchar *>(data));
    return tooMany;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("KeyMedia", text);
}

QImage read(const QString &path, QImageReader::ImageReaderError *error, QSize fitWithin, bool wholeMustFit)
{
    const auto fail = [error](QImageReader::ImageReaderError why) {
        if (error)
            *error = why;
        return QImage();
    };
    // Opened here once, so that what is measured is what is decoded, and
    // only an ordinary file: a pipe or a device would keep the window waiting.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return fail(QFileInfo::exists(path) ? QImageReader::DeviceError : QImageReader::FileNotFoundError);
    if (file.size() > MaxPictureFileBytes)
        return fail(QImageReader::InvalidDataError);

    QImageReader::setAllocationLimit(PictureAllocationLimitMB);
    QImageReader reader(&file); // the format by the name's suffix, else by content
    reader.setAutoTransform(true);
    if (reader.format() == "jpeg" && tooManyJpegScans(file))
        return fail(QImageReader::InvalidDataError);
    const QSize box = fitWithin;
    const QSize size = reader.size();
    if (fitWithin.isValid() && size.isValid()) {
        if (wholeMustFit) {
            // Qt refuses a whole picture by the memory of the image it decodes into.
            const qint64 bytesPerPixel = std::max(1, QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel() / 8);
            if (qint64(size.width()) * size.height() * bytesPerPixel > qint64(PictureAllocationLimitMB) * 1024 * 1024)
                return fail(QImageReader::InvalidDataError);
        }
        // The box as the picture is stored: turned a quarter when it is to be
        // shown turned, since scaling comes before the turn.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            fitWithin.transpose();
        if (size.width() > fitWithin.width() || size.height() > fitWithin.height())
            reader.setScaledSize(size.scaled(fitWithin, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull())
        return fail(reader.error());
    // A format that tells no size before it is read (or another than it
    // reads, as a GIF's screen and its frame can differ) comes whole: it is
    // brought within the box now.
    if (box.isValid() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(image.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (error)
        *error = QImageReader::UnknownError;
    return image;
}

} // namespace

QImage readPicture(const QString &path, QImageReader::ImageReaderError *error, QSize fitWithin)
{
    return read(path, error, fitWithin, true);
}

QImage readShownPicture(const QString &path, QImageReader::ImageReaderError *error, qreal detail)
{
    // Read within the area times the pixels it is drawn with: more would
    // not be seen, and a JPEG is decoded at that scale, which is quicker
    // than decoding it whole and shrinking it afterwards.
    QImage image = readPicture(path, error, (QSizeF(ShownPictureArea) * std::max(1.0, detail)).toSize());
    if (!image.isNull())
        image.setDevicePixelRatio(std::max(
            {1.0, qreal(image.width()) / ShownPictureArea.width(), qreal(image.height()) / ShownPictureArea.height()}));
    return image;
}

QImage readChosenPicture(const QString &path, QImageReader::ImageReaderError *error, QSize box)
{
    return read(path, error, box, false);
}

QString pictureProblem(const QString &path, QImageReader::ImageReaderError error)
{
    const QFileInfo file(path);
    if (!file.exists())
        return tr("Il file non esiste.");
    if (!file.isFile() || !file.isReadable())
        return tr("Il file non si può leggere.");
    switch (error) {
    case QImageReader::UnsupportedFormatError:
        return tr("Il file non contiene un'immagine riconosciuta.");
    case QImageReader::InvalidDataError:
        return tr("L'immagine è danneggiata o troppo grande.");
    case QImageReader::DeviceError:
    case QImageReader::FileNotFoundError:
        return tr("Il file non si può leggere.");
    case QImageReader::UnknownError:
        break;
    }
    return tr("Errore sconosciuto.");
}

QImage fitPicture(const QImage &image, QSize box)
{
    QImage fitted = image.width() > box.width() || image.height() > box.height()
        ? image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    if (!fitted.hasAlphaChannel())
        return fitted.convertToFormat(QImage::Format_RGB32);
    QImage flat(fitted.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, fitted);
    painter.end();
    return flat;
}

QByteArray jpegBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

} // namespace KeyMedia

// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_files.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QtEndian>

namespace MediaFiles {

namespace {

template<typename T> void append(QByteArray &bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, sizeof(T));
}

QString folderError(const QString &folder, const QString &reason)
{
    return QCoreApplication::translate(
               "MediaFiles",
               "Non riesco a scrivere nella cartella %1 (%2). Controlla che esista e che tu possa scriverci; "
               "la registrazione o la figura resta qui, pronta da tenere.")
        .arg(QDir::toNativeSeparators(folder), reason);
}

} // namespace

QByteArray wavBytes(const std::vector<std::int16_t> &samples, int rate)
{
    const auto dataBytes = quint32(samples.size() * sizeof(std::int16_t));
    QByteArray bytes;
    bytes.reserve(44 + int(dataBytes));
    bytes.append("RIFF");
    append(bytes, quint32(36 + dataBytes));
    bytes.append("WAVEfmt ");
    append(bytes, quint32(16));
    append(bytes, quint16(1)); // PCM
    append(bytes, quint16(1)); // mono
    append(bytes, quint32(rate));
    append(bytes, quint32(rate * 2)); // bytes per second
    append(bytes, quint16(2));        // bytes per frame
    append(bytes, quint16(16));       // bits per sample
    bytes.append("data");
    append(bytes, dataBytes);
    for (std::int16_t sample : samples)
        append(bytes, sample);
    return bytes;
}

bool saveAtomically(const QString &path, const QByteArray &bytes, QString &error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = folderError(folder, QCoreApplication::translate("MediaFiles", "non si può creare"));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = folderError(folder, file.errorString());
        return false;
    }
    return true;
}

QImage readPicture(const QString &path, QString &error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A phone's photo is some tens of megapixels; refuse only the absurd.
    reader.setAllocationLimit(1024);
    QImage image = reader.read();
    if (image.isNull()) {
        error = QCoreApplication::translate(
                    "MediaFiles", "Non riesco a leggere la figura %1 (%2). Scegli una foto o un disegno in JPEG o PNG.")
                    .arg(QDir::toNativeSeparators(path), reader.errorString());
    }
    return image;
}

QImage fitPicture(const QImage &image)
{
    QImage fitted = image.width() > PictureBox.width() || image.height() > PictureBox.height()
        ? image.scaled(PictureBox, Qt::KeepAspectRatio, Qt::SmoothTransformation)
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

bool removeOwnFile(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    error = QCoreApplication::translate(
                "MediaFiles", "Non riesco a togliere %1 dalla cartella %2 (%3). Controlla che tu possa scriverci.")
                .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(QFileInfo(path).absolutePath()),
                     file.errorString());
    return false;
}

} // namespace MediaFiles

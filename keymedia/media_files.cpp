// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace KeyMedia {

namespace {

template<typename T> void append(QByteArray &bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, sizeof(T));
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

bool saveAtomically(const QString &path, const QByteArray &bytes, QString &reason)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        reason = QCoreApplication::translate("KeyMedia", "non si può creare");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

bool removeFile(const QString &path, QString &reason)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    reason = file.errorString();
    return false;
}

} // namespace KeyMedia

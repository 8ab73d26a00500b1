// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings made on the spot, sound or damaged, for the tests.
#pragma once

#include <QByteArray>
#include <QtEndian>

#include <initializer_list>

namespace TestSupport {

// A RIFF/WAVE file with a PCM (or other) format chunk and the given data.
// declaredDataBytes lets a test lie about the data's length, as a damaged file does.
inline QByteArray wav(quint16 formatTag, quint16 channels, quint32 rate, quint16 bits, const QByteArray &data,
                      quint32 declaredDataBytes)
{
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const quint16 blockAlign = quint16(channels * bits / 8);
    return "RIFF" + le32(36 + declaredDataBytes) + "WAVEfmt " + le32(16) + le16(formatTag) + le16(channels) + le32(rate)
        + le32(rate * blockAlign) + le16(blockAlign) + le16(bits) + "data" + le32(declaredDataBytes) + data;
}

// Interleaved 16-bit frames of a constant value per channel.
inline QByteArray frames(int count, std::initializer_list<qint16> perChannel)
{
    QByteArray data;
    for (int i = 0; i < count; ++i) {
        for (const qint16 value : perChannel) {
            char le[2];
            qToLittleEndian(value, le);
            data.append(le, 2);
        }
    }
    return data;
}

inline QByteArray pcm(quint16 channels, quint32 rate, const QByteArray &data)
{
    return wav(1, channels, rate, 16, data, quint32(data.size()));
}

// A 16-bit mono recording at 22 050 Hz of a constant level.
inline QByteArray recording(int samples, qint16 level = 1000)
{
    return pcm(1, 22050, frames(samples, {level}));
}

} // namespace TestSupport

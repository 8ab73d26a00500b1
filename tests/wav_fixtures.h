// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings made on the spot, sound or damaged, and the file and memory
// helpers every test shares.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <windows.h>

#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <initializer_list>

namespace TestSupport {

template<typename T> QByteArray le(T value)
{
    QByteArray bytes(sizeof(T), 0);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A RIFF/WAVE file of the given format chunk and data. declaredDataBytes
// lets a test lie about the data's length, as a damaged file does.
inline QByteArray riffWave(const QByteArray &format, const QByteArray &data, quint32 declaredDataBytes)
{
    return "RIFF" + le(quint32(4 + 8 + format.size() + 8 + declaredDataBytes)) + "WAVEfmt " + le(quint32(format.size()))
        + format + "data" + le(declaredDataBytes) + data;
}

// A WAV file with a PCM (or other) 16-byte format chunk.
inline QByteArray wav(quint16 formatTag, quint16 channels, quint32 rate, quint16 bits, const QByteArray &data,
                      quint32 declaredDataBytes)
{
    const quint16 blockAlign = quint16(channels * bits / 8);
    return riffWave(le(formatTag) + le(channels) + le(rate) + le(rate * blockAlign) + le(blockAlign) + le(bits), data,
                    declaredDataBytes);
}

// Interleaved 16-bit frames of a constant value per channel.
inline QByteArray frames(int count, std::initializer_list<qint16> perChannel)
{
    QByteArray data;
    for (int i = 0; i < count; ++i) {
        for (const qint16 value : perChannel)
            data += le(value);
    }
    return data;
}

// Mono 32-bit floating-point frames of a constant value.
inline QByteArray floatFrames(int count, float value)
{
    QByteArray data;
    for (int i = 0; i < count; ++i)
        data += le(value);
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

// The file written whole, its folder made first.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline long peakMemoryKB()
{
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return long(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

} // namespace TestSupport

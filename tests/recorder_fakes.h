// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"
#include "key_handler.h"
#include "take_processing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cmath>
#include <numbers>

// What the recorder's tests share: a microphone and a loudspeaker driven by
// the test, a take with a voice in it, and files written and read whole.
namespace RecorderFakes {

// A microphone that says what was asked of it and hands over the take the
// test put in it.
class FakeCapture : public Capture
{
public:
    void start() override { calls << QStringLiteral("start"); }
    std::vector<std::int16_t> stop() override
    {
        calls << QStringLiteral("stop");
        return take;
    }
    QStringList calls;
    std::vector<std::int16_t> take;
};

class FakeSound : public SoundOperations
{
public:
    void suona(const QString &path) override { played << path; }
    QStringList played;
};

// Half a second of silence, a second of 440 Hz at -20 dBFS, half a second of silence.
inline std::vector<std::int16_t> voiceTake()
{
    std::vector<std::int16_t> take(std::size_t(Take::SampleRate) * 2, 0);
    for (int i = 0; i < Take::SampleRate; ++i)
        take[std::size_t(Take::SampleRate / 2 + i)] =
            std::int16_t(32767 * Take::amplitude(-20) * std::sin(2 * std::numbers::pi * 440 * i / Take::SampleRate));
    return take;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace RecorderFakes

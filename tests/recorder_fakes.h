// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"
#include "sound_operations.h"
#include "take_processing.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

// What the recorder's tests share: a microphone and a loudspeaker driven by
// the test, a take with a voice in it, files written and read whole, and the
// folders the recorder reads and writes.
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

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A pack of b, c and the game's bravo beside a program folder of the test's
// own, no shared folders, and a family folder of its own for every row.
class Folders
{
public:
    bool createPack()
    {
        program = root.filePath(QStringLiteral("program"));
        using TestSupport::writeFile;
        return root.isValid() && writeFile(program + QStringLiteral("/IMG/b.wav"), TestSupport::recording(2205))
            && writeFile(program + QStringLiteral("/IMG/c.wav"), TestSupport::recording(2205))
            && writeFile(program + QStringLiteral("/IMG/bravo.wav"), TestSupport::recording(2205))
            && writeFile(program + QStringLiteral("/IMG/b.jpg"), TestSupport::picture(QSize(300, 250), 0))
            && writeFile(program + QStringLiteral("/IMG/c.jpg"), TestSupport::picture(QSize(300, 250), 0));
    }
    void nextFamily()
    {
        static int row = 0;
        data = QDir(root.filePath(QStringLiteral("data%1").arg(++row)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath(QStringLiteral("none"))));
    }
    // The family's own file of that name, as the recorder writes it.
    QString own(const QString &name) const { return data.filePath(QStringLiteral("quilloro/IMG/") + name); }

    QTemporaryDir root;
    QDir data;
    QString program;
};

} // namespace RecorderFakes

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

// What the recorder needs of a microphone: start a take, report its level as
// it goes, stop and hand over the samples (mono 16-bit at the rate the
// capture was made for). The window uses it through this class; tests give
// it a fake.
class Capture : public QObject
{
    Q_OBJECT

public:
    enum class Failure {
        NoServer,     // no sound server to record through
        NoMicrophone, // the server has no source to record from
        Lost,         // the source went away during the take
    };
    Q_ENUM(Failure)

    using QObject::QObject;

    // Starts a take and returns at once; progress() or failed() follow.
    virtual void start() = 0;
    // Ends the take (or what is left of a failed one) and returns its
    // samples. Afterwards nothing of the capture runs. Harmless when idle.
    virtual std::vector<std::int16_t> stop() = 0;

signals:
    // The loudest sample since the last report, in dBFS, and the frames recorded so far.
    void progress(double peakDb, qint64 frames);
    // Reported once per take; the window still calls stop() to end it.
    void failed(Capture::Failure failure);
};

// The platform's capture from the default microphone (the one the desktop's
// sound settings choose), recording mono at sampleRate for takes of up to
// maxSeconds; a second beyond that is kept at most, so that a take that is
// never stopped cannot take the memory with it. Between takes it holds no
// thread, connection or stream. Each platform's capture file makes it.
std::unique_ptr<Capture> makeMicrophoneCapture(int sampleRate, int maxSeconds);

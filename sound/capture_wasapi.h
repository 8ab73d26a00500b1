// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"

#include <memory>

// Records from Windows' default microphone through WASAPI in shared mode, on
// a thread of its own that exists only during a take: between takes no
// thread, device or audio client is held.
class WasapiCapture : public Capture
{
    Q_OBJECT

public:
    // Mono at sampleRate, takes of up to maxSeconds and a second more at most.
    WasapiCapture(int sampleRate, int maxSeconds, QObject *parent = nullptr);
    ~WasapiCapture() override;

    void start() override;
    std::vector<std::int16_t> stop() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

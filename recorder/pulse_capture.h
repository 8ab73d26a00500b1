// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"

#include <memory>

// Records from the sound server's default source through libpulse, on a
// threaded main loop of its own that exists only during a take: between
// takes no thread, connection or stream is left open.
class PulseCapture : public Capture
{
    Q_OBJECT

public:
    explicit PulseCapture(QObject *parent = nullptr);
    ~PulseCapture() override;

    void start() override;
    std::vector<std::int16_t> stop() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

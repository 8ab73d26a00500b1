// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The takes played back to the grown-up before they are kept, as WAV files
// in one folder of the recorder's own under the user's cache. One recorder
// runs per desktop session, so the folder is emptied when it starts: what a
// recorder ended by a logout or a crash left there does not stay for ever.
// It is removed when the recorder ends.
class TakePreviews
{
public:
    explicit TakePreviews(const QString &folder = defaultFolder());
    ~TakePreviews();
    TakePreviews(const TakePreviews &) = delete;
    TakePreviews &operator=(const TakePreviews &) = delete;

    // "previews" in the user's cache folder for the program.
    static QString defaultFolder();
    // Writes the take to a file of its own (the player keeps what it has
    // read under a name) and returns its path; empty if it cannot be written.
    QString write(const std::vector<std::int16_t> &samples, int rate);

private:
    QString m_folder;
    int m_written = 0;
};

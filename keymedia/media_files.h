// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Writing a family's own recording or picture, and taking it away again.
namespace KeyMedia {

// A mono 16-bit PCM WAV file of the samples, as bytes.
QByteArray wavBytes(const std::vector<std::int16_t> &samples, int rate);

// Writes the bytes to the file through QSaveFile, creating its folder when
// needed: afterwards the file holds either what it held before or all of the
// new bytes, whatever happens meanwhile. On failure returns false and sets
// reason to the system's word for what went wrong.
bool saveAtomically(const QString &path, const QByteArray &bytes, QString &reason);

// Removes the file, so that the one behind it (the pack's) is used again. A
// file that is not there is already removed. On failure returns false and
// sets reason to the system's word for what went wrong.
bool removeFile(const QString &path, QString &reason);

} // namespace KeyMedia

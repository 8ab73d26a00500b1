// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <array>

namespace KeyMedia {

// A key the lesson knows, and the word its recording says and its picture shows.
struct Key {
    char16_t key;
    const char *word; // UTF-8
};

// The ten digits, the 21 letters of the Italian alphabet in order, then the
// five foreign ones as Italian children meet them. The media pack's word list
// (tools/words.tsv) holds the same keys and words; a test compares them.
extern const std::array<Key, 36> Keys;

// True for the ten digits and the 26 lower-case letters, compared exactly:
// "A" is not a key of the lesson.
bool isRecognizedKey(QStringView key);

// The word for a key ("ape" for "a"), or nothing for a key the lesson does not know.
QString wordOf(QStringView key);

// The game's own sounds, found like a key's recording: the family's first, then the pack's.
inline constexpr QStringView BravoSound = u"bravo";     // a right answer
inline constexpr QStringView RiprovaSound = u"riprova"; // another key
inline constexpr QStringView FestaSound = u"festa";     // a level completed
// All three, in that order, for what goes through each of them.
extern const std::array<QStringView, 3> GameSounds;

} // namespace KeyMedia

// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys.h"

#include <algorithm>

namespace KeyMedia {

// clang-format off
const std::array<Key, 36> Keys = {{
    {u'0', "zero"}, {u'1', "uno"}, {u'2', "due"}, {u'3', "tre"}, {u'4', "quattro"},
    {u'5', "cinque"}, {u'6', "sei"}, {u'7', "sette"}, {u'8', "otto"}, {u'9', "nove"},
    {u'a', "ape"}, {u'b', "balena"}, {u'c', "cane"}, {u'd', "delfino"}, {u'e', "elefante"},
    {u'f', "farfalla"}, {u'g', "gatto"}, {u'h', "hamburger"}, {u'i', "isola"}, {u'l', "leone"},
    {u'm', "mela"}, {u'n', "nave"}, {u'o', "orso"}, {u'p', "pinguino"}, {u'q', "quadrifoglio"},
    {u'r', "rana"}, {u's', "sole"}, {u't', "tartaruga"}, {u'u', "uva"}, {u'v', "volpe"},
    {u'z', "zebra"}, {u'y', "yo-yo"}, {u'x', "xilofono"}, {u'w', "würstel"}, {u'j', "jeans"},
    {u'k', "koala"},
}};
// clang-format on

const std::array<QStringView, 3> GameSounds = {BravoSound, RiprovaSound, FestaSound};

namespace {

const Key *find(QStringView key)
{
    if (key.size() != 1)
        return nullptr;
    const char16_t c = key.front().unicode();
    const auto it = std::find_if(Keys.begin(), Keys.end(), [c](const Key &entry) { return entry.key == c; });
    return it == Keys.end() ? nullptr : &*it;
}

} // namespace

bool isRecognizedKey(QStringView key)
{
    return find(key) != nullptr;
}

QString wordOf(QStringView key)
{
    const Key *entry = find(key);
    return entry ? QString::fromUtf8(entry->word) : QString();
}

} // namespace KeyMedia

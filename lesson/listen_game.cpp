// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen_game.h"

#include "keys.h"
#include "media_lookup.h"

#include <QRandomGenerator>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Game {

QStringList levelKeys(int level)
{
    // The keys in the word list's order: the digits, the Italian alphabet,
    // then the letters it borrows.
    QStringList keys;
    for (const KeyMedia::Key &entry : KeyMedia::Keys) {
        const QString key(QChar(entry.key));
        const bool digit = entry.key >= u'0' && entry.key <= u'9';
        const bool vowel = u"aeiou"_s.contains(key);
        const bool foreign = u"jkwxy"_s.contains(key);
        switch (level) {
        case 1:
            if (vowel)
                keys << key;
            break;
        case 2:
            if (!digit && !vowel && !foreign)
                keys << key;
            break;
        case 3:
            if (digit)
                keys << key;
            break;
        default:
            keys << key;
            break;
        }
    }
    return keys;
}

} // namespace Game

namespace {

const QString Question = QStringLiteral("?");

} // namespace

ListenGame::ListenGame(GameWindowOperations &window, SoundOperations &sound, std::function<int(int)> random)
    : m_window(window)
    , m_sound(sound)
    , m_random(std::move(random))
{
    if (!m_random)
        m_random = [](int bound) { return int(QRandomGenerator::global()->bounded(bound)); };
}

void ListenGame::start()
{
    m_window.setPictureVisible(false);
    m_window.showProgress(m_level, m_stars);
    wait(Wait::FirstRound, Game::FirstRoundMs);
}

void ListenGame::keyPress(char32_t keyCode, LessonChoices &choices)
{
    if (!Lesson::followLock(keyCode, choices))
        return;
    m_window.focusKeyBox();
    if (keyCode == Lesson::EscapeCode) {
        // Nothing more is asked while the farewell is on the screen.
        wait(Wait::None, 0);
        Lesson::sayGoodbye(m_window);
        return;
    }
    // The game asks for a key of the keyboard, which a capital is too,
    // whatever Shift or Caps Lock make of it.
    const QString key = Lesson::keyString(keyCode).toLower();
    if (keyCode > 0x7f || !KeyMedia::isRecognizedKey(key))
        return; // no box: a child looking for a key goes on looking
    if (m_wait == Wait::FirstRound) {
        // The child is ready before the invitation's pause is over.
        ask();
        return;
    }
    if (!m_open)
        return;
    if (key == m_asked)
        answered(choices);
    else
        missed(choices);
}

void ListenGame::waitEnded()
{
    const Wait ended = std::exchange(m_wait, Wait::None);
    switch (ended) {
    case Wait::None:
        break;
    case Wait::FirstRound:
        ask();
        break;
    case Wait::NextRound:
        if (m_stars >= Game::StarsPerLevel) {
            m_stars = 0;
            m_level = std::min(m_level + 1, Game::Levels);
        }
        ask();
        break;
    case Wait::SayAgain:
        sayQuestion();
        m_repeats = 0;
        wait(Wait::Repeat, Game::RepeatMs);
        break;
    case Wait::Repeat:
        sayQuestion();
        // A few times only; then the game waits for a key without waking.
        if (++m_repeats < Game::MaxRepeats)
            wait(Wait::Repeat, Game::RepeatMs);
        break;
    }
}

void ListenGame::ask()
{
    // Any key of the level but the one just asked.
    QStringList keys = Game::levelKeys(m_level);
    keys.removeOne(m_asked);
    m_asked = keys.at(std::clamp(m_random(int(keys.size())), 0, int(keys.size()) - 1));
    m_open = true;
    m_misses = 0;
    m_repeats = 0;

    m_window.setLabelFontSize(Lesson::KeyFontSize);
    m_window.setPictureVisible(false);
    m_window.setCaptionGrey(false);
    m_window.setLabelCaption(Question);
    m_window.showProgress(m_level, m_stars);
    sayQuestion();
    Lesson::showPicture(m_window, media(m_asked, u".jpg"));
    wait(Wait::Repeat, Game::RepeatMs);
}

void ListenGame::sayQuestion()
{
    m_sound.suona(media(m_asked, u".wav"));
}

void ListenGame::answered(const LessonChoices &choices)
{
    m_open = false;
    ++m_stars;
    m_window.setCaptionGrey(false);
    m_window.setLabelCaption(choices.capitals ? m_asked.toUpper() : m_asked);
    m_window.showProgress(m_level, m_stars);
    const bool levelDone = m_stars >= Game::StarsPerLevel;
    m_sound.suona(media(levelDone ? KeyMedia::FestaSound : KeyMedia::BravoSound, u".wav"));
    wait(Wait::NextRound, levelDone ? Game::NextLevelMs : Game::NextRoundMs);
}

void ListenGame::missed(const LessonChoices &choices)
{
    // The wrong key's character is not shown; after a few misses the
    // right one is, in grey, until its key is pressed.
    if (++m_misses >= Game::MissesBeforeAnswer) {
        m_window.setCaptionGrey(true);
        m_window.setLabelCaption(choices.capitals ? m_asked.toUpper() : m_asked);
    }
    m_sound.suona(media(KeyMedia::RiprovaSound, u".wav"));
    wait(Wait::SayAgain, Game::SayAgainMs);
}

QString ListenGame::media(QStringView name, QStringView extension) const
{
    return KeyMedia::findMediaFile(m_window.programFolder(), name.toString(), extension);
}

void ListenGame::wait(Wait what, int ms)
{
    m_wait = what;
    if (what == Wait::None)
        m_window.stopWait();
    else
        m_window.startWait(ms);
}

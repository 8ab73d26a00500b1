// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "key_handler.h"

#include <QString>
#include <QStringList>

#include <functional>

// What the listening game needs of the window beyond what the lesson does.
class GameWindowOperations : public WindowOperations
{
public:
    // The big label's character in the answer's grey, or in its own colour.
    virtual void setCaptionGrey(bool grey) = 0;
    // The level's name and the stars won in it, under the picture.
    virtual void showProgress(int level, int stars) = 0;
    // Calls ListenGame::waitEnded() once, ms milliseconds from now, in place
    // of any wait still running.
    virtual void startWait(int ms) = 0;
    virtual void stopWait() = 0;
};

namespace Game {

inline constexpr int Levels = 4;
inline constexpr int StarsPerLevel = 5;
// A right answer's sound is heard before the next question.
inline constexpr int NextRoundMs = 1500;
// The longer celebration of a level completed.
inline constexpr int NextLevelMs = 3500;
// The invitation is read before the first question.
inline constexpr int FirstRoundMs = 2500;
// "Riprova" is heard before the question again.
inline constexpr int SayAgainMs = 1500;
// With no key pressed the question is heard again, a few times, then the
// game waits quietly.
inline constexpr int RepeatMs = 8000;
inline constexpr int MaxRepeats = 3;
// Misses after which the answer is shown, in grey.
inline constexpr int MissesBeforeAnswer = 3;

inline constexpr float InvitationPoints = 72.0f;

// The keys of a level, 1 to Levels: the vowels, the Italian alphabet's
// consonants, the digits, then every key.
QStringList levelKeys(int level);

} // namespace Game

// "Ascolta e trova": the program says a key, shows its picture and a "?",
// and the child finds the key. Five right answers complete a level. The
// rules only: what is shown and heard goes through the window and the
// sound, and the window's timer brings every pause to its end.
class ListenGame
{
public:
    // random(n) gives a whole number from 0 to n - 1; by default the
    // system's random numbers.
    ListenGame(GameWindowOperations &window, SoundOperations &sound, std::function<int(int)> random = {});

    // Shows the invitation; the first question follows it.
    void start();
    void keyPress(char32_t keyCode, LessonChoices &choices);
    // The window's timer, started by startWait(), has run out.
    void waitEnded();

    int level() const { return m_level; }
    int stars() const { return m_stars; }
    // The key asked in the open question; empty before the first.
    QString asked() const { return m_asked; }

private:
    enum class Wait { None, FirstRound, NextRound, SayAgain, Repeat };

    void ask();
    void sayQuestion();
    void answered(const LessonChoices &choices);
    void missed(const LessonChoices &choices);
    QString media(QStringView name, QStringView extension) const;
    void wait(Wait what, int ms);

    GameWindowOperations &m_window;
    SoundOperations &m_sound;
    std::function<int(int)> m_random;
    int m_level = 1;
    int m_stars = 0;
    QString m_asked;
    bool m_open = false; // a question waits for its key
    int m_misses = 0;
    int m_repeats = 0;
    Wait m_wait = Wait::None;
};

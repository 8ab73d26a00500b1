// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen_game.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Keeps what the game shows and plays, as a child would see and hear it.
class FakeGame : public GameWindowOperations, public SoundOperations
{
public:
    QStringList heard;  // the sounds' names, "a" for a.wav
    QStringList boxes;  // the boxes' titles
    QString caption;
    bool grey = false;
    bool pictureShown = false;
    QString picture;    // the picture's name, "a" for a.jpg
    bool pictureLoads = true;
    int level = 0;
    int stars = 0;
    int waitMs = 0;     // the wait running, 0 for none
    bool ended = false;

    void setLabelFontSize(float) override {}
    void focusKeyBox() override {}
    void setLabelCaption(const QString &text) override { caption = text; }
    void setPictureVisible(bool visible) override { pictureShown = visible; }
    void afterCaptionShown(std::function<void()> then) override { then(); }
    bool loadPicture(const QString &path, QString &reason) override
    {
        picture = QFileInfo(path).completeBaseName();
        reason = u"danneggiata"_s;
        return pictureLoads;
    }
    QString programFolder() const override { return u"/opt/quilloro"_s; }
    void showMessage(const QString &, const QString &title, MessageIcon) override { boxes << title; }
    void endProgram() override { ended = true; }
    void setCaptionGrey(bool on) override { grey = on; }
    void showProgress(int shownLevel, int shownStars) override
    {
        level = shownLevel;
        stars = shownStars;
    }
    void startWait(int ms) override { waitMs = ms; }
    void stopWait() override { waitMs = 0; }
    void suona(const QString &path) override
    {
        QCOMPARE(QFileInfo(path).path(), u"/opt/quilloro/IMG"_s);
        heard << QFileInfo(path).completeBaseName();
    }
};

// Plays a script: '.' is the window's timer running out, any other
// character a key.
void play(ListenGame &game, FakeGame &fake, LessonChoices &choices, const QString &script)
{
    for (const char32_t code : script.toUcs4()) {
        if (code != U'.') {
            game.keyPress(code, choices);
        } else if (std::exchange(fake.waitMs, 0) != 0) {
            game.waitEnded();
        }
    }
}

} // namespace

class TestListenGame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void levels_data();
    void levels();
    void rounds_data();
    void rounds();
    void levelsInOrder();
    void pictureFails();
};

void TestListenGame::initTestCase()
{
    // No family's or school's files: every sound is the pack's.
    static QTemporaryDir empty;
    qputenv("XDG_DATA_HOME", empty.path().toUtf8());
    qputenv("XDG_DATA_DIRS", empty.path().toUtf8());
}

void TestListenGame::levels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("keys");
    QTest::newRow("vowels") << 1 << u"aeiou"_s;
    QTest::newRow("the Italian alphabet's consonants") << 2 << u"bcdfghlmnpqrstvz"_s;
    QTest::newRow("digits") << 3 << u"0123456789"_s;
    QTest::newRow("every key") << 4 << u"0123456789abcdefghilmnopqrstuvzyxwjk"_s;
}

void TestListenGame::levels()
{
    QFETCH(int, level);
    QFETCH(QString, keys);
    QCOMPARE(Game::levelKeys(level).join(QString()), keys);
}

void TestListenGame::rounds_data()
{
    // The first key of the level is asked, or the second after it: the
    // vowels' questions are a, e, a, e…
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("capitals");
    QTest::addColumn<bool>("childLock");
    QTest::addColumn<QStringList>("heard");
    QTest::addColumn<QString>("caption"); // a trailing '~' for grey
    QTest::addColumn<int>("stars");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<QStringList>("boxes");

    const QStringList none;
    // clang-format off
    QTest::newRow("invitation, then the first question")
        << u"."_s << false << false << QStringList{"a"} << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("a key during the invitation asks at once")
        << u"z"_s << false << false << QStringList{"a"} << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("the right key")
        << u".a"_s << false << false << QStringList{"a", "bravo"} << u"a"_s << 1 << Game::NextRoundMs << none;
    QTest::newRow("the right key, in capitals")
        << u".a"_s << true << false << QStringList{"a", "bravo"} << u"A"_s << 1 << Game::NextRoundMs << none;
    QTest::newRow("a capital is its key")
        << u".A"_s << false << false << QStringList{"a", "bravo"} << u"a"_s << 1 << Game::NextRoundMs << none;
    QTest::newRow("keys after the answer wait for the next question")
        << u".aae"_s << false << false << QStringList{"a", "bravo"} << u"a"_s << 1 << Game::NextRoundMs << none;
    QTest::newRow("the next question")
        << u".a."_s << false << false << QStringList{"a", "bravo", "e"} << u"?"_s << 1 << Game::RepeatMs << none;
    QTest::newRow("a miss: riprova, the wrong key not shown")
        << u".e"_s << false << false << QStringList{"a", "riprova"} << u"?"_s << 0 << Game::SayAgainMs << none;
    QTest::newRow("a miss, then the question again")
        << u".e."_s << false << false << QStringList{"a", "riprova", "a"} << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("the third miss shows the answer in grey")
        << u".e.1.z"_s << false << false << QStringList{"a", "riprova", "a", "riprova", "a", "riprova"}
        << u"a~"_s << 0 << Game::SayAgainMs << none;
    QTest::newRow("two misses do not")
        << u".e.1"_s << false << false << QStringList{"a", "riprova", "a", "riprova"}
        << u"?"_s << 0 << Game::SayAgainMs << none;
    QTest::newRow("the grey answer, in capitals, until its key")
        << u".eeei"_s << true << false << QStringList{"a", "riprova", "riprova", "riprova", "riprova"}
        << u"A~"_s << 0 << Game::SayAgainMs << none;
    QTest::newRow("the answer found after the misses")
        << u".eeea"_s << false << false << QStringList{"a", "riprova", "riprova", "riprova", "bravo"}
        << u"a"_s << 1 << Game::NextRoundMs << none;
    QTest::newRow("other keys are ignored, with no box")
        << u". !È\t\x1f\x212a"_s << false << false << QStringList{"a"} << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("said again three times, then quiet")
        << u"...."_s << false << false << QStringList{"a", "a", "a", "a"} << u"?"_s << 0 << 0 << none;
    QTest::newRow("a miss brings the repeats back")
        << u"....e."_s << false << false << QStringList{"a", "a", "a", "a", "riprova", "a"}
        << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("five right answers: the celebration")
        << u".a.e.a.e.a"_s << false << false
        << QStringList{"a", "bravo", "e", "bravo", "a", "bravo", "e", "bravo", "a", "festa"}
        << u"a"_s << 5 << Game::NextLevelMs << none;
    QTest::newRow("then the consonants")
        << u".a.e.a.e.a."_s << false << false
        << QStringList{"a", "bravo", "e", "bravo", "a", "bravo", "e", "bravo", "a", "festa", "b"}
        << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("escape: the farewell, nothing more asked")
        << u".\x1b"_s << false << false << QStringList{"a"} << u"?"_s << 0 << 0 << QStringList{"A presto da Ferlandi"};
    QTest::newRow("escape under the lock does nothing")
        << u".\x1b"_s << false << true << QStringList{"a"} << u"?"_s << 0 << Game::RepeatMs << none;
    QTest::newRow("the grown-up's word under the lock")
        << u".ESCI"_s << false << true << QStringList{"a", "riprova", "riprova", "riprova"}
        << u"a~"_s << 0 << 0 << QStringList{"A presto da Ferlandi"};
    // clang-format on
}

void TestListenGame::rounds()
{
    QFETCH(QString, script);
    QFETCH(bool, capitals);
    QFETCH(bool, childLock);
    QFETCH(QStringList, heard);
    QFETCH(QString, caption);
    QFETCH(int, stars);
    QFETCH(int, waitMs);
    QFETCH(QStringList, boxes);

    FakeGame fake;
    ListenGame game(fake, fake, [](int) { return 0; });
    LessonChoices choices{capitals, childLock, {}};
    game.start();
    QCOMPARE(fake.waitMs, Game::FirstRoundMs);
    QCOMPARE(fake.level, 1);
    play(game, fake, choices, script);

    QCOMPARE(fake.heard, heard);
    QCOMPARE(fake.caption + (fake.grey ? u"~"_s : QString()), caption);
    QCOMPARE(fake.stars, stars);
    QCOMPARE(fake.waitMs, waitMs);
    QCOMPARE(fake.boxes, boxes);
    QCOMPARE(fake.ended, !boxes.isEmpty());
    // The question's picture is shown with it.
    QCOMPARE(fake.pictureShown, true);
    QCOMPARE(fake.picture, game.asked());
}

// Each level after five right answers, in order; the last goes on. Never
// the same key twice in a row, and in time every key.
void TestListenGame::levelsInOrder()
{
    FakeGame fake;
    QRandomGenerator random(29);
    ListenGame game(fake, fake, [&random](int bound) { return int(random.bounded(bound)); });
    LessonChoices choices;
    game.start();
    QList<int> levels;
    QSet<QString> seen;
    QString previous;
    for (int round = 0; round < 200; ++round) {
        game.waitEnded();
        QCOMPARE(fake.caption, u"?"_s);
        QVERIFY2(Game::levelKeys(fake.level).contains(game.asked()), qPrintable(game.asked()));
        QVERIFY2(game.asked() != previous, qPrintable(previous));
        previous = game.asked();
        if (fake.level == Game::Levels)
            seen << previous;
        if (levels.isEmpty() || levels.last() != fake.level)
            levels << fake.level;
        // A miss now and then, which changes nothing of the level.
        if (round % 3 == 0)
            game.keyPress(previous == u"z"_s ? U'0' : U'z', choices);
        game.keyPress(previous.front().unicode(), choices);
        QCOMPARE(fake.heard.last(), round % 5 == 4 ? u"festa"_s : u"bravo"_s);
    }
    QCOMPARE(levels, (QList<int>{1, 2, 3, 4}));
    QCOMPARE(seen.size(), 36);
}

// A picture that cannot be shown is named for the grown-up, and the game goes on.
void TestListenGame::pictureFails()
{
    FakeGame fake;
    fake.pictureLoads = false;
    ListenGame game(fake, fake, [](int) { return 0; });
    LessonChoices choices;
    game.start();
    game.waitEnded();
    QCOMPARE(fake.boxes, QStringList{u"Immagine non disponibile"_s});
    QVERIFY(!fake.pictureShown);
    game.keyPress(U'a', choices);
    QCOMPARE(fake.heard, (QStringList{u"a"_s, u"bravo"_s}));
}

QTEST_GUILESS_MAIN(TestListenGame)
#include "tst_listen_game.moc"

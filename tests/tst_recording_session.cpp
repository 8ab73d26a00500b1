// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"
#include "recorder_fakes.h"
#include "recording_session.h"
#include "test_support.h"

#include <QHash>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace RecorderFakes;
using namespace TestSupport;
using State = RecordingSession::State;
using Kind = SessionMessage::Kind;

class TestRecordingSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { m_folders.nextFamily(); }
    void steps_data();
    void steps();
    void everyMessageHasItsSentence_data();
    void everyMessageHasItsSentence();

private:
    // The steps of a row, one word each: a key, or a game sound's name
    // (bravo, riprova, festa), selects it; "short": the
    // microphone hears a loud take of 0.4 s from now on; "rec", "keep",
    // "throw", "retry", "listen", "choose" (may a picture be chosen),
    // "photo" (a photo chosen), "original:voice", "original:picture";
    // "progress:FRAMES", "fail:lost" for what the capture reports.
    void play(RecordingSession &session, FakeCapture &capture, const QString &steps);
    QString own(const QString &name) const { return m_folders.own(name); }
    QString root(const QString &name) const { return m_folders.root.filePath(name); }

    Folders m_folders;
};

void TestRecordingSession::initTestCase()
{
    QVERIFY(m_folders.createPack());
    QVERIFY(writeFile(root(QStringLiteral("photo.jpg")), TestSupport::picture(QSize(1200, 900), 120)));
}

void TestRecordingSession::play(RecordingSession &session, FakeCapture &capture, const QString &steps)
{
    using Media = RecordingSession::Media;
    const QHash<QString, std::function<void()>> actions{
        {QStringLiteral("short"), [&] { capture.take.resize(22050 * 4 / 10, 8000); }},
        {QStringLiteral("rec"), [&] { session.toggleRecording(); }},
        {QStringLiteral("keep"), [&] { session.keep(); }},
        {QStringLiteral("throw"), [&] { session.throwAway(); }},
        {QStringLiteral("retry"), [&] { session.tryAgain(); }},
        {QStringLiteral("listen"), [&] { session.listen(); }},
        {QStringLiteral("choose"), [&] { session.mayChoosePicture(); }},
        {QStringLiteral("photo"), [&] { session.pictureChosen(root(QStringLiteral("photo.jpg"))); }},
        {QStringLiteral("original:voice"), [&] { session.backToOriginal(Media::Voice); }},
        {QStringLiteral("original:picture"), [&] { session.backToOriginal(Media::Picture); }},
        {QStringLiteral("fail:lost"), [&] { emit capture.failed(Capture::Failure::Lost); }},
    };
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        if (step.size() == 1 || step == u"bravo" || step == u"riprova" || step == u"festa")
            session.select(step);
        else if (step.startsWith(QLatin1String("progress:")))
            emit capture.progress(-12.0, step.section(u':', 1).toLongLong());
        else if (actions.contains(step))
            actions[step]();
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

namespace {

// The files a row looks at are the selected key's or game sound's, b's when
// none is selected.
struct Row {
    const char *name;
    // "old": the family's KEY.wav holds "old"; "own": a voice and a 100 x 100
    // picture of the family's for KEY (a picture a game sound's name, put in
    // the folder by hand).
    const char *before;
    const char *steps;
    const char *key;
    State state;
    const char *calls;  // asked of the capture
    const char *wav;    // the family's KEY.wav afterwards: "", "old", "own", "take"
    int jpgWidth;       // the family's KEY.jpg afterwards; 0: none
    const char *played; // "take" (the take waiting), "pack", "own"
    const char *said;   // the kinds of every message, "!" before an error
};

// clang-format off
const Row Rows[] = {
    {"kept over the family's old one", "old", "b rec rec keep", "b", State::Idle, "start stop", "take", 0, "take", "KeySelected GettingReady TakeReady VoiceKept"},
    {"a double click: too short", "", "short b rec rec keep", "b", State::Idle, "start stop", "", 0, "", "KeySelected GettingReady !TooShort"},
    {"stops by itself after 10 s", "", "b rec progress:110250 progress:220500", "b", State::TakeWaiting, "start stop", "", 0, "take", "KeySelected GettingReady Recording TakeReady"},
    {"microphone lost: the old file stays", "old", "b rec progress:2205 fail:lost", "b", State::Idle, "start stop", "old", 0, "", "KeySelected GettingReady Recording !MicrophoneLost"},
    {"a failure after stopping is old news", "", "b rec rec fail:lost keep", "b", State::Idle, "start stop", "take", 0, "take", "KeySelected GettingReady TakeReady VoiceKept"},
    {"no key chosen yet", "", "rec choose listen original:voice keep", "", State::Idle, "", "", 0, "", "!ChooseAKeyFirst !ChooseAKeyFirst"},
    {"another key waits for the take", "", "b rec rec c choose original:voice", "b", State::TakeWaiting, "start stop", "", 0, "take", "KeySelected GettingReady TakeReady !KeepTakeFirst !KeepTakeFirst !KeepTakeFirst"},
    {"try again, then keep the second", "", "b rec rec retry rec keep", "b", State::Idle, "start stop start stop", "take", 0, "take take", "KeySelected GettingReady TakeReady GettingReady TakeReady VoiceKept"},
    {"listening to the take waiting", "", "b rec rec listen", "b", State::TakeWaiting, "start stop", "", 0, "take take", "KeySelected GettingReady TakeReady"},
    {"nothing heard while recording", "", "b rec listen", "b", State::Recording, "start", "", 0, "", "KeySelected GettingReady"},
    {"while recording nothing else", "", "b rec c choose original:picture", "b", State::Recording, "start", "", 0, "", "KeySelected GettingReady !StopFirst !StopFirst !StopFirst"},
    {"a 1200 x 900 photo kept within 1000 x 500", "", "b photo keep", "b", State::Idle, "", "", 666, "", "KeySelected PictureReady PictureKept"},
    {"picture thrown away", "", "b photo throw", "b", State::Idle, "", "", 0, "", "KeySelected PictureReady PictureThrownAway"},
    {"a picture waits: nothing else", "", "b photo rec c choose", "b", State::PictureWaiting, "", "", 0, "", "KeySelected PictureReady !KeepPictureFirst !KeepPictureFirst !KeepPictureFirst"},
    {"back to the pack's voice", "own", "b original:voice listen", "b", State::Idle, "", "", 100, "pack", "KeySelected OriginalVoiceBack"},
    {"back to the pack's picture", "own", "b original:picture listen", "b", State::Idle, "", "own", 0, "own", "KeySelected OriginalPictureBack"},
    {"already the pack's", "", "b original:voice original:picture", "b", State::Idle, "", "", 0, "", "KeySelected AlreadyOriginalVoice AlreadyOriginalPicture"},
    {"nothing to listen to", "", "d listen", "d", State::Idle, "", "", 0, "", "KeySelected !NothingToListen"},
    // The game's two sounds a family records, as a key's voice; no picture.
    {"Bravo! recorded and kept", "", "bravo rec rec keep", "bravo", State::Idle, "start stop", "take", 0, "take", "SoundSelected GettingReady TakeReady VoiceKept"},
    {"Riprova kept over the family's old one", "old", "riprova rec rec retry rec keep", "riprova", State::Idle, "start stop start stop", "take", 0, "take take", "SoundSelected GettingReady TakeReady GettingReady TakeReady VoiceKept"},
    {"Bravo!: the take thrown away", "old", "bravo rec rec throw", "bravo", State::Idle, "start stop", "old", 0, "take", "SoundSelected GettingReady TakeReady TakeThrownAway"},
    {"Bravo!: no picture chosen or taken away", "own", "bravo choose photo original:picture", "bravo", State::Idle, "", "own", 100, "", "SoundSelected !NoPicture !NoPicture"},
    {"Bravo!: back to the pack's voice", "own", "bravo original:voice listen", "bravo", State::Idle, "", "", 100, "pack", "SoundSelected OriginalVoiceBack"},
    {"Riprova: nothing of the pack's to listen to", "", "riprova listen", "riprova", State::Idle, "", "", 0, "", "SoundSelected !NothingToListen"},
    {"a take of Bravo! waits: Riprova refused", "", "bravo rec rec riprova", "bravo", State::TakeWaiting, "start stop", "", 0, "take", "SoundSelected GettingReady TakeReady !KeepTakeFirst"},
    {"from a key to a sound and back", "", "b bravo c", "c", State::Idle, "", "", 0, "", "KeySelected SoundSelected KeySelected"},
    {"festa has no tile of its own", "", "festa rec", "", State::Idle, "", "", 0, "", "!ChooseAKeyFirst"},
};
// clang-format on

} // namespace

void TestRecordingSession::steps_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(Rows)); ++i)
        QTest::newRow(Rows[i].name) << i;
}

void TestRecordingSession::steps()
{
    QFETCH(int, row);
    const Row &r = Rows[row];
    const QString name = *r.key ? QLatin1String(r.key) : QStringLiteral("b");
    const QString wav = name + QStringLiteral(".wav"), jpg = name + QStringLiteral(".jpg");
    const QByteArray ownVoice = recording(2205, 500);
    const QByteArray before(r.before);
    if (before == "old")
        QVERIFY(writeFile(own(wav), "old"));
    if (before == "own") {
        QVERIFY(writeFile(own(wav), ownVoice));
        QVERIFY(writeFile(own(jpg), TestSupport::picture(QSize(100, 100), 200)));
    }

    FakeCapture capture;
    capture.take = voiceTake();
    FakeSound sound;
    RecordingSession session(capture, sound, m_folders.program);
    QStringList kinds;
    connect(&session, &RecordingSession::said, this, [&](const SessionMessage &message) {
        kinds << (message.isError() ? QStringLiteral("!") : QString())
                + QLatin1String(QMetaEnum::fromType<Kind>().valueToKey(int(message.kind)));
    });

    play(session, capture, QLatin1String(r.steps));

    QCOMPARE(session.key(), QLatin1String(r.key));
    QCOMPARE(session.state(), r.state);
    QCOMPARE(capture.calls.join(u' '), QLatin1String(r.calls));
    QCOMPARE(kinds.join(u' '), QLatin1String(r.said));
    QStringList heard;
    for (const QString &path : std::as_const(sound.played))
        heard << (path == own(wav)                                                ? QStringLiteral("own")
                      : path == m_folders.program + QStringLiteral("/IMG/") + wav ? QStringLiteral("pack")
                                                                                  : QStringLiteral("take"));
    QCOMPARE(heard.join(u' '), QLatin1String(r.played));

    const QByteArray saved = readBytes(own(wav));
    if (QByteArray(r.wav) == "take") {
        // What was heard is what was kept: the processed take, a WAV of it.
        QVERIFY(saved.startsWith("RIFF"));
        QCOMPARE(readBytes(sound.played.last()), saved);
    } else {
        QCOMPARE(saved, QByteArray(r.wav) == "own" ? ownVoice : QByteArray(r.wav));
    }
    QCOMPARE(QImage(own(jpg), "jpeg").width(), r.jpgWidth);
}

void TestRecordingSession::everyMessageHasItsSentence_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("shown"); // as the sentences name it
    QTest::newRow("a key") << QStringLiteral("b") << QStringLiteral("b");
    QTest::newRow("Bravo!") << QStringLiteral("bravo") << QStringLiteral("«Bravo!»");
    QTest::newRow("Riprova") << QStringLiteral("riprova") << QStringLiteral("«Riprova»");
}

// Each kind of message has a sentence of its own with every argument filled
// in, its numbers written as the locale writes them; a game sound is named
// by its label in quotes, as a key is by itself.
void TestRecordingSession::everyMessageHasItsSentence()
{
    QFETCH(QString, key);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const QMetaEnum kinds = QMetaEnum::fromType<Kind>();
    QSet<QString> sentences;
    for (int i = 0; i < kinds.keyCount(); ++i) {
        SessionMessage message;
        message.kind = Kind(kinds.value(i));
        message.key = key;
        message.path = QStringLiteral("/folder/file.wav");
        message.reason = QStringLiteral("why");
        message.seconds = 1.5;
        // Five digits: grouped by Italian on every Qt (Qt 6.8 leaves four ungrouped).
        message.size = QSize(12345, 250);
        const QString sentence = RecorderTexts::sentence(message);
        QVERIFY2(!sentence.isEmpty(), kinds.key(i));
        QVERIFY2(!sentence.contains(QRegularExpression(QStringLiteral("%\\d"))), qPrintable(sentence));
        if (message.kind == Kind::TakeReady || message.kind == Kind::PictureReady)
            QVERIFY2(sentence.contains(message.kind == Kind::TakeReady ? u"1,5" : u"12.345"), qPrintable(sentence));
        // What names it names it as the grown-up sees it on its tile.
        if (message.kind == (key == shown ? Kind::KeySelected : Kind::SoundSelected) || message.kind == Kind::VoiceKept
            || message.kind == Kind::TakeReady)
            QVERIFY2(sentence.contains(shown), qPrintable(sentence));
        sentences << sentence;
    }
    QCOMPARE(sentences.size(), kinds.keyCount());
}

QTEST_MAIN(TestRecordingSession)
#include "tst_recording_session.moc"

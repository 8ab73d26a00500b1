// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"
#include "recorder_fakes.h"
#include "recording_session.h"
#include "test_support.h"

#include <QMetaEnum>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace RecorderFakes;
using namespace TestSupport;
using State = RecordingSession::State;
using Kind = SessionMessage::Kind;

class TestRecordingSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void steps_data();
    void steps();
    void everyMessageHasItsSentence();

private:
    // The steps of a row, one word each: a key selects it; "rec", "keep",
    // "throw", "retry", "listen", "choose" (may a picture be chosen),
    // "photo" or "broken" (that file chosen), "original:voice",
    // "original:picture"; "progress:FRAMES", "fail:lost", "fail:nomic",
    // "fail:noserver" for what the capture reports.
    void play(RecordingSession &session, FakeCapture &capture, const QString &steps);
    QString own(const QString &name) const { return m_data.filePath(QStringLiteral("quilloro/IMG/") + name); }

    QTemporaryDir m_root;
    QDir m_data;
    QString m_program;
};

void TestRecordingSession::initTestCase()
{
    QVERIFY(m_root.isValid());
    // The pack beside a program folder of our own; no shared folders.
    m_program = m_root.filePath(QStringLiteral("program"));
    QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/b.wav"), pcm(1, 22050, frames(2205, {1000}))));
    QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/b.jpg"), TestSupport::picture(QSize(300, 250), 0)));
    QVERIFY(writeBytes(m_root.filePath(QStringLiteral("photo.jpg")), TestSupport::picture(QSize(1200, 900), 120)));
    QVERIFY(writeBytes(m_root.filePath(QStringLiteral("broken.jpg")), "not a picture"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_root.filePath(QStringLiteral("none"))));
}

void TestRecordingSession::init()
{
    // A family folder of its own for every row.
    static int row = 0;
    m_data = QDir(m_root.filePath(QStringLiteral("data%1").arg(++row)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

void TestRecordingSession::play(RecordingSession &session, FakeCapture &capture, const QString &steps)
{
    using Media = RecordingSession::Media;
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QString argument = step.section(u':', 1);
        if (step.size() == 1)
            session.select(step);
        else if (step == QLatin1String("rec"))
            session.toggleRecording();
        else if (step == QLatin1String("keep"))
            session.keep();
        else if (step == QLatin1String("throw"))
            session.throwAway();
        else if (step == QLatin1String("retry"))
            session.tryAgain();
        else if (step == QLatin1String("listen"))
            session.listen();
        else if (step == QLatin1String("choose"))
            session.mayChoosePicture();
        else if (step == QLatin1String("photo") || step == QLatin1String("broken"))
            session.pictureChosen(m_root.filePath(step + QStringLiteral(".jpg")));
        else if (step.startsWith(QLatin1String("original:")))
            session.backToOriginal(argument == QLatin1String("voice") ? Media::Voice : Media::Picture);
        else if (step.startsWith(QLatin1String("progress:")))
            emit capture.progress(-12.0, argument.toLongLong());
        else if (step.startsWith(QLatin1String("fail:")))
            emit capture.failed(argument == QLatin1String("lost")        ? Capture::Failure::Lost
                                    : argument == QLatin1String("nomic") ? Capture::Failure::NoMicrophone
                                                                         : Capture::Failure::NoServer);
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

void TestRecordingSession::steps_data()
{
    // before: "old": the family's b.wav holds "old"; "own": a voice and a
    // 100 x 100 picture of the family's for b; "blocked": its folder is a file.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("take"); // what the microphone heard: "voice", "silence"
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("key");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("calls");  // asked of the capture
    QTest::addColumn<QString>("wav");    // the family's b.wav afterwards: "", "old", "own", "take"
    QTest::addColumn<QSize>("jpg");      // the family's b.jpg afterwards
    QTest::addColumn<QString>("played"); // "take" (the take waiting), "pack", "own"
    QTest::addColumn<QString>("said");   // the kinds of every message

    const QSize none(0, 0); // a null image's size: no file
    const QSize ownPicture(100, 100);
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    row("record and keep") << ""
                           << "voice"
                           << "b rec rec keep"
                           << "b" << State::Idle << "start stop"
                           << "take" << none << "take"
                           << "KeySelected Recording TakeReady VoiceKept";
    row("kept over the family's old one") << "old"
                                          << "voice"
                                          << "b rec rec keep"
                                          << "b" << State::Idle << "start stop"
                                          << "take" << none << "take"
                                          << "KeySelected Recording TakeReady VoiceKept";
    row("thrown away") << "old"
                       << "voice"
                       << "b rec rec throw"
                       << "b" << State::Idle << "start stop"
                       << "old" << none << "take"
                       << "KeySelected Recording TakeReady TakeThrownAway";
    row("thrown away while recording") << ""
                                       << "voice"
                                       << "b rec throw"
                                       << "b" << State::Idle << "start stop"
                                       << "" << none << ""
                                       << "KeySelected Recording RecordingInterrupted";
    row("a take with no voice is not kept") << ""
                                            << "silence"
                                            << "b rec rec keep"
                                            << "b" << State::Idle << "start stop"
                                            << "" << none << ""
                                            << "KeySelected Recording NoVoice";
    row("stops by itself after 10 s") << ""
                                      << "voice"
                                      << "b rec progress:110250 progress:220500"
                                      << "b" << State::TakeWaiting << "start stop"
                                      << "" << none << "take"
                                      << "KeySelected Recording TakeReady";
    row("microphone lost: the old file stays") << "old"
                                               << "voice"
                                               << "b rec progress:2205 fail:lost"
                                               << "b" << State::Idle << "start stop"
                                               << "old" << none << ""
                                               << "KeySelected Recording MicrophoneLost";
    row("no microphone") << ""
                         << "voice"
                         << "b rec fail:nomic"
                         << "b" << State::Idle << "start stop"
                         << "" << none << ""
                         << "KeySelected Recording NoMicrophone";
    row("no sound server") << ""
                           << "voice"
                           << "b rec fail:noserver"
                           << "b" << State::Idle << "start stop"
                           << "" << none << ""
                           << "KeySelected Recording NoSoundServer";
    row("a failure after stopping is old news") << ""
                                                << "voice"
                                                << "b rec rec fail:lost keep"
                                                << "b" << State::Idle << "start stop"
                                                << "take" << none << "take"
                                                << "KeySelected Recording TakeReady VoiceKept";
    row("no key chosen yet") << ""
                             << "voice"
                             << "rec choose listen original:voice keep"
                             << "" << State::Idle << ""
                             << "" << none << ""
                             << "ChooseAKeyFirst ChooseAKeyFirst";
    row("another key waits for the take") << ""
                                          << "voice"
                                          << "b rec rec c choose original:voice"
                                          << "b" << State::TakeWaiting << "start stop"
                                          << "" << none << "take"
                                          << "KeySelected Recording TakeReady KeepTakeFirst KeepTakeFirst "
                                             "KeepTakeFirst";
    row("recording again: try again") << ""
                                      << "voice"
                                      << "b rec rec rec"
                                      << "b" << State::Recording << "start stop start"
                                      << "" << none << "take"
                                      << "KeySelected Recording TakeReady Recording";
    row("try again, then keep the second") << ""
                                           << "voice"
                                           << "b rec rec retry rec keep"
                                           << "b" << State::Idle << "start stop start stop"
                                           << "take" << none << "take take"
                                           << "KeySelected Recording TakeReady Recording TakeReady VoiceKept";
    row("listening to the take waiting") << ""
                                         << "voice"
                                         << "b rec rec listen"
                                         << "b" << State::TakeWaiting << "start stop"
                                         << "" << none << "take take"
                                         << "KeySelected Recording TakeReady";
    row("nothing heard while recording") << ""
                                         << "voice"
                                         << "b rec listen"
                                         << "b" << State::Recording << "start"
                                         << "" << none << ""
                                         << "KeySelected Recording";
    row("while recording nothing else") << ""
                                        << "voice"
                                        << "b rec c choose original:picture"
                                        << "b" << State::Recording << "start"
                                        << "" << none << ""
                                        << "KeySelected Recording StopFirst StopFirst StopFirst";
    row("folder cannot be written: the take waits") << "blocked"
                                                    << "voice"
                                                    << "b rec rec keep"
                                                    << "b" << State::TakeWaiting << "start stop"
                                                    << "" << none << "take"
                                                    << "KeySelected Recording TakeReady CannotWrite";
    row("picture kept, within 500 x 250") << ""
                                          << "voice"
                                          << "b photo keep"
                                          << "b" << State::Idle << ""
                                          << "" << QSize(333, 250) << ""
                                          << "KeySelected PictureReady PictureKept";
    row("picture thrown away") << ""
                               << "voice"
                               << "b photo throw"
                               << "b" << State::Idle << ""
                               << "" << none << ""
                               << "KeySelected PictureReady PictureThrownAway";
    row("picture cannot be read") << ""
                                  << "voice"
                                  << "b broken keep"
                                  << "b" << State::Idle << ""
                                  << "" << none << ""
                                  << "KeySelected PictureUnreadable";
    row("a picture waits: nothing else") << ""
                                         << "voice"
                                         << "b photo rec c choose"
                                         << "b" << State::PictureWaiting << ""
                                         << "" << none << ""
                                         << "KeySelected PictureReady KeepPictureFirst KeepPictureFirst "
                                            "KeepPictureFirst";
    row("back to the pack's voice") << "own"
                                    << "voice"
                                    << "b original:voice listen"
                                    << "b" << State::Idle << ""
                                    << "" << ownPicture << "pack"
                                    << "KeySelected OriginalVoiceBack";
    row("back to the pack's picture") << "own"
                                      << "voice"
                                      << "b original:picture listen"
                                      << "b" << State::Idle << ""
                                      << "own" << none << "own"
                                      << "KeySelected OriginalPictureBack";
    row("already the pack's") << ""
                              << "voice"
                              << "b original:voice original:picture"
                              << "b" << State::Idle << ""
                              << "" << none << ""
                              << "KeySelected AlreadyOriginalVoice AlreadyOriginalPicture";
    row("nothing to listen to") << ""
                                << "voice"
                                << "d listen"
                                << "d" << State::Idle << ""
                                << "" << none << ""
                                << "KeySelected NothingToListen";
}

void TestRecordingSession::steps()
{
    QFETCH(QString, before);
    QFETCH(QString, take);
    QFETCH(QString, steps);
    QFETCH(QString, key);
    QFETCH(State, state);
    QFETCH(QString, calls);
    QFETCH(QString, wav);
    QFETCH(QSize, jpg);
    QFETCH(QString, played);
    QFETCH(QString, said);

    const QByteArray ownVoice = pcm(1, 22050, frames(2205, {500}));
    if (before == QLatin1String("old"))
        QVERIFY(writeBytes(own(QStringLiteral("b.wav")), "old"));
    if (before == QLatin1String("own")) {
        QVERIFY(writeBytes(own(QStringLiteral("b.wav")), ownVoice));
        QVERIFY(writeBytes(own(QStringLiteral("b.jpg")), TestSupport::picture(QSize(100, 100), 200)));
    }
    if (before == QLatin1String("blocked"))
        QVERIFY(writeBytes(m_data.filePath(QStringLiteral("quilloro")), "a file, not a folder"));

    FakeCapture capture;
    capture.take = take == QLatin1String("voice") ? voiceTake() : std::vector<std::int16_t>(22050, 3);
    FakeSound sound;
    RecordingSession session(capture, sound, m_program);
    QStringList kinds;
    const QMetaEnum kindNames = QMetaEnum::fromType<Kind>();
    connect(&session, &RecordingSession::said, this,
            [&](const SessionMessage &message) { kinds << QLatin1String(kindNames.valueToKey(int(message.kind))); });

    play(session, capture, steps);

    QCOMPARE(session.key(), key);
    QCOMPARE(session.state(), state);
    QCOMPARE(capture.calls.join(u' '), calls);
    QCOMPARE(kinds.join(u' '), said);
    QStringList heard;
    for (const QString &path : std::as_const(sound.played))
        heard << (path == own(QStringLiteral("b.wav"))                   ? QStringLiteral("own")
                      : path == m_program + QStringLiteral("/IMG/b.wav") ? QStringLiteral("pack")
                                                                         : QStringLiteral("take"));
    QCOMPARE(heard.join(u' '), played);

    const QByteArray saved = readBytes(own(QStringLiteral("b.wav")));
    if (wav == QLatin1String("take")) {
        // What was heard is what was kept: the processed take, a WAV of it.
        QVERIFY(saved.startsWith("RIFF"));
        QCOMPARE(readBytes(sound.played.last()), saved);
    } else {
        QCOMPARE(saved, wav == QLatin1String("own") ? ownVoice : wav.toLatin1());
    }
    QCOMPARE(QImage(own(QStringLiteral("b.jpg")), "jpeg").size(), jpg);

    // The files a message names are the ones the row is about.
    const SessionMessage last = session.lastMessage();
    if (last.kind == Kind::CannotWrite)
        QCOMPARE(last.path, m_data.filePath(QStringLiteral("quilloro/IMG")));
    if (last.kind == Kind::VoiceKept)
        QCOMPARE(last.path, own(QStringLiteral("b.wav")));
    if (last.kind == Kind::PictureUnreadable)
        QCOMPARE(last.path, m_root.filePath(QStringLiteral("broken.jpg")));
    if (last.kind == Kind::CannotWrite || last.kind == Kind::PictureUnreadable)
        QVERIFY(!last.reason.isEmpty());
}

// Each kind of message has a sentence of its own with every argument filled in.
void TestRecordingSession::everyMessageHasItsSentence()
{
    const QMetaEnum kinds = QMetaEnum::fromType<Kind>();
    QSet<QString> sentences;
    for (int i = 0; i < kinds.keyCount(); ++i) {
        SessionMessage message;
        message.kind = Kind(kinds.value(i));
        message.key = QStringLiteral("b");
        message.path = QStringLiteral("/folder/b.wav");
        message.reason = QStringLiteral("why");
        const QString sentence = RecorderTexts::sentence(message);
        QVERIFY2(!sentence.isEmpty(), kinds.key(i));
        QVERIFY2(!sentence.contains(QRegularExpression(QStringLiteral("%\\d"))), qPrintable(sentence));
        sentences << sentence;
    }
    QCOMPARE(sentences.size(), kinds.keyCount());
}

QTEST_MAIN(TestRecordingSession)
#include "tst_recording_session.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_window.h"
#include "take_processing.h"
#include "test_support.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <numbers>

using namespace TestSupport;

namespace {

// A microphone driven by the test: it says what was asked of it, and hands
// over the take the test put in it.
class FakeCapture : public Capture
{
public:
    void start() override { calls << QStringLiteral("start"); }
    std::vector<std::int16_t> stop() override
    {
        calls << QStringLiteral("stop");
        return take;
    }
    QStringList calls;
    std::vector<std::int16_t> take;
};

class FakeSound : public SoundOperations
{
public:
    void suona(const QString &path) override { played << path; }
    QStringList played;
};

// Half a second of silence, a second of 440 Hz at -20 dBFS, half a second of silence.
std::vector<std::int16_t> voiceTake(double peakDb = -20)
{
    std::vector<std::int16_t> take(std::size_t(Take::SampleRate) * 2, 0);
    for (int i = 0; i < Take::SampleRate; ++i)
        take[std::size_t(Take::SampleRate / 2 + i)] =
            std::int16_t(32767 * Take::amplitude(peakDb) * std::sin(2 * std::numbers::pi * 440 * i / Take::SampleRate));
    return take;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRecorderWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keyboard_data();
    void keyboard();
    void picture_data();
    void picture();
    void backToOriginal_data();
    void backToOriginal();
    void closeWithATakeWaiting_data();
    void closeWithATakeWaiting();
    void tabReachesEveryControl();

private:
    // The events of a row, one word each: a key's name for QTest ("b",
    // "Space", "Tab", "Ctrl+O"...), or "progress:FRAMES", "fail:lost",
    // "fail:nomic", "fail:noserver" for what the capture reports.
    void play(RecorderWindow &window, FakeCapture &capture, const QString &events);
    QString own(const QString &name) const { return m_data.filePath(QStringLiteral("quilloro/IMG/") + name); }

    QTemporaryDir m_root;
    QDir m_data;
    QString m_program;
};

void TestRecorderWindow::initTestCase()
{
    QVERIFY(m_root.isValid());
    // The pack beside a program folder of our own; no shared folders.
    m_program = m_root.filePath(QStringLiteral("program"));
    for (const char *key : {"b", "c"}) {
        QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/%1.wav").arg(QLatin1String(key)),
                           pcm(1, 22050, frames(2205, {1000}))));
        QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/%1.jpg").arg(QLatin1String(key)),
                           TestSupport::picture(QSize(300, 250), 0)));
    }
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_root.filePath(QStringLiteral("none"))));
}

void TestRecorderWindow::init()
{
    // A family folder of its own for every row.
    static int row = 0;
    m_data = QDir(m_root.filePath(QStringLiteral("data%1").arg(++row)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

void TestRecorderWindow::play(RecorderWindow &window, FakeCapture &capture, const QString &events)
{
    for (const QString &event : events.split(u' ', Qt::SkipEmptyParts)) {
        if (event.startsWith(QLatin1String("progress:"))) {
            emit capture.progress(-12.0, event.section(u':', 1).toLongLong());
        } else if (event.startsWith(QLatin1String("fail:"))) {
            const QString what = event.section(u':', 1);
            emit capture.failed(what == QLatin1String("lost")        ? Capture::Failure::Lost
                                    : what == QLatin1String("nomic") ? Capture::Failure::NoMicrophone
                                                                     : Capture::Failure::NoServer);
        } else {
            const QKeySequence sequence(event);
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
            QTest::keySequence(target, sequence);
        }
        QCoreApplication::processEvents();
    }
}

void TestRecorderWindow::keyboard_data()
{
    QTest::addColumn<QString>("before"); // "old": the family's b.wav holds "old"; "blocked": its folder is a file
    QTest::addColumn<QString>("take");   // what the microphone heard: "voice", "silence"
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<RecorderWindow::State>("state");
    QTest::addColumn<QString>("calls");  // asked of the capture
    QTest::addColumn<QString>("ownWav"); // the family's b.wav afterwards: "", "old", "take"
    QTest::addColumn<QString>("status"); // words the last sentence holds

    using S = RecorderWindow::State;
    QTest::newRow("record and keep") << ""
                                     << "voice"
                                     << "b Space Space Return"
                                     << "b" << S::Idle << "start stop"
                                     << "take"
                                     << "Fatto";
    QTest::newRow("kept over the family's old one") << "old"
                                                    << "voice"
                                                    << "b Space Space Return"
                                                    << "b" << S::Idle << "start stop"
                                                    << "take"
                                                    << "Fatto";
    QTest::newRow("thrown away") << "old"
                                 << "voice"
                                 << "b Space Space Escape"
                                 << "b" << S::Idle << "start stop"
                                 << "old"
                                 << "buttata via";
    QTest::newRow("Escape while recording") << ""
                                            << "voice"
                                            << "b Space Escape"
                                            << "b" << S::Idle << "start stop"
                                            << ""
                                            << "interrotta";
    QTest::newRow("a take with no voice is not kept") << ""
                                                      << "silence"
                                                      << "b Space Space Return"
                                                      << "b" << S::Idle << "start stop"
                                                      << ""
                                                      << "nessuna voce";
    QTest::newRow("stops by itself after 10 s") << ""
                                                << "voice"
                                                << "b Space progress:110250 progress:220500"
                                                << "b" << S::TakeWaiting << "start stop"
                                                << ""
                                                << "Invio";
    QTest::newRow("microphone lost: the old file stays") << "old"
                                                         << "voice"
                                                         << "b Space progress:2205 fail:lost"
                                                         << "b" << S::Idle << "start stop"
                                                         << "old"
                                                         << "scollegato";
    QTest::newRow("no microphone") << ""
                                   << "voice"
                                   << "b Space fail:nomic"
                                   << "b" << S::Idle << "start stop"
                                   << ""
                                   << "Nessun microfono trovato";
    QTest::newRow("no sound server") << ""
                                     << "voice"
                                     << "b Space fail:noserver"
                                     << "b" << S::Idle << "start stop"
                                     << ""
                                     << "Nessun microfono trovato";
    QTest::newRow("a failure after stopping is old news") << ""
                                                          << "voice"
                                                          << "b Space Space fail:lost Return"
                                                          << "b" << S::Idle << "start stop"
                                                          << "take"
                                                          << "Fatto";
    QTest::newRow("no key chosen yet") << ""
                                       << "voice"
                                       << "Space"
                                       << "" << S::Idle << ""
                                       << ""
                                       << "Scegli prima";
    QTest::newRow("another key waits for the take") << ""
                                                    << "voice"
                                                    << "b Space Space c"
                                                    << "b" << S::TakeWaiting << "start stop"
                                                    << ""
                                                    << "Prima tieni";
    QTest::newRow("Space again: try again") << ""
                                            << "voice"
                                            << "b Space Space Space"
                                            << "b" << S::Recording << "start stop start"
                                            << ""
                                            << "Sto registrando";
    QTest::newRow("Space from a focused button") << ""
                                                 << "voice"
                                                 << "c Tab Tab Tab Space"
                                                 << "c" << S::Recording << "start"
                                                 << ""
                                                 << "Sto registrando";
    QTest::newRow("other keys select nothing") << ""
                                               << "voice"
                                               << ", Alt+B Ctrl+B"
                                               << "" << S::Idle << ""
                                               << ""
                                               << "Scegli un tasto";
    QTest::newRow("folder cannot be written: the take waits") << "blocked"
                                                              << "voice"
                                                              << "b Space Space Return"
                                                              << "b" << S::TakeWaiting << "start stop"
                                                              << ""
                                                              << "quilloro";
}

void TestRecorderWindow::keyboard()
{
    QFETCH(QString, before);
    QFETCH(QString, take);
    QFETCH(QString, events);
    QFETCH(QString, selected);
    QFETCH(RecorderWindow::State, state);
    QFETCH(QString, calls);
    QFETCH(QString, ownWav);
    QFETCH(QString, status);

    if (before == QLatin1String("old"))
        QVERIFY(writeBytes(own(QStringLiteral("b.wav")), "old"));
    if (before == QLatin1String("blocked"))
        QVERIFY(writeBytes(m_data.filePath(QStringLiteral("quilloro")), "a file, not a folder"));

    FakeCapture capture;
    capture.take = take == QLatin1String("voice") ? voiceTake() : std::vector<std::int16_t>(22050, 3);
    FakeSound sound;
    UnansweredBoxGuard guard;
    RecorderWindow window(capture, sound, m_program);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    play(window, capture, events);

    QCOMPARE(window.selectedKey(), selected);
    QCOMPARE(window.state(), state);
    QCOMPARE(capture.calls.join(u' '), calls);
    QVERIFY2(window.statusText().contains(status), qPrintable(window.statusText()));
    const QByteArray saved = readBytes(own(QStringLiteral("b.wav")));
    if (ownWav == QLatin1String("take")) {
        // What was heard is what was kept: the processed take, a WAV of it.
        QVERIFY(saved.startsWith("RIFF"));
        QVERIFY(!sound.played.isEmpty());
        QCOMPARE(readBytes(sound.played.last()), saved);
    } else {
        QCOMPARE(saved, ownWav.toLatin1());
    }
    if (before == QLatin1String("blocked"))
        QVERIFY2(window.statusText().contains(QDir::toNativeSeparators(m_data.filePath(QStringLiteral("quilloro")))),
                 qPrintable(window.statusText()));
}

void TestRecorderWindow::picture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("finally"); // the key after the picture is shown: "Return", "Escape"
    QTest::addColumn<QSize>("saved");     // the family's b.jpg afterwards; empty: none
    QTest::addColumn<QString>("status");

    const QByteArray photo = TestSupport::picture(QSize(1200, 900), 120);
    QTest::newRow("kept, within 500 x 250") << photo << "Return" << QSize(333, 250) << "Fatto";
    QTest::newRow("thrown away") << photo << "Escape" << QSize() << "buttata via";
    QTest::newRow("cannot be read: named") << QByteArray("not a picture") << "Return" << QSize() << "chosen.jpg";
}

// Ctrl+O opens Qt's file dialog, where the path is typed as a person would.
void TestRecorderWindow::picture()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, finally);
    QFETCH(QSize, saved);
    QFETCH(QString, status);

    const QString chosen = m_root.filePath(QStringLiteral("chosen.jpg"));
    QVERIFY(writeBytes(chosen, content));
    FakeCapture capture;
    FakeSound sound;
    UnansweredBoxGuard guard;
    RecorderWindow window(capture, sound, m_program);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    play(window, capture, QStringLiteral("b"));

    bool answered = false;
    QTimer::singleShot(0, &window, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(chosen);
        QTest::keyClick(name, Qt::Key_Return);
        answered = true;
    });
    play(window, capture, QStringLiteral("Ctrl+O"));
    QVERIFY(answered);
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (!saved.isEmpty() || finally == QLatin1String("Escape"))
        QCOMPARE(window.state(), RecorderWindow::State::PictureWaiting);
    play(window, capture, finally);

    QCOMPARE(window.state(), RecorderWindow::State::Idle);
    QVERIFY2(window.statusText().contains(status), qPrintable(window.statusText()));
    const QImage kept(own(QStringLiteral("b.jpg")), "jpeg");
    if (saved.isEmpty())
        QVERIFY(kept.isNull());
    else
        QCOMPARE(kept.size(), saved);
}

void TestRecorderWindow::backToOriginal_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("voiceKept");
    QTest::addColumn<bool>("pictureKept");
    QTest::addColumn<QString>("listened"); // which b.wav Listen plays afterwards: "own", "pack"
    QTest::addColumn<QString>("mark");     // b's tile afterwards

    QTest::newRow("voice") << "Alt+V" << QMessageBox::Yes << false << true << "pack"
                           << "b\nfigura tua";
    QTest::newRow("picture") << "Alt+G" << QMessageBox::Yes << true << false << "own"
                             << "b\nvoce tua";
    QTest::newRow("voice, changed mind") << "Alt+V" << QMessageBox::No << true << true << "own"
                                         << "b\nvoce e figura tue";
}

void TestRecorderWindow::backToOriginal()
{
    QFETCH(QString, keys);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, voiceKept);
    QFETCH(bool, pictureKept);
    QFETCH(QString, listened);
    QFETCH(QString, mark);

    QVERIFY(writeBytes(own(QStringLiteral("b.wav")), pcm(1, 22050, frames(2205, {500}))));
    QVERIFY(writeBytes(own(QStringLiteral("b.jpg")), TestSupport::picture(QSize(100, 100), 200)));
    FakeCapture capture;
    FakeSound sound;
    UnansweredBoxGuard guard;
    RecorderWindow window(capture, sound, m_program);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    play(window, capture, QStringLiteral("b"));

    // A button's Alt+letter clicks it a moment later (it is seen going down):
    // the box is answered whenever it opens.
    bool asked = false;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, &window, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(answer)->click();
        }
    });
    answerer.start(10);
    play(window, capture, keys);
    QTRY_VERIFY(asked);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(QFileInfo::exists(own(QStringLiteral("b.wav"))), voiceKept);
    QCOMPARE(QFileInfo::exists(own(QStringLiteral("b.jpg"))), pictureKept);
    // The tiles mark what is the family's and what is the pack's.
    QCOMPARE(window.findChild<QToolButton *>(QStringLiteral("key_b"))->text(), mark);
    QCOMPARE(window.findChild<QToolButton *>(QStringLiteral("key_c"))->text(), QStringLiteral("c\noriginale"));

    QApplication::setActiveWindow(&window);
    play(window, capture, QStringLiteral("Alt+A"));
    QTRY_COMPARE(sound.played,
                 QStringList{listened == QLatin1String("own") ? own(QStringLiteral("b.wav"))
                                                              : m_program + QStringLiteral("/IMG/b.wav")});
}

void TestRecorderWindow::closeWithATakeWaiting_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("closed, the take thrown away") << QMessageBox::Yes << true;
    QTest::newRow("stays open, the take still waiting") << QMessageBox::No << false;
}

// A take not kept yet is not lost to a window closed by mistake.
void TestRecorderWindow::closeWithATakeWaiting()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, closed);
    FakeCapture capture;
    capture.take = voiceTake();
    FakeSound sound;
    UnansweredBoxGuard guard;
    RecorderWindow window(capture, sound, m_program);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    play(window, capture, QStringLiteral("b Space Space"));
    QCOMPARE(window.state(), RecorderWindow::State::TakeWaiting);

    QTimer::singleShot(0, &window, [answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(answer)->click();
    });
    QCOMPARE(window.close(), closed);
    QCOMPARE(window.isVisible(), !closed);
    if (!closed)
        QCOMPARE(window.state(), RecorderWindow::State::TakeWaiting);
}

void TestRecorderWindow::tabReachesEveryControl()
{
    FakeCapture capture;
    FakeSound sound;
    RecorderWindow window(capture, sound, m_program);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    play(window, capture, QStringLiteral("b"));

    QSet<QWidget *> reached;
    for (int i = 0; i < 100; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Tab);
        reached << QApplication::focusWidget();
    }
    const auto controls = window.findChildren<QAbstractButton *>();
    QCOMPARE(controls.size(), 36 + 7);
    for (QAbstractButton *control : controls) {
        if (control->isEnabled())
            QVERIFY2(reached.contains(control), qPrintable(control->text()));
    }
}

QTEST_MAIN(TestRecorderWindow)
#include "tst_recorder_window.moc"

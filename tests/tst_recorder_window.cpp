// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_grid.h"
#include "recorder_fakes.h"
#include "recorder_window.h"
#include "test_support.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QtEndian>

#include <memory>

using namespace RecorderFakes;
using namespace TestSupport;
using State = RecordingSession::State;

namespace {

// A BMP whose header claims 30000 x 30000 pixels, gigabytes once decoded.
QByteArray hugeBmp()
{
    QByteArray bytes(54 + 16, '\0');
    const auto put32 = [&bytes](int at, quint32 value) { qToLittleEndian(value, bytes.data() + at); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 30000);
    put32(22, 30000);
    qToLittleEndian(quint16(1), bytes.data() + 26);
    qToLittleEndian(quint16(24), bytes.data() + 28);
    return bytes;
}

} // namespace

class TestRecorderWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keys_data();
    void keys();
    void pictureThroughTheDialog();
    void backToOriginal_data();
    void backToOriginal();
    void closeWithATakeWaiting_data();
    void closeWithATakeWaiting();
    void tabReachesEveryControl();
    void hostilePicturesMarkTheirTiles();

private:
    // A recorder window shown and active, on fakes of the test's.
    struct Shown {
        FakeCapture capture;
        FakeSound sound;
        UnansweredBoxGuard guard;
        RecorderWindow window;
        explicit Shown(const QString &program)
            : window(capture, sound, program)
        { }
    };
    std::unique_ptr<Shown> show();
    // Key names for QTest, one word each ("b", "Space", "Tab", "Ctrl+O"...),
    // typed where the focus is, as a person would; "click:KEY" clicks a tile.
    static void type(RecorderWindow &window, const QString &keys);
    QString own(const QString &name) const { return m_data.filePath(QStringLiteral("quilloro/IMG/") + name); }

    QTemporaryDir m_root;
    QDir m_data;
    QString m_program;
};

void TestRecorderWindow::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_program = m_root.filePath(QStringLiteral("program"));
    for (const char *key : {"b", "c"}) {
        QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/%1.wav").arg(QLatin1String(key)),
                           pcm(1, 22050, frames(2205, {1000}))));
        QVERIFY(writeBytes(m_program + QStringLiteral("/IMG/%1.jpg").arg(QLatin1String(key)),
                           TestSupport::picture(QSize(300, 250), 0)));
    }
}

void TestRecorderWindow::init()
{
    // A family folder of its own for every row; no shared folders.
    static int row = 0;
    m_data = QDir(m_root.filePath(QStringLiteral("data%1").arg(++row)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_root.filePath(QStringLiteral("none"))));
}

std::unique_ptr<TestRecorderWindow::Shown> TestRecorderWindow::show()
{
    auto shown = std::make_unique<Shown>(m_program);
    shown->capture.take = voiceTake();
    shown->window.show();
    QApplication::setActiveWindow(&shown->window);
    if (!QTest::qWaitForWindowActive(&shown->window))
        return nullptr;
    return shown;
}

void TestRecorderWindow::type(RecorderWindow &window, const QString &keys)
{
    for (const QString &key : keys.split(u' ', Qt::SkipEmptyParts)) {
        if (key.startsWith(QLatin1String("click:"))) {
            QTest::mouseClick(window.keyGrid()->tile(key.section(u':', 1)), Qt::LeftButton);
            continue;
        }
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keySequence(target, QKeySequence(key));
        QCoreApplication::processEvents();
    }
}

void TestRecorderWindow::keys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("enabled"); // the buttons that can be pressed afterwards
    QTest::addColumn<bool>("kept");       // the family's b.wav written

    QTest::newRow("nothing selected") << ", Alt+B Ctrl+B"
                                      << "" << State::Idle << "" << false;
    QTest::newRow("a key typed") << "b"
                                 << "b" << State::Idle
                                 << "&Ascolta &Registra (Spazio) Scegli una &figura… (Ctrl+O) &Voce originale "
                                    "Figura ori&ginale"
                                 << false;
    QTest::newRow("Space records") << "b Space"
                                   << "b" << State::Recording << "&Ferma (Spazio)" << false;
    QTest::newRow("Space from a focused button") << "c Tab Tab Tab Space"
                                                 << "c" << State::Recording << "&Ferma (Spazio)" << false;
    QTest::newRow("a take waits") << "b Space Space"
                                  << "b" << State::TakeWaiting << "&Ascolta &Registra (Spazio) &Tieni (Invio) Ri&prova"
                                  << false;
    QTest::newRow("another key typed while it waits")
        << "b Space Space c"
        << "b" << State::TakeWaiting << "&Ascolta &Registra (Spazio) &Tieni (Invio) Ri&prova" << false;
    QTest::newRow("another tile clicked while it waits")
        << "b Space Space click:c"
        << "b" << State::TakeWaiting << "&Ascolta &Registra (Spazio) &Tieni (Invio) Ri&prova" << false;
    QTest::newRow("a tile clicked") << "click:c"
                                    << "c" << State::Idle
                                    << "&Ascolta &Registra (Spazio) Scegli una &figura… (Ctrl+O) &Voce originale "
                                       "Figura ori&ginale"
                                    << false;
    QTest::newRow("Return keeps it") << "b Space Space Return"
                                     << "b" << State::Idle
                                     << "&Ascolta &Registra (Spazio) Scegli una &figura… (Ctrl+O) &Voce originale "
                                        "Figura ori&ginale"
                                     << true;
    QTest::newRow("Escape throws it away") << "b Space Space Escape"
                                           << "b" << State::Idle
                                           << "&Ascolta &Registra (Spazio) Scegli una &figura… (Ctrl+O) "
                                              "&Voce originale Figura ori&ginale"
                                           << false;
}

// The keyboard reaches the session, and the buttons follow its state.
void TestRecorderWindow::keys()
{
    QFETCH(QString, keys);
    QFETCH(QString, selected);
    QFETCH(State, state);
    QFETCH(QString, enabled);
    QFETCH(bool, kept);

    const auto shown = show();
    QVERIFY(shown);
    type(shown->window, keys);

    QCOMPARE(shown->window.session().key(), selected);
    QCOMPARE(shown->window.session().state(), state);
    QCOMPARE(QFileInfo::exists(own(QStringLiteral("b.wav"))), kept);
    QStringList pressable;
    for (QPushButton *button : shown->window.findChildren<QPushButton *>()) {
        if (button->isEnabled())
            pressable << button->text();
    }
    QCOMPARE(pressable.join(u' '), enabled);
    // Only the selected key's tile is checked, however the tiles were clicked.
    for (QToolButton *tile : shown->window.keyGrid()->findChildren<QToolButton *>())
        QCOMPARE(tile->isChecked(), tile == shown->window.keyGrid()->tile(selected));
}

// Ctrl+O opens Qt's file dialog, where the path is typed as a person would.
void TestRecorderWindow::pictureThroughTheDialog()
{
    const QString chosen = m_root.filePath(QStringLiteral("chosen.jpg"));
    QVERIFY(writeBytes(chosen, TestSupport::picture(QSize(1200, 900), 120)));
    const auto shown = show();
    QVERIFY(shown);
    type(shown->window, QStringLiteral("b"));

    bool answered = false;
    QTimer::singleShot(0, &shown->window, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(chosen);
        QTest::keyClick(name, Qt::Key_Return);
        answered = true;
    });
    type(shown->window, QStringLiteral("Ctrl+O"));
    QVERIFY(answered);
    QCOMPARE(shown->window.session().state(), State::PictureWaiting);
    QApplication::setActiveWindow(&shown->window);
    QVERIFY(QTest::qWaitForWindowActive(&shown->window));
    type(shown->window, QStringLiteral("Return"));
    QCOMPARE(shown->window.session().state(), State::Idle);
    QCOMPARE(QImage(own(QStringLiteral("b.jpg")), "jpeg").size(), QSize(333, 250));
    QCOMPARE(shown->window.keyGrid()->tile(QStringLiteral("b"))->text(), QStringLiteral("b\nfigura tua"));
}

void TestRecorderWindow::backToOriginal_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("voiceKept");
    QTest::addColumn<bool>("pictureKept");
    QTest::addColumn<QString>("mark"); // b's tile afterwards

    QTest::newRow("voice") << "Alt+V" << QMessageBox::Yes << false << true << "b\nfigura tua";
    QTest::newRow("picture") << "Alt+G" << QMessageBox::Yes << true << false << "b\nvoce tua";
    QTest::newRow("voice, changed mind") << "Alt+V" << QMessageBox::No << true << true << "b\nvoce e figura tue";
}

// The window asks before a family's file is removed, and the tiles follow.
void TestRecorderWindow::backToOriginal()
{
    QFETCH(QString, keys);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, voiceKept);
    QFETCH(bool, pictureKept);
    QFETCH(QString, mark);

    QVERIFY(writeBytes(own(QStringLiteral("b.wav")), pcm(1, 22050, frames(2205, {500}))));
    QVERIFY(writeBytes(own(QStringLiteral("b.jpg")), TestSupport::picture(QSize(100, 100), 200)));
    const auto shown = show();
    QVERIFY(shown);
    type(shown->window, QStringLiteral("b"));

    // A button's Alt+letter clicks it a moment later (it is seen going down):
    // the box is answered whenever it opens.
    bool asked = false;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, &shown->window, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(answer)->click();
        }
    });
    answerer.start(10);
    type(shown->window, keys);
    QTRY_VERIFY(asked);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(QFileInfo::exists(own(QStringLiteral("b.wav"))), voiceKept);
    QCOMPARE(QFileInfo::exists(own(QStringLiteral("b.jpg"))), pictureKept);
    QCOMPARE(shown->window.keyGrid()->tile(QStringLiteral("b"))->text(), mark);
    QCOMPARE(shown->window.keyGrid()->tile(QStringLiteral("c"))->text(), QStringLiteral("c\noriginale"));
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
    const auto shown = show();
    QVERIFY(shown);
    type(shown->window, QStringLiteral("b Space Space"));
    QCOMPARE(shown->window.session().state(), State::TakeWaiting);

    QTimer::singleShot(0, &shown->window, [answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(answer)->click();
    });
    QCOMPARE(shown->window.close(), closed);
    QCOMPARE(shown->window.isVisible(), !closed);
    QCOMPARE(shown->window.session().state(), State::TakeWaiting);
}

void TestRecorderWindow::tabReachesEveryControl()
{
    const auto shown = show();
    QVERIFY(shown);
    type(shown->window, QStringLiteral("b"));

    QSet<QWidget *> reached;
    for (int i = 0; i < 100; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &shown->window, Qt::Key_Tab);
        reached << QApplication::focusWidget();
    }
    const auto controls = shown->window.findChildren<QAbstractButton *>();
    QCOMPARE(controls.size(), 36 + 7);
    for (QAbstractButton *control : controls) {
        if (control->isEnabled())
            QVERIFY2(reached.contains(control), qPrintable(control->text()));
    }
}

// A picture the reader refuses, in the family's folder or a school's, marks
// its tile at once; the others keep their pictures.
void TestRecorderWindow::hostilePicturesMarkTheirTiles()
{
    const QString school = m_root.filePath(QStringLiteral("school"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(school));
    QVERIFY(writeBytes(own(QStringLiteral("b.jpg")), progressivePicture(QSize(64, 64), 3000)));
    QVERIFY(writeBytes(school + QStringLiteral("/quilloro/IMG/c.jpg"), hugeBmp()));
    QVERIFY(writeBytes(school + QStringLiteral("/quilloro/IMG/d.jpg"), TestSupport::picture(QSize(300, 250), 60)));

    KeyGrid grid(m_program);
    for (const char *key : {"b", "c", "d", "e"}) {
        QToolButton *tile = grid.tile(QLatin1String(key));
        const bool refused = QByteArrayView(key) != "d";
        QCOMPARE(grid.pictureUnreadable(QLatin1String(key)), refused);
        QCOMPARE(tile->icon().isNull(), refused);
        QCOMPARE(tile->text().contains(QLatin1String("figura illeggibile")), refused);
        QCOMPARE(tile->accessibleName().contains(QLatin1String("figura illeggibile")), refused);
    }
    QCOMPARE(grid.tile(QStringLiteral("b"))->text(), QStringLiteral("b\nfigura tua\nfigura illeggibile"));
    QCOMPARE(grid.tile(QStringLiteral("d"))->text(), QStringLiteral("d\noriginale"));
}

QTEST_MAIN(TestRecorderWindow)
#include "tst_recorder_window.moc"

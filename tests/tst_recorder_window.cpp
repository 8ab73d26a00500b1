// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_grid.h"
#include "lesson_settings.h"
#include "qt_translations.h"
#include "recorder_fakes.h"
#include "recorder_window.h"
#include "test_support.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QRadioButton>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include <memory>

using namespace Qt::StringLiterals;
using namespace RecorderFakes;
using namespace TestSupport;
using State = RecordingSession::State;

// A recorder window, shown and active, on fakes; its questions are answered
// with Yes, or as the test says, whenever they open.
struct Shown {
    FakeCapture capture;
    FakeSound sound;
    UnansweredBoxGuard guard;
    RecorderWindow window;
    BoxAnswerer answerer{QMessageBox::Yes};

    explicit Shown(const QString &program)
        : window(capture, sound, program)
    {
        capture.take = voiceTake();
        window.show();
        QApplication::setActiveWindow(&window);
    }
    QToolButton *tile(const char *key) const { return window.keyGrid()->tile(QLatin1String(key)); }
    // Key names for QTest, one word each ("b", "Space", "Tab", "Ctrl+O"...),
    // typed where the focus is, as a person would; "click:KEY" clicks a
    // key's or game sound's tile, "press:B" the button whose Alt letter is B,
    // "close" closes the window.
    void type(const QString &keys)
    {
        for (const QString &key : keys.split(u' ', Qt::SkipEmptyParts)) {
            if (key.startsWith(QLatin1String("click:")))
                QTest::mouseClick(window.keyGrid()->tile(key.section(u':', 1)), Qt::LeftButton);
            else if (key.startsWith(QLatin1String("press:"))) { // a button by its Alt letter, with the mouse
                for (QPushButton *button : window.findChildren<QPushButton *>()) {
                    if (button->text().contains(u'&' + key.section(u':', 1)))
                        QTest::mouseClick(button, Qt::LeftButton);
                }
            } else if (key == QLatin1String("close"))
                window.close();
            else
                QTest::keySequence(QApplication::focusWidget() ? QApplication::focusWidget() : &window,
                                   QKeySequence(key));
            QCoreApplication::processEvents();
        }
    }
};

class TestRecorderWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_shown.reset(); }
    void keys_data();
    void keys();
    void questions_data();
    void questions();
    void tabReachesEveryControl();
    void hostilePicturesMarkTheirTiles();
    void soundTiles_data();
    void soundTiles();
    void lessonChoices();

private:
    QString own(const QString &name) const { return m_folders.own(name); }

    Folders m_folders;
    std::unique_ptr<Shown> m_shown;
};

void TestRecorderWindow::initTestCase()
{
    QVERIFY(m_folders.createPack());
    // Qt's own texts in Italian, as the recorder installs them for an Italian user.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    installQtTranslations();
}

void TestRecorderWindow::init()
{
    m_folders.nextFamily();
    m_shown = std::make_unique<Shown>(m_folders.program);
    QVERIFY(QTest::qWaitForWindowActive(&m_shown->window));
}

void TestRecorderWindow::keys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<State>("state");
    // The buttons that can be pressed afterwards, by their Alt letters (v: a voice of the family's to take away).
    QTest::addColumn<QString>("enabled");

    // clang-format off
    QTest::newRow("nothing selected") << ", Alt+B Ctrl+B" << "" << State::Idle << "";
    QTest::newRow("a key typed") << "b" << "b" << State::Idle << "arf";
    QTest::newRow("a tile clicked") << "click:c" << "c" << State::Idle << "arf";
    QTest::newRow("Space records") << "b Space" << "b" << State::Recording << "f";
    QTest::newRow("Space from a focused button") << "c Tab Tab Tab Space" << "c" << State::Recording << "f";
    QTest::newRow("a take waits: another key, another tile, Registra refused") << "b Space Space c click:c press:R" << "b" << State::TakeWaiting << "artbp";
    QTest::newRow("Butta via clicked") << "b Space Space press:B" << "b" << State::Idle << "arf";
    QTest::newRow("Return keeps it") << "b Space Space Return" << "b" << State::Idle << "arfv";
    QTest::newRow("Escape throws it away") << "b Space Space Escape" << "b" << State::Idle << "arf";
    // A game sound has a voice and no picture.
    QTest::newRow("a sound's tile clicked") << "click:bravo" << "bravo" << State::Idle << "ar";
    QTest::newRow("Ctrl+O on a sound opens nothing") << "click:riprova Ctrl+O" << "riprova" << State::Idle << "ar";
    QTest::newRow("a sound's take kept") << "click:riprova Space Space Return" << "riprova" << State::Idle << "arv";
    QTest::newRow("a take of a sound waits: a key refused") << "click:bravo Space Space b" << "bravo" << State::TakeWaiting << "artbp";
    QTest::newRow("a key after a sound") << "click:bravo b" << "b" << State::Idle << "arf";
    // clang-format on
}

// The keyboard and the tiles reach the session, and the buttons follow its state.
void TestRecorderWindow::keys()
{
    QFETCH(QString, keys);
    QFETCH(QString, selected);
    QFETCH(State, state);
    QFETCH(QString, enabled);

    m_shown->type(keys);
    QCOMPARE(m_shown->window.session().key(), selected);
    QCOMPARE(m_shown->window.session().state(), state);
    QString pressable;
    for (QPushButton *button : m_shown->window.findChildren<QPushButton *>()) {
        if (button->isEnabled())
            pressable += button->text().section(u'&', 1).front().toLower();
    }
    QCOMPARE(pressable, enabled);
    // Only the selected key's tile is checked, however the tiles were clicked.
    for (QToolButton *tile : m_shown->window.keyGrid()->findChildren<QToolButton *>())
        QCOMPARE(tile->isChecked(), tile == m_shown->window.keyGrid()->tile(selected));
}

void TestRecorderWindow::questions_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("mark"); // b's tile afterwards: the family's files left
    QTest::addColumn<bool>("open");

    // clang-format off
    QTest::newRow("voice") << "b Alt+V" << QMessageBox::Yes << "b\nfigura tua" << true;
    QTest::newRow("picture") << "b Alt+G" << QMessageBox::Yes << "b\nvoce tua" << true;
    QTest::newRow("voice, changed mind") << "b Alt+V" << QMessageBox::No << "b\nvoce e figura tue" << true;
    QTest::newRow("closed, the take thrown away") << "b Space Space close" << QMessageBox::Yes << "b\nvoce e figura tue" << false;
    QTest::newRow("stays open, the take still waiting") << "b Space Space close" << QMessageBox::No << "b\nvoce e figura tue" << true;
    // clang-format on
}

// The window asks before a family's file is removed or a take not kept yet
// is lost to a window closed by mistake; the tiles follow.
void TestRecorderWindow::questions()
{
    QFETCH(QString, keys);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, mark);
    QFETCH(bool, open);

    QVERIFY(writeFile(own(QStringLiteral("b.wav")), recording(2205, 500)));
    QVERIFY(writeFile(own(QStringLiteral("b.jpg")), TestSupport::picture(QSize(100, 100), 200)));
    m_shown->window.keyGrid()->refresh(QStringLiteral("b"));
    m_shown->answerer.answer = answer;
    // A button's Alt+letter clicks it a moment later (it is seen going down).
    m_shown->type(keys);
    QTRY_COMPARE(m_shown->answerer.boxes.size(), 1);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_it.qm")))
        QCOMPARE(m_shown->answerer.yes.remove(u'&'), QStringLiteral("Sì"));
    QCOMPARE(m_shown->tile("b")->text().simplified(), mark.simplified());
    QCOMPARE(m_shown->tile("c")->text().simplified(), QStringLiteral("c originale"));
    QCOMPARE(m_shown->window.isVisible(), open);
}

void TestRecorderWindow::tabReachesEveryControl()
{
    m_shown->type(QStringLiteral("b"));
    QSet<QWidget *> reached;
    for (int i = 0; i < 100; ++i) {
        m_shown->type(QStringLiteral("Tab"));
        reached << QApplication::focusWidget();
    }
    const auto controls = m_shown->window.findChildren<QAbstractButton *>();
    // The keys, the game's two sounds, the buttons, the choices' boxes and the activity's two.
    QCOMPARE(controls.size(), 36 + 2 + 8 + 3 + 2);
    // Every control is there to be reached on a 1024 × 768 screen, below a
    // title bar and a desktop's top panel (some 64 pixels together).
    const QSize size(m_shown->window.minimumSizeHint().width(), m_shown->window.sizeHint().height());
    QVERIFY2(size.width() <= 1024 && size.height() <= 768 - 64,
             qPrintable(QStringLiteral("%1 × %2").arg(size.width()).arg(size.height())));
    for (QAbstractButton *control : controls) {
        // A group of radio buttons is one stop for Tab, its checked
        // button; the arrows go from one to the other.
        const QList<QAbstractButton *> group = control->group() ? control->group()->buttons() : QList<QAbstractButton *>();
        const bool groupReached =
            std::any_of(group.begin(), group.end(), [&reached](QAbstractButton *b) { return reached.contains(b); });
        if (control->isEnabled())
            QVERIFY2(reached.contains(control) || groupReached, qPrintable(control->text()));
    }
}

// A picture the reader refuses, in the family's folder or a school's, marks
// its tile at once; the others keep their pictures.
void TestRecorderWindow::hostilePicturesMarkTheirTiles()
{
    const QString school = m_folders.root.filePath(QStringLiteral("school"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(school));
    QVERIFY(writeFile(own(QStringLiteral("b.jpg")), progressivePicture(QSize(64, 64), 3000)));
    QVERIFY(writeFile(school + QStringLiteral("/quilloro/IMG/c.jpg"), decompressionBomb()));
    QVERIFY(writeFile(school + QStringLiteral("/quilloro/IMG/d.jpg"), TestSupport::picture(QSize(300, 250), 60)));

    KeyGrid grid(m_folders.program);
    for (const char *key : {"b", "c", "d", "e"}) {
        QToolButton *tile = grid.tile(QLatin1String(key));
        const bool refused = QByteArrayView(key) != "d";
        QCOMPARE(grid.pictureUnreadable(QLatin1String(key)), refused);
        QCOMPARE(tile->icon().isNull(), refused);
        QCOMPARE(tile->accessibleName().contains(QLatin1String("figura illeggibile")), refused);
    }
    QCOMPARE(grid.tile(QStringLiteral("b"))->text().simplified(), QStringLiteral("b figura tua figura illeggibile"));
    QCOMPARE(grid.tile(QStringLiteral("d"))->text().simplified(), QStringLiteral("d originale"));
    // A tile of the family's (b) is coloured apart from the rest, a school's (d) is not.
    const auto green = [&](const char *key) {
        const QImage tile = grid.tile(QLatin1String(key))->grab().toImage();
        const QColor seen = tile.pixelColor(4, tile.height() - 5);
        return seen.green() - seen.red() > 8;
    };
    QVERIFY(green("b") && !green("d") && !green("e"));
}

void TestRecorderWindow::soundTiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("english");
    QTest::newRow("Bravo!") << u"bravo"_s << u"Bravo!"_s << u"Well done!"_s;
    QTest::newRow("Riprova") << u"riprova"_s << u"Riprova"_s << u"Try again"_s;
}

// The game's two sounds in a row of their own below the keys, labelled and
// marked as a key's tile is: a take kept makes the tile the family's, going
// back to the original voice makes it the pack's again. In English the
// labels are English.
void TestRecorderWindow::soundTiles()
{
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, english);
    const KeyGrid *grid = m_shown->window.keyGrid();
    QToolButton *tile = grid->tile(name);
    QVERIFY(tile);
    QCOMPARE(tile->objectName(), u"sound_"_s + name);
    // Below the last row of keys, and not as tall as a key's tile.
    QToolButton *lastKey = grid->tile(u"k"_s);
    QVERIFY(tile->geometry().top() > lastKey->geometry().bottom());
    QVERIFY(tile->height() < lastKey->height());
    QVERIFY(!tile->icon().isNull());
    const auto shows = [&](const QString &mark) {
        return tile->text().startsWith(label) && tile->text().endsWith(mark) && tile->accessibleName().contains(label)
            && tile->accessibleName().endsWith(mark);
    };
    const auto green = [&] {
        const QImage shot = tile->grab().toImage();
        const QColor seen = shot.pixelColor(shot.width() - 5, shot.height() / 2);
        return seen.green() - seen.red() > 8;
    };
    QVERIFY2(shows(u"originale"_s) && !green(), qPrintable(tile->text()));

    m_shown->type(u"click:"_s + name + u" Space Space Return"_s);
    QVERIFY(QFileInfo::exists(own(name + u".wav"_s)));
    QVERIFY2(shows(u"voce tua"_s) && green(), qPrintable(tile->text()));
    QCOMPARE(m_shown->window.statusText(),
             u"Fatto: ora «%1» si sente con la tua voce (%2)."_s.arg(label, own(name + u".wav"_s)));

    // Back to the original voice, answering Yes to the question.
    m_shown->type(u"Alt+V"_s);
    QTRY_COMPARE(m_shown->answerer.boxes.size(), 1);
    QCOMPARE(m_shown->answerer.boxes.first().text,
             u"Togliere la tua voce per «%1»? Tornerà quella originale."_s.arg(label));
    QTRY_VERIFY(!QFileInfo::exists(own(name + u".wav"_s)));
    QVERIFY2(shows(u"originale"_s) && !green(), qPrintable(tile->text()));

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(QUILLORO_RECORDER_QM)));
    QCoreApplication::installTranslator(&translator);
    const auto remove = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
    const KeyGrid inEnglish(m_folders.program);
    QVERIFY2(inEnglish.tile(name)->text().startsWith(english + u' '), qPrintable(inEnglish.tile(name)->text()));
}

// The grown-ups' choices for the lesson: what the lesson will do is what
// the boxes show, a school's default included, and a click saves it in the
// family's file at once, or says why it could not.
void TestRecorderWindow::lessonChoices()
{
    const QByteArray callersHome = qgetenv("XDG_CONFIG_HOME"), callersDirs = qgetenv("XDG_CONFIG_DIRS");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_CONFIG_HOME", callersHome);
        qputenv("XDG_CONFIG_DIRS", callersDirs);
    });
    const QString school = m_folders.root.filePath(QStringLiteral("school-config"));
    QVERIFY(writeFile(school + QStringLiteral("/quilloro/quilloro.conf"),
                      "[lezione]\nblocco_bambino=true\nmaiuscole=true\n"));
    const QString family = m_folders.root.filePath(QStringLiteral("family-config"));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(school));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(family));
    m_shown = std::make_unique<Shown>(m_folders.program);

    QMap<QString, QCheckBox *> boxes;
    for (QCheckBox *box : m_shown->window.findChildren<QCheckBox *>())
        boxes[box->text()] = box;
    QCOMPARE(boxes.keys(), QStringList({u"Blocco bambino"_s, u"Lettere maiuscole"_s, u"Schermo intero"_s}));
    const auto shown = [&boxes] {
        return QList<bool>{boxes[u"Lettere maiuscole"_s]->isChecked(), boxes[u"Schermo intero"_s]->isChecked(),
                           boxes[u"Blocco bambino"_s]->isChecked()};
    };
    QCOMPARE(shown(), (QList<bool>{true, false, true}));

    // On the box itself, where a person clicks, not on the empty space beside it.
    const auto click = [&boxes](const QString &text) {
        QTest::mouseClick(boxes[text], Qt::LeftButton, {}, QPoint(8, boxes[text]->height() / 2));
    };
    const auto settings = [] {
        const KeyMedia::LessonSettings s = KeyMedia::readLessonSettings();
        return QList<bool>{s.capitals, s.fullScreen, s.childLock};
    };
    click(u"Schermo intero"_s);
    QCOMPARE(settings(), (QList<bool>{true, true, true}));
    click(u"Blocco bambino"_s);
    // The family's file says no to the school's lock.
    QCOMPARE(settings(), (QList<bool>{true, true, false}));
    // Only what was clicked: capitals still follow the school's file.
    const QSettings familyFile(family + QStringLiteral("/quilloro/quilloro.conf"), QSettings::IniFormat);
    QCOMPARE(familyFile.allKeys(), QStringList({u"lezione/blocco_bambino"_s, u"lezione/schermo_intero"_s}));
    QCOMPARE(m_shown->window.statusText(), u"Scelta salvata: la lezione aperta la segue subito."_s);

    // The activity: the lesson unless chosen, the game saved at a click.
    QMap<QString, QRadioButton *> activities;
    for (QRadioButton *button : m_shown->window.findChildren<QRadioButton *>())
        activities[button->text()] = button;
    QCOMPARE(activities.keys(), QStringList({u"Ascolta e trova"_s, u"Esplora i tasti"_s}));
    QVERIFY(activities[u"Esplora i tasti"_s]->isChecked());
    const auto choose = [&activities](const QString &text) {
        QTest::mouseClick(activities[text], Qt::LeftButton, {}, QPoint(8, activities[text]->height() / 2));
    };
    choose(u"Ascolta e trova"_s);
    QCOMPARE(KeyMedia::readLessonSettings().activity, KeyMedia::Activity::Listen);
    QVERIFY(!activities[u"Esplora i tasti"_s]->isChecked());
    choose(u"Esplora i tasti"_s);
    QCOMPARE(KeyMedia::readLessonSettings().activity, KeyMedia::Activity::Explore);
    choose(u"Ascolta e trova"_s);
    QCOMPARE(KeyMedia::readLessonSettings().activity, KeyMedia::Activity::Listen);

    // Nowhere to write: the grown-up is told, and the boxes show what the
    // lesson will do, the school's choices.
    QVERIFY(writeFile(m_folders.root.filePath(QStringLiteral("blocked")), "a file"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_folders.root.filePath(QStringLiteral("blocked/config"))));
    click(u"Lettere maiuscole"_s);
    QVERIFY2(m_shown->window.statusText().startsWith(u"Non riesco a salvare la scelta"_s),
             qPrintable(m_shown->window.statusText()));
    QCOMPARE(shown(), (QList<bool>{true, false, true}));
    choose(u"Ascolta e trova"_s);
    QVERIFY2(m_shown->window.statusText().startsWith(u"Non riesco a salvare la scelta"_s),
             qPrintable(m_shown->window.statusText()));
    QVERIFY(activities[u"Esplora i tasti"_s]->isChecked());
}

QTEST_MAIN(TestRecorderWindow)
#include "tst_recorder_window.moc"

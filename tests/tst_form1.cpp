// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "test_support.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace TestSupport;

namespace {

// Types text into the window's key box, and waits for the last key's
// picture, which follows its character a moment later.
void typeText(QWidget *widget, const QString &text)
{
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text, Qt::NoModifier);
    if (const auto *form = qobject_cast<Form1 *>(widget->window()))
        QTRY_VERIFY(!form->pictureToCome());
}

// What the window paints, in order: the big label with its text, the
// picture box with the size of the picture it holds; and when the box is
// shown.
class PaintLog : public QObject
{
public:
    explicit PaintLog(Form1 &form)
        : m_form(form)
    {
        form.label1()->installEventFilter(this);
        form.picture1()->installEventFilter(this);
    }
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == m_form.picture1())
            painted << u"picture box shown"_s;
        if (event->type() == QEvent::Paint) {
            const QSize size = m_form.picture1()->pixmap().size();
            painted << (watched == m_form.label1() ? u"label "_s + m_form.label1()->text()
                                                   : u"picture %1x%2 beside "_s.arg(size.width()).arg(size.height())
                                                         + m_form.label1()->text());
        }
        return false;
    }

private:
    Form1 &m_form;
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startScreen();
    void keyBoxIsNeverSeen();
    void recognizedKey();
    void characterBeforePicture();
    void pictureSize_data();
    void pictureSize();
    void otherKeys_data();
    void otherKeys();
    void damagedMedia_data();
    void damagedMedia();
    void pictureReplaced_data();
    void pictureReplaced();
    void focusOnPicture();
    void escapeEndsTheProgram();
    void capitals();
    void wholeScreen_data();
    void wholeScreen();
    void childLock();
    void loneAlt();
    void listeningGame();

private:
    UnansweredBoxGuard m_unanswered;
    MediaFolder m_media;
    std::unique_ptr<Form1> m_form;
};

void TestForm1::initTestCase()
{
    QVERIFY(m_media.put(u"a.jpg"_s, picture(QSize(120, 90), 0)));
    QVERIFY(m_media.put(u"b.jpg"_s, picture(QSize(200, 150), 240)));
}

void TestForm1::init()
{
    m_form.reset(); // the previous test's window gone before the next opens
    m_form = std::make_unique<Form1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestForm1::startScreen()
{
    // The menu bar only carries credits and a hint: choosing any of its
    // items leaves the window as it was.
    for (QAction *action : m_form->menuBar()->actions()) {
        action->trigger();
        if (action->menu()) {
            for (QAction *item : action->menu()->actions())
                item->trigger();
        }
    }
    // Before the first key: the keys go to the key box, no picture is up,
    // and the invitation is written in big cyan letters on black.
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    QVERIFY(!m_form->picture1()->isVisible());
    QCOMPARE(m_form->label1()->text(), u"Premi un tasto  numerico o alfabetico"_s);

    const QImage screen = m_form->grab(m_form->centralWidget()->geometry()).toImage();
    const QColor cyan(0, 255, 255);
    int foreign = 0, cyanPixels = 0, band = 0, tallestBand = 0, bottom = -1;
    for (int y = 0; y < screen.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < screen.width(); ++x) {
            const QColor pixel = screen.pixelColor(x, y);
            // Black, cyan, or cyan blended into black at the letters' edges;
            // anything else (a white picture box, grey) is foreign.
            if (pixel.red() != 0 || pixel.green() != pixel.blue())
                ++foreign;
            cyanPixels += pixel == cyan;
            inked |= pixel.green() > 0;
        }
        band = inked ? band + 1 : 0;
        tallestBand = std::max(tallestBand, band);
        if (inked)
            bottom = y;
    }
    QCOMPARE(foreign, 0);
    QVERIFY2(cyanPixels > 10000, qPrintable(QString::number(cyanPixels)));
    // 72-point letters: a line of them is some 70 pixels tall.
    QVERIFY2(tallestBand > 48, qPrintable(QStringLiteral("lines at most %1 pixels tall").arg(tallestBand)));
    // The last line is whole, above the bottom of the window.
    QVERIFY2(bottom < screen.height() - 1, qPrintable(QStringLiteral("text down to row %1").arg(bottom)));
}

void TestForm1::keyBoxIsNeverSeen()
{
    // With the focus in it, the caret and text of the key box still draw
    // nothing but black, on the black ground.
    typeText(m_form->text1(), QStringLiteral("b"));
    const QImage image = m_form->text1()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QImage black(image.size(), QImage::Format_ARGB32);
    black.fill(Qt::black);
    QCOMPARE(image, black);
}

void TestForm1::recognizedKey()
{
    BoxAnswerer answerer;
    typeText(m_form->text1(), QStringLiteral("a"));
    QCOMPARE(m_form->label1()->text(), u"a"_s);
    QCOMPARE(m_form->label1()->font().pointSize(), 216);
    QVERIFY(m_form->picture1()->isVisible());
    // The box takes the picture's size plus its one-pixel border.
    QCOMPARE(m_form->picture1()->geometry(), QRect(8, 296, 122, 92));

    // Composed input brings several characters at once: each is a key.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("ab"));
    QApplication::sendEvent(m_form->text1(), &composed);
    QCOMPARE(m_form->label1()->text(), u"b"_s);
    QTRY_COMPARE(m_form->picture1()->size(), QSize(202, 152));
    QVERIFY(answerer.boxes.isEmpty());
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
}

// A picture with up to twice the pixels is shown at half its size, whole
// within the 500 x 250 below the character; a smaller one at its own size.
void TestForm1::pictureSize_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("box"); // the picture and its border
    QTest::newRow("the pack's") << QSize(600, 500) << QSize(302, 252);
    QTest::newRow("the recorder's") << QSize(1000, 500) << QSize(502, 252);
    QTest::newRow("a photo put in by hand") << QSize(2000, 1500) << QSize(335, 252);
    QTest::newRow("a drawing a little too wide") << QSize(750, 200) << QSize(502, 135);
    QTest::newRow("a small one") << QSize(400, 240) << QSize(402, 242);
}

void TestForm1::pictureSize()
{
    QFETCH(QSize, stored);
    QFETCH(QSize, box);
    QVERIFY(m_media.put(u"m.jpg"_s, picture(stored, 120)));
    typeText(m_form->text1(), u"m"_s);
    QVERIFY(m_form->picture1()->isVisible());
    QCOMPARE(m_form->picture1()->size(), box);
}

void TestForm1::characterBeforePicture()
{
    typeText(m_form->text1(), u"a"_s);
    QTRY_VERIFY(m_form->picture1()->isVisible());
    QTest::qWait(50); // a's picture painted
    PaintLog log(*m_form);
    // The key's character reaches the screen while the key is handled, alone:
    // its picture follows a moment later (showing the box may wait for the
    // window system, where the pointer is, and reading the picture takes the
    // machine from a compositor drawing the character).
    QTest::sendKeyEvent(QTest::Click, m_form->text1(), Qt::Key_unknown, u"b"_s, Qt::NoModifier);
    QCOMPARE(log.painted, QStringList{u"label b"_s});
    QVERIFY(m_form->pictureToCome());
    // b's picture follows, never a's beside b.
    QTRY_VERIFY2(log.painted.contains(u"picture 200x150 beside b"_s), qPrintable(log.painted.join(u", ")));
    QVERIFY2(!log.painted.contains(u"picture 120x90 beside b"_s), qPrintable(log.painted.join(u", ")));
}

void TestForm1::otherKeys_data()
{
    // Which characters are a lesson's keys is the word list's test; these are
    // other keys as the key box receives them, some of them editing keys to it.
    QTest::addColumn<QString>("text");
    QTest::newRow("space") << " ";
    QTest::newRow("less than") << "<";
    QTest::newRow("enter") << "\r";
    QTest::newRow("backspace") << "\b";
}

void TestForm1::otherKeys()
{
    QFETCH(QString, text);

    BoxAnswerer answerer;
    typeText(m_form->text1(), QStringLiteral("a"));
    // The other key hides a's picture, and one still to come after a
    // quicker a: nothing stands beside it or behind its box.
    typeText(m_form->text1(), u"a"_s + text);
    QCOMPARE(m_form->label1()->text(), text);
    QVERIFY(!m_form->picture1()->isVisible());
    QCOMPARE(answerer.boxes,
             (QList<Box>{{u"Premi un altro tasto"_s, u"Fai attenzione, non hai premuto un tasto alfanumerico"_s,
                          QMessageBox::Question}}));

    // Keys that are no characters never reach the lesson.
    QTest::keyClick(m_form->text1(), Qt::Key_Left);
    QTest::keyClick(m_form->text1(), Qt::Key_Shift);
    QTest::keyClick(m_form->text1(), Qt::Key_Delete);
    QCOMPARE(answerer.boxes.size(), 1);
    QCOMPARE(m_form->label1()->text(), text);
}

void TestForm1::damagedMedia_data()
{
    QTest::addColumn<QString>("file"); // which of the key's two files is damaged
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("missing");   // no file at all
    QTest::addColumn<QString>("reason"); // the error box's last line; empty: the picture shows

    const QByteArray good = picture(QSize(160, 160), 120);
    // Cut halfway through the picture data, after the start-of-scan marker.
    const qsizetype scan = good.indexOf(QByteArray("\xFF\xDA", 2));
    const QString unknown = u"Il file non contiene un'immagine riconosciuta."_s;
    const QString damaged = u"L'immagine è danneggiata o troppo grande."_s;
    // clang-format off
    QTest::newRow("picture missing")      << "jpg" << QByteArray() << true << "Il file non esiste.";
    QTest::newRow("picture zero bytes")   << "jpg" << QByteArray() << false << unknown;
    QTest::newRow("picture truncated")    << "jpg" << good.left((scan + good.size()) / 2) << false << "";
    QTest::newRow("picture header only")  << "jpg" << good.left(300) << false << damaged;
    QTest::newRow("picture not an image") << "jpg" << QByteArray("just words, no picture") << false << unknown;
    QTest::newRow("progressive picture")  << "jpg" << progressivePicture(QSize(40, 40)) << false << "";
    QTest::newRow("progressive, a scan written again and again") << "jpg" << progressivePicture(QSize(40, 40), 30) << false << damaged;
    QTest::newRow("png under a jpg name") << "jpg" << picture(QSize(64, 64), 120, "PNG") << false << "";
    // clang-format on

    // A damaged recording is silence: the picture still shows, nothing is
    // said. The sound player's tests go through the kinds of damage; one
    // that claims gigabytes stands for them here.
    const QByteArray second = frames(22050, {1000});
    QTest::newRow("recording claims gigabytes") << "wav" << wav(1, 1, 22050, 16, second, 0xFFFFFF00u) << false << "";
}

void TestForm1::damagedMedia()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    QFETCH(QString, reason);

    const QString picturePath = imgDir() + u"/z.jpg"_s;
    const QString damagedPath = imgDir() + u"/z."_s + file;
    QVERIFY(m_media.put(u"z.jpg"_s, picture(QSize(60, 60), 60)));
    QVERIFY(m_media.put(u"z.wav"_s, recording(2205)));
    QFile::remove(damagedPath);
    if (!missing)
        QVERIFY(writeFile(damagedPath, content));

    BoxAnswerer answerer;
    typeText(m_form->text1(), u"a"_s);
    const long memoryBefore = peakMemoryKB();
    typeText(m_form->text1(), u"z"_s);
    QVERIFY2(peakMemoryKB() - memoryBefore < 100 * 1024, "a damaged file took more than 100 MB");

    QCOMPARE(m_form->label1()->text(), u"z"_s);
    if (reason.isEmpty()) {
        // A partly damaged JPEG still decodes into a picture: show what there is.
        QVERIFY(m_form->picture1()->isVisible());
        QVERIFY(answerer.boxes.isEmpty());
    } else {
        QVERIFY(!m_form->picture1()->isVisible());
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes.at(0).icon, QMessageBox::Critical);
        QVERIFY2(answerer.boxes.at(0).text.contains(picturePath), qPrintable(answerer.boxes.at(0).text));
        QVERIFY2(answerer.boxes.at(0).text.endsWith(reason), qPrintable(answerer.boxes.at(0).text));
    }

    // The lesson carries on with the next key.
    typeText(m_form->text1(), u"b"_s);
    QVERIFY(m_form->picture1()->isVisible());
    QCOMPARE(m_form->picture1()->size(), QSize(202, 152));
}

void TestForm1::pictureReplaced_data()
{
    QTest::addColumn<QByteArray>("content"); // what replaces the picture once shown
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QSize>("box");      // the picture's box then
    QTest::addColumn<QString>("reason"); // or the error box's last line

    // clang-format off
    QTest::newRow("another picture") << picture(QSize(160, 120), 200) << false << QSize(162, 122) << "";
    QTest::newRow("removed")         << QByteArray() << true << QSize() << "Il file non esiste.";
    QTest::newRow("not an image")    << QByteArray("just words, no picture") << false << QSize()
                                     << "Il file non contiene un'immagine riconosciuta.";
    // clang-format on
}

void TestForm1::pictureReplaced()
{
    // The grown-ups' recorder replaces a key's picture while the lesson runs:
    // the key pressed again shows what the file holds now.
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    QFETCH(QSize, box);
    QFETCH(QString, reason);

    const QString path = imgDir() + u"/z.jpg"_s;
    QVERIFY(m_media.put(u"z.jpg"_s, picture(QSize(60, 60), 60)));
    typeText(m_form->text1(), u"z"_s);
    QCOMPARE(m_form->picture1()->size(), QSize(62, 62));

    QFile::remove(path);
    if (!missing)
        QVERIFY(writeFile(path, content));
    BoxAnswerer answerer;
    typeText(m_form->text1(), u"a"_s);
    typeText(m_form->text1(), u"z"_s);
    if (reason.isEmpty()) {
        QVERIFY(answerer.boxes.isEmpty());
        QVERIFY(m_form->picture1()->isVisible());
        QCOMPARE(m_form->picture1()->size(), box);
    } else {
        QVERIFY(!m_form->picture1()->isVisible());
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY2(answerer.boxes.at(0).text.endsWith(reason), qPrintable(answerer.boxes.at(0).text));
    }
}

void TestForm1::focusOnPicture()
{
    typeText(m_form->text1(), QStringLiteral("a"));
    QTest::keyClick(m_form->text1(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_form->picture1());

    // While the picture has the focus, keys do nothing; Tab brings it back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::NoModifier);
    QCOMPARE(m_form->label1()->text(), u"a"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    typeText(m_form->text1(), QStringLiteral("b"));
    QCOMPARE(m_form->label1()->text(), u"b"_s);
}

void TestForm1::escapeEndsTheProgram()
{
    BoxAnswerer answerer;
    QTimer::singleShot(0, this, [this] {
        QTest::keyClick(m_form->text1(), Qt::Key_Escape);
        // After the farewell no key reaches the lesson any more.
        typeText(m_form->text1(), QStringLiteral("b"));
    });
    // An Escape that does not end the program would leave exec() running for ever.
    bool ended = true;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&ended] {
        ended = false;
        QApplication::exit(1);
    });
    watchdog.start(10000);
    const int status = QApplication::exec();
    QVERIFY2(ended, "Escape did not end the program: its event loop still ran 10 s later");
    QCOMPARE(status, 0);
    QCOMPARE(answerer.boxes, (QList<Box>{{u"Ciao alla prossima"_s, u"A presto da Ferlandi"_s, QMessageBox::Warning}}));
    QCOMPARE(m_form->label1()->font().pointSize(), 216);
    QCOMPARE(m_form->label1()->text(), u"Premi un tasto  numerico o alfabetico"_s);
}

// The lesson's ground around the text: a line of the label with no letter on it.
bool edgeIsBlack(const QImage &image, int x)
{
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixelColor(x, y).green() != 0)
            return false;
    }
    return true;
}

void TestForm1::capitals()
{
    m_form->applyChoices({.capitals = true});
    QCOMPARE(m_form->label1()->text(), u"PREMI UN TASTO NUMERICO O ALFABETICO"_s);
    // Capitals are wider than small letters: every word whole within the label.
    const QImage invitation = m_form->label1()->grab().toImage();
    QVERIFY(edgeIsBlack(invitation, 0));
    QVERIFY(edgeIsBlack(invitation, invitation.width() - 1));

    // Shift+a is the key a, shown as its capital with a's picture.
    BoxAnswerer answerer;
    QTest::sendKeyEvent(QTest::Click, m_form->text1(), Qt::Key_A, u"A"_s, Qt::ShiftModifier);
    QCOMPARE(m_form->label1()->text(), u"A"_s);
    QTRY_COMPARE(m_form->picture1()->size(), QSize(122, 92));
    typeText(m_form->text1(), u"b"_s);
    QCOMPARE(m_form->label1()->text(), u"B"_s);
    QCOMPARE(m_form->picture1()->size(), QSize(202, 152));
    QVERIFY(answerer.boxes.isEmpty());

    // Turned off while running: small letters again, and a capital is another key.
    m_form->applyChoices({});
    QTest::sendKeyEvent(QTest::Click, m_form->text1(), Qt::Key_A, u"A"_s, Qt::ShiftModifier);
    QCOMPARE(m_form->label1()->text(), u"A"_s);
    QCOMPARE(answerer.boxes.size(), 1);
}

// On the whole screen the design's area grows evenly to the screen and
// stands in its middle; back in a window, everything is as designed.
void TestForm1::wholeScreen_data()
{
    QTest::addColumn<bool>("pictureFirst");
    QTest::newRow("key pressed on the whole screen") << false;
    QTest::newRow("picture up when the screen is taken") << true;
}

void TestForm1::wholeScreen()
{
    QFETCH(bool, pictureFirst);
    BoxAnswerer answerer;
    if (pictureFirst)
        typeText(m_form->text1(), u"b"_s);
    m_form->applyChoices({.fullScreen = true});
    QTRY_COMPARE(m_form->geometry(), m_form->screen()->geometry());
    typeText(m_form->text1(), u"b"_s);

    const QSize area = m_form->centralWidget()->size();
    const qreal scale = std::min(area.width() / 517.0, area.height() / 554.0);
    QCOMPARE(m_form->scale(), scale);
    QVERIFY(scale > 1.05);
    const QRect label = m_form->label1()->geometry();
    QCOMPARE(label.size(), QSize(qRound(475 * scale), qRound(551 * scale)));
    // In the middle: as much ground left and right of the design's area,
    // and above and below it.
    const int left = label.x() - qRound(8 * scale);
    QVERIFY2(std::abs(area.width() - qRound(517 * scale) - 2 * left) <= 2, qPrintable(QString::number(left)));
    const int top = label.y() + qRound(24 * scale);
    QVERIFY2(std::abs(area.height() - qRound(554 * scale) - 2 * top) <= 2, qPrintable(QString::number(top)));
    QCOMPARE(m_form->label1()->font().pointSizeF(), 216 * scale);
    // The picture grows with the rest, drawn at the screen's pixels.
    const QPixmap picture = m_form->picture1()->pixmap();
    QCOMPARE(picture.size(), (QSizeF(200, 150) * scale * m_form->devicePixelRatioF()).toSize());
    // Below the character as in the window, 320 design pixels under the label's top.
    QVERIFY2((m_form->picture1()->pos() - label.topLeft() - QPoint(0, qRound(320 * scale))).manhattanLength() <= 1,
             qPrintable(u"picture at %1,%2"_s.arg(m_form->picture1()->x()).arg(m_form->picture1()->y())));

    m_form->applyChoices({});
    QTRY_COMPARE(m_form->centralWidget()->size(), QSize(517, 554));
    QCOMPARE(m_form->scale(), 1.0);
    QCOMPARE(m_form->label1()->geometry(), QRect(8, -24, 475, 551));
    QCOMPARE(m_form->label1()->font().pointSize(), 216);
    QCOMPARE(m_form->picture1()->geometry(), QRect(8, 296, 202, 152));
    QVERIFY(answerer.boxes.isEmpty());
}

void TestForm1::childLock()
{
    BoxAnswerer answerer;
    m_form->applyChoices({.childLock = true});
    const auto hint = std::find_if(m_form->menuBar()->actions().cbegin(), m_form->menuBar()->actions().cend(),
                                   [](const QAction *action) { return action->objectName() == u"Esc"; });
    QCOMPARE((*hint)->text(), u"Per uscire dal programma scrivi esci"_s);

    // Neither the close button, nor Escape, nor Tab takes the lesson away.
    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    typeText(m_form->text1(), u"a"_s);
    QTest::keyClick(m_form->text1(), Qt::Key_Escape);
    QTest::keyClick(m_form->text1(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    QTest::mouseClick(m_form->picture1(), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    QVERIFY(answerer.boxes.isEmpty());

    // The grown-up's word, in any case, ends it with the farewell.
    QTimer::singleShot(0, this, [this] {
        for (const QString &key : {u"E"_s, u"s"_s, u"C"_s, u"i"_s})
            typeText(m_form->text1(), key);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [] { QApplication::exit(1); });
    watchdog.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    // (The test's media has no pictures for e, s and c: each says so.)
    QCOMPARE(answerer.boxes.size(), 4);
    QCOMPARE(answerer.boxes.last(), (Box{u"Ciao alla prossima"_s, u"A presto da Ferlandi"_s, QMessageBox::Warning}));

    // Without the lock the close button closes, as designed.
    m_form = std::make_unique<Form1>();
    m_form->show();
    QVERIFY(m_form->close());
}

// Under the Windows style a lone Alt calls the menu bar's keyboard
// navigation, which takes the keyboard from whatever has it; the lesson's
// key box keeps it, so the next key and the word esci are the lesson's.
void TestForm1::loneAlt()
{
    QStyle *windowsStyle = QStyleFactory::create(u"Windows"_s);
    QVERIFY(windowsStyle);
    m_form->menuBar()->setStyle(windowsStyle);
    QVERIFY(m_form->menuBar()->style()->styleHint(QStyle::SH_MenuBar_AltKeyNavigation, nullptr, m_form->menuBar()));
    QTest::keyPress(m_form->text1(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(m_form->text1(), Qt::Key_Alt);
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    m_form->menuBar()->setStyle(nullptr);
    delete windowsStyle;
}

// The game in the window: the question, the answer in grey after the
// misses, the star won; back to the lesson as the design has it.
void TestForm1::listeningGame()
{
    for (const QString &vowel : {u"e"_s, u"i"_s, u"o"_s, u"u"_s})
        QVERIFY(m_media.put(vowel + u".jpg"_s, picture(QSize(120, 90), 120)));
    BoxAnswerer answerer;
    m_form->applyChoices({.activity = KeyMedia::Activity::Listen});
    QCOMPARE(m_form->label1()->text(), u"Ascolta e premi il tasto giusto"_s);
    QVERIFY(m_form->levelLabel()->isVisible());
    QCOMPARE(m_form->levelLabel()->text(), u"Livello 1"_s);
    QVERIFY(m_form->starRow()->isVisible());
    QVERIFY(!m_form->picture1()->isVisible());

    QTRY_COMPARE_WITH_TIMEOUT(m_form->label1()->text(), u"?"_s, 10000);
    QTRY_VERIFY(m_form->picture1()->isVisible());
    const QString asked = m_form->game()->asked();
    QVERIFY2(u"aeiou"_s.contains(asked), qPrintable(asked));

    // What the label shows, by its ink: cyan, grey, or none.
    const auto ink = [this] {
        const QImage label = m_form->label1()->grab().toImage();
        int cyan = 0, grey = 0;
        for (int y = 0; y < label.height(); ++y) {
            for (int x = 0; x < label.width(); ++x) {
                const QColor pixel = label.pixelColor(x, y);
                cyan += pixel == QColor(0, 255, 255);
                grey += pixel == QColor(128, 128, 128);
            }
        }
        return QStringLiteral("%1%2").arg(cyan > 1000 ? u"cyan"_s : QString(), grey > 1000 ? u"grey"_s : QString());
    };
    // Gold in each of the five stars' places.
    const auto stars = [this] {
        const QImage row = m_form->starRow()->grab().toImage();
        QString gold;
        for (int star = 0; star < 5; ++star) {
            int pixels = 0;
            for (int y = 0; y < row.height(); ++y) {
                for (int x = star * row.width() / 5; x < (star + 1) * row.width() / 5; ++x) {
                    const QColor pixel = row.pixelColor(x, y);
                    pixels += pixel.red() > 200 && pixel.green() > 150 && pixel.blue() < 60;
                }
            }
            gold += pixels > 20 ? u'*' : u'.';
        }
        return gold;
    };
    QCOMPARE(ink(), u"cyan"_s);
    QCOMPARE(stars(), u"....."_s);

    // Other keys do nothing; misses hide the wrong key, then show the answer in grey.
    const QString wrong = asked == u"a" ? u"e"_s : u"a"_s;
    typeText(m_form->text1(), u"!"_s);
    typeText(m_form->text1(), wrong);
    typeText(m_form->text1(), wrong);
    QCOMPARE(m_form->label1()->text(), u"?"_s);
    typeText(m_form->text1(), wrong);
    QCOMPARE(m_form->label1()->text(), asked);
    QCOMPARE(ink(), u"grey"_s);

    typeText(m_form->text1(), asked);
    QCOMPARE(m_form->label1()->text(), asked);
    QCOMPARE(ink(), u"cyan"_s);
    QCOMPARE(stars(), u"*...."_s);
    QVERIFY(answerer.boxes.isEmpty());

    // The next question comes by itself.
    QTRY_COMPARE_WITH_TIMEOUT(m_form->label1()->text(), u"?"_s, 10000);
    QVERIFY(m_form->game()->asked() != asked);

    // Back to the lesson: its invitation, no level, no stars, keys as before.
    m_form->applyChoices({});
    QVERIFY(!m_form->game());
    QCOMPARE(m_form->label1()->text(), u"Premi un tasto  numerico o alfabetico"_s);
    QVERIFY(!m_form->levelLabel()->isVisible());
    QVERIFY(!m_form->starRow()->isVisible());
    QVERIFY(!m_form->picture1()->isVisible());
    typeText(m_form->text1(), u"b"_s);
    QCOMPARE(m_form->label1()->text(), u"b"_s);
    QCOMPARE(ink(), u"cyan"_s);
    QVERIFY(m_form->picture1()->isVisible());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "picture_reader.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>

#include <future>
#include <system_error>
#include <utility>

namespace {

// The window is laid out in logical pixels on a fixed grid, as drawn.
constexpr QSize ClientSize(517, 554);
constexpr QRect Label1Geometry(8, -24, 475, 551);
constexpr QRect Text1Geometry(312, 487, 4, 10);
constexpr QRect Picture1Geometry(8, 296, 65, 73);

const QString Title = QStringLiteral("Quilloro");
const QString Credit = QStringLiteral("numeri e lettere per i più piccoli, un progetto libero");

// The drawing surface under the controls: it gives the client area its size,
// and nothing lays the controls out again when the window is resized.
class Surface : public QWidget
{
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return ClientSize; }
};

// The key box: an ordinary line edit that only ever paints its black ground.
// Qt draws the text caret by inverting what is under it, which would show a
// white bar on the black window however the colours are set.
class KeyBox : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Base));
    }
};

// The label's face is Arial. Where the system has none (a Windows without
// it, Wine), the Liberation Sans that ships in the fonts folder beside the
// program takes its place: Arial's own widths, so the invitation wraps and a
// key's character stands where they are meant to. Where nothing ships there
// (every Linux build, whose fontconfig maps Arial itself), nothing is done
// and the font database is not even read.
void provideArial()
{
    static bool done = false;
    if (std::exchange(done, true))
        return;
    const QDir fonts(QCoreApplication::applicationDirPath() + QLatin1String("/fonts"));
    const QStringList files = fonts.entryList({QStringLiteral("LiberationSans-*.ttf")}, QDir::Files);
    if (files.isEmpty() || QFontDatabase::hasFamily(QStringLiteral("Arial")))
        return;
    bool loaded = false;
    for (const QString &file : files)
        loaded |= QFontDatabase::addApplicationFont(fonts.filePath(file)) >= 0;
    if (loaded)
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

} // namespace

Form1::Form1(QWidget *parent)
    : QMainWindow(parent)
{
    // Process-wide, yet made here and not where the application is set up:
    // it serves this window's key box, and so every Form1, the program's and
    // the tests', runs under it. The key box is never seen; a blinking caret
    // would only wake the program up twice a second for nothing.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    // So is this: a line edit asks for an on-screen keyboard whenever a key
    // is released in it or it is clicked, and on Windows Qt answers with an
    // invisible system caret for such a keyboard or the magnifier to follow,
    // whose blinking wakes the program twice a second from the first key on.
    // The key box asks for nothing; it takes every key as before, letters
    // with a dead-key accent too.
    qApp->setAutoSipEnabled(false);
    provideArial();

    setWindowTitle(Title + QLatin1String(" - ") + Credit);
    createControls();
    createMenus();

    // Not adjustSize(): it would cap the window at two thirds of a small screen.
    resize(sizeHint());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1::~Form1() = default;

void Form1::createControls()
{
    auto *surface = new Surface(this);
    const QColor ground = palette().color(QPalette::WindowText);
    QPalette surfacePalette = surface->palette();
    surfacePalette.setColor(QPalette::Window, ground);
    surface->setPalette(surfacePalette);
    surface->setAutoFillBackground(true);
    setCentralWidget(surface);

    m_label1 = new QLabel(QStringLiteral("Premi un tasto  numerico o alfabetico"), surface);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(Label1Geometry);
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label1->setWordWrap(true);
    QFont labelFont(QStringLiteral("Arial"), 72, QFont::Bold);
    m_label1->setFont(labelFont);
    QPalette labelPalette = m_label1->palette();
    labelPalette.setColor(QPalette::WindowText, QColor(0, 255, 255));
    labelPalette.setColor(QPalette::Window, ground);
    m_label1->setPalette(labelPalette);
    m_label1->setAutoFillBackground(true);

    m_text1 = new KeyBox(QStringLiteral("Text1"), surface);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(Text1Geometry);
    m_text1->setFrame(false);
    m_text1->setFont(QFont(QStringLiteral("MS Serif"), 6, QFont::Normal));
    QPalette textPalette = m_text1->palette();
    textPalette.setColor(QPalette::Base, Qt::black);
    textPalette.setColor(QPalette::Text, Qt::black);
    m_text1->setPalette(textPalette);
    // Nothing reads what piles up in the key box; a bound keeps an hour of
    // key mashing from making every key press slower than the one before.
    m_text1->setMaxLength(64);
    m_text1->setContextMenuPolicy(Qt::NoContextMenu);
    m_text1->installEventFilter(this);

    m_picture1 = new QLabel(surface);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(Picture1Geometry);
    m_picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_picture1->setLineWidth(1);
    m_picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette picturePalette = m_picture1->palette();
    picturePalette.setColor(QPalette::Window, palette().color(QPalette::Base));
    picturePalette.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    m_picture1->setPalette(picturePalette);
    m_picture1->setAutoFillBackground(true);
    m_picture1->setFocusPolicy(Qt::StrongFocus);
    m_picture1->setCursor(Qt::ArrowCursor);
    m_picture1->hide();

    setTabOrder(m_text1, m_picture1);
    m_text1->setFocus();
}

void Form1::createMenus()
{
    // The menu bar only carries credits and a hint; none of its items does anything.
    QMenu *ist = menuBar()->addMenu(QStringLiteral("Progetto Quilloro"));
    ist->setObjectName(QStringLiteral("ist"));
    ist->addAction(QStringLiteral("© 2026 gli autori di Quilloro, licenza GPL 3 o successiva"))
        ->setObjectName(QStringLiteral("copy"));
    ist->addAction(QStringLiteral("Scritto dalla squadra di Quilloro"))->setObjectName(QStringLiteral("by"));
    menuBar()
        ->addAction(QStringLiteral("Per uscire dal programma premi il tasto esc"))
        ->setObjectName(QStringLiteral("Esc"));
}

bool Form1::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() != QEvent::Paint || m_decorated)
        return handled;
    // The first frame is being painted: the window has been exposed (an
    // update before that paints nothing). The window icon and the mouse
    // pointer are not part of the frame, and on X11 they cost as much again
    // as the rest of the window (icon and cursor themes are read), so they
    // follow it, once it is on the screen. So does the sound server's
    // connection: nothing is heard before a key.
    m_decorated = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            setWindowIcon(QIcon(QStringLiteral(":/icons/quilloro-48.png")));
            centralWidget()->setCursor(QCursor(QPixmap(QStringLiteral(":/icons/pointer-32.png")), 0, 0));
            startSound();
        },
        Qt::QueuedConnection);
    return handled;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_text1)
        return QMainWindow::eventFilter(watched, event);
    if (m_ending)
        return event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod;

    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Tab moves the focus, and Delete is an editing key, not a character.
        const bool navigation =
            key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete;
        if (!navigation && !key->text().isEmpty()) {
            keyPress(key->text());
            // The key then goes on to the key box as ordinary input, unless
            // the lesson has ended.
            return m_ending;
        }
    } else if (event->type() == QEvent::InputMethod) {
        const auto *input = static_cast<QInputMethodEvent *>(event);
        if (!input->commitString().isEmpty()) {
            keyPress(input->commitString());
            return m_ending;
        }
    }
    return false;
}

void Form1::keyPress(const QString &text)
{
    // Composed input may bring several characters at once: each is one key.
    for (const char32_t code : text.toUcs4()) {
        if (m_ending)
            return;
        Text1_KeyPress(code, *this, *this);
    }
}

void Form1::setLabelFontSize(float points)
{
    QFont font = m_label1->font();
    font.setPointSizeF(points);
    m_label1->setFont(font);
}

void Form1::focusKeyBox()
{
    m_text1->setFocus(Qt::OtherFocusReason);
}

void Form1::setLabelCaption(const QString &caption)
{
    m_label1->setText(caption);
}

void Form1::setPictureVisible(bool visible)
{
    m_picture1->setVisible(visible);
}

bool Form1::loadPicture(const QString &path, QString &reason)
{
    // The picture is decoded on another thread while the key's character
    // goes to the screen, so the key is answered at once and the picture
    // follows in the next frame. Its box stays hidden for that first frame:
    // the new character never stands beside the previous key's picture.
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const auto read = [&path, &error] { return KeyMedia::readShownPicture(path, &error); };
    std::future<QImage> reading;
    try {
        reading = std::async(std::launch::async, read);
    } catch (const std::system_error &) {
        // No thread to be had: the picture is read here, after the frame.
        reading = std::async(std::launch::deferred, read);
    }
    const bool visible = m_picture1->isVisible();
    m_picture1->hide();
    m_label1->repaint();
    m_picture1->setVisible(visible);

    const QImage image = reading.get();
    if (image.isNull()) {
        reason = KeyMedia::pictureProblem(path, error);
        return false;
    }
    // The box takes the size of each picture, so the whole picture is seen.
    const int frame = 2 * m_picture1->frameWidth();
    m_picture1->setPixmap(QPixmap::fromImage(image));
    m_picture1->resize(image.size() / image.devicePixelRatio() + QSize(frame, frame));
    widenPictureFrame();
    return true;
}

void Form1::widenPictureFrame()
{
    // A compositing window manager learns that the window has new pixels
    // from the X server's damage reports. GNOME's (mutter) asks for them by
    // bounding box: the server reports a drawing only when it grows the box
    // of what was drawn since the compositor last took the window's pixels.
    // The picture comes a millisecond after its character, inside the
    // label's box, which the compositor may not have taken yet: then nothing
    // is reported, and the picture never reaches the screen. One pixel of
    // the ground below the label, drawn with the picture, takes its frame
    // beyond the character's box, so the picture is always reported.
    QWidget *surface = centralWidget();
    surface->update(QRect(surface->width() - 1, surface->height() - 1, 1, 1));
}

QString Form1::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

void Form1::showMessage(const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::Warning;
    switch (icon) {
    case MessageIcon::Exclamation:
        boxIcon = QMessageBox::Warning;
        break;
    case MessageIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case MessageIcon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    // Take the keyboard back from the closed box ourselves: without a window
    // manager to do it (a kiosk session), keys would otherwise go nowhere.
    activateWindow();
}

void Form1::endProgram()
{
    m_ending = true;
    QCoreApplication::exit(0);
}

void Form1::startSound()
{
    if (!m_sound)
        m_sound = std::make_unique<SoundPlayer>();
}

void Form1::suona(const QString &path)
{
    startSound();
    m_sound->play(path);
}

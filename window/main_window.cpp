// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "keyboard_hold.h"
#include "keys.h"
#include "media_lookup.h"
#include "picture_reader.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The window is laid out in logical pixels on a fixed grid, as drawn.
constexpr QSize ClientSize(517, 554);
constexpr QRect Label1Geometry(8, -24, 475, 551);
constexpr QRect Text1Geometry(312, 487, 4, 10);
constexpr QRect Picture1Geometry(8, 296, 65, 73);

const QString Invitation = QStringLiteral("Premi un tasto  numerico o alfabetico");
constexpr float InvitationPoints = 72;
const QString InvitationInCapitals = QStringLiteral("PREMI UN TASTO NUMERICO O ALFABETICO");
const QString GameInvitation = QStringLiteral("Ascolta e premi il tasto giusto");
const QString GameInvitationInCapitals = QStringLiteral("ASCOLTA E PREMI IL TASTO GIUSTO");
const QStringList Invitations{Invitation, InvitationInCapitals, GameInvitation, GameInvitationInCapitals};

// The listening game's level and stars, in the bottom right corner, beside
// the picture, which reaches down to the bottom edge.
constexpr QRect LevelGeometry(317, 498, 192, 24);
constexpr float LevelPoints = 12;
constexpr QRect StarsGeometry(365, 526, 144, 24);
const QColor Cyan(0, 255, 255);
// The answer shown after the misses: there, but not yet found.
const QColor AnswerGrey(128, 128, 128);
const QString EscapeHint = QStringLiteral("Per uscire dal programma premi il tasto esc");
const QString ExitWordHint = QStringLiteral("Per uscire dal programma scrivi esci");

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

// The picture at path as the window shows it: at its logical size times the
// window's scale, in the screen's own pixels, so that a picture with more
// pixels than its logical size is drawn sharp, on the whole screen too.
QImage readShown(const QString &path, QImageReader::ImageReaderError *error, qreal scale, qreal screenRatio)
{
    QImage image = KeyMedia::readShownPicture(path, error, scale * screenRatio);
    if (image.isNull())
        return image;
    const QSize pixels = (QSizeF(image.size()) / image.devicePixelRatio() * scale * screenRatio).toSize();
    if (!pixels.isEmpty() && pixels != image.size())
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(screenRatio);
    return image;
}

} // namespace

// The listening game's row of five small stars: those won in the level in
// gold, the others as a dim outline.
class StarRow : public QWidget
{
public:
    using QWidget::QWidget;

    int count() const { return m_count; }
    void setCount(int count)
    {
        if (count != m_count) {
            m_count = count;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = height();
        const qreal gap = (width() - Game::StarsPerLevel * side) / (Game::StarsPerLevel - 1);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal radius = (i % 2 ? 0.2 : 0.5) * side;
            const qreal angle = M_PI * (i / 5.0 - 0.5);
            star << QPointF(side / 2 + radius * std::cos(angle), side * 0.54 + radius * std::sin(angle));
        }
        for (int i = 0; i < Game::StarsPerLevel; ++i) {
            const QPolygonF placed = star.translated(i * (side + gap), 0);
            if (i < m_count) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(QColor(255, 204, 0));
            } else {
                painter.setPen(QPen(QColor(90, 90, 90), std::max(1.0, side / 16)));
                painter.setBrush(Qt::NoBrush);
            }
            painter.drawPolygon(placed);
        }
    }

private:
    int m_count = 0;
};

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
    m_keyboardHold = new KeyboardHold(this);
    m_captionShown.setSingleShot(true);
    m_captionShown.setTimerType(Qt::PreciseTimer);
    connect(&m_captionShown, &QTimer::timeout, this, [this] {
        if (const auto then = std::exchange(m_afterCaption, nullptr); then && !m_ending)
            then();
    });
    // The keys' recordings and pictures are read ahead, a key at each turn
    // of the event loop once the window is up: a key's first press then
    // spends nothing on decoding while its character is put on the screen,
    // where a compositor wants the machine, nor while the compositor draws
    // the next frame with its picture.
    m_prepareKeys.setInterval(0);
    connect(&m_prepareKeys, &QTimer::timeout, this, [this] {
        if (m_preparedKeys >= KeyMedia::Keys.size()) {
            m_prepareKeys.stop();
            return;
        }
        const QString key(QChar(KeyMedia::Keys[m_preparedKeys++].key));
        m_sound->prepare(KeyMedia::findMediaFile(programFolder(), key, u".wav"));
        shownPicture(KeyMedia::findMediaFile(programFolder(), key, u".jpg"), nullptr);
    });
    m_gameWait.setSingleShot(true);
    connect(&m_gameWait, &QTimer::timeout, this, [this] {
        if (m_game && !m_ending)
            m_game->waitEnded();
    });

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
    // On the whole screen the controls are laid out again at every size.
    surface->installEventFilter(this);

    m_label1 = new QLabel(Invitation, surface);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(Label1Geometry);
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label1->setWordWrap(true);
    QFont labelFont(QStringLiteral("Arial"), InvitationPoints, QFont::Bold);
    m_label1->setFont(labelFont);
    QPalette labelPalette = m_label1->palette();
    labelPalette.setColor(QPalette::WindowText, Cyan);
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

    m_level = new QLabel(surface);
    m_level->setObjectName(QStringLiteral("Livello"));
    m_level->setGeometry(LevelGeometry);
    m_level->setTextFormat(Qt::PlainText);
    m_level->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_level->setFont(QFont(QStringLiteral("Arial"), LevelPoints, QFont::Bold));
    QPalette levelPalette = m_level->palette();
    levelPalette.setColor(QPalette::WindowText, Cyan);
    m_level->setPalette(levelPalette);
    m_level->hide();
    m_stars = new StarRow(surface);
    m_stars->setObjectName(QStringLiteral("Stelle"));
    m_stars->setGeometry(StarsGeometry);
    m_stars->hide();

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
    m_escapeHint = menuBar()->addAction(EscapeHint);
    m_escapeHint->setObjectName(QStringLiteral("Esc"));
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
            m_prepareKeys.start();
        },
        Qt::QueuedConnection);
    return handled;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize && m_fullScreen)
        layOut();
    if (watched != m_text1)
        return QMainWindow::eventFilter(watched, event);
    // Alt pressed alone is the lesson's: under the Windows style the menu
    // bar would take it as a call to its keyboard navigation and keep every
    // key after it, until Escape, from the lesson and from the word esci.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Alt) {
        event->accept();
        return true;
    }
    if (m_ending)
        return event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod;

    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Tab moves the focus, and Delete is an editing key, not a character.
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        // Under the child lock the keys stay with the lesson.
        if (tab && m_choices.childLock)
            return true;
        const bool navigation = tab || key->key() == Qt::Key_Delete;
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
        if (m_game)
            m_game->keyPress(code, m_choices);
        else
            Text1_KeyPress(code, *this, *this, m_choices);
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Under the child lock the window's close button does nothing: only the
    // grown-up's word ends the lesson.
    if (m_choices.childLock && !m_ending)
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

void Form1::applyChoices(const KeyMedia::LessonSettings &settings)
{
    m_choices.capitals = settings.capitals;
    m_choices.childLock = settings.childLock;
    m_choices.lastKeys.clear();
    setActivity(settings.activity);
    if (Invitations.contains(m_label1->text())) {
        m_label1->setText(invitation());
        setLabelFontSize(invitationPoints());
    }
    m_escapeHint->setText(settings.childLock ? ExitWordHint : EscapeHint);
    // A toddler's click on the picture must not take the keys from the lesson.
    m_picture1->setFocusPolicy(settings.childLock ? Qt::NoFocus : Qt::StrongFocus);
    if (m_picture1->hasFocus())
        m_text1->setFocus(Qt::OtherFocusReason);
    m_keyboardHold->setEnabled(settings.childLock);

    if (settings.fullScreen == m_fullScreen)
        return;
    m_fullScreen = settings.fullScreen;
    if (m_fullScreen) {
        // Where no window manager answers the request (a bare X server),
        // the window takes the screen itself. First: a window manager may
        // take a later change of geometry as leaving the whole screen.
        if (const QScreen *screen = this->screen())
            setGeometry(screen->geometry());
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        resize(sizeHint());
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    layOut();
}

void Form1::setActivity(KeyMedia::Activity activity)
{
    const bool game = activity == KeyMedia::Activity::Listen;
    if (game == bool(m_game))
        return;
    // Either activity starts afresh from its invitation.
    stopWait();
    m_game.reset();
    setCaptionGrey(false);
    m_picture1->hide();
    m_picturePath.clear();
    m_label1->setText(game ? GameInvitation : Invitation);
    m_level->setVisible(game);
    m_stars->setVisible(game);
    if (game) {
        m_game = std::make_unique<ListenGame>(static_cast<GameWindowOperations &>(*this), static_cast<SoundOperations &>(*this));
        m_game->start();
    }
}

QString Form1::invitation() const
{
    if (m_game)
        return m_choices.capitals ? GameInvitationInCapitals : GameInvitation;
    return m_choices.capitals ? InvitationInCapitals : Invitation;
}

float Form1::invitationPoints() const
{
    // The lesson's invitation is as designed. Others may be wider (the
    // capitals): every word whole within the label, as large as fits.
    float points = InvitationPoints;
    if (m_label1->text() == Invitation)
        return points;
    QFont font = m_label1->font();
    const QStringList words = m_label1->text().split(u' ', Qt::SkipEmptyParts);
    for (; points > 8; points -= 2) {
        font.setPointSizeF(points);
        const QFontMetrics metrics(font);
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString &word) { return metrics.horizontalAdvance(word) <= Label1Geometry.width(); }))
            break;
    }
    return points;
}

void Form1::layOut()
{
    // On the whole screen, the design's client area grows evenly until it
    // meets the screen's edges, and stands in the middle of it.
    const QSize area = centralWidget()->size();
    m_scale = 1;
    m_origin = {};
    if (m_fullScreen && !area.isEmpty()) {
        m_scale = std::min(qreal(area.width()) / ClientSize.width(), qreal(area.height()) / ClientSize.height());
        m_origin = QPoint(qRound((area.width() - ClientSize.width() * m_scale) / 2),
                          qRound((area.height() - ClientSize.height() * m_scale) / 2));
    }
    const auto place = [this](QRect design) {
        const QPoint topLeft = m_origin + QPoint(qRound(design.x() * m_scale), qRound(design.y() * m_scale));
        return QRect(topLeft, QSize(qRound(design.width() * m_scale), qRound(design.height() * m_scale)));
    };
    m_label1->setGeometry(place(Label1Geometry));
    m_text1->setGeometry(place(Text1Geometry));
    m_picture1->move(place(Picture1Geometry).topLeft());
    m_level->setGeometry(place(LevelGeometry));
    QFont levelFont = m_level->font();
    levelFont.setPointSizeF(LevelPoints * m_scale);
    m_level->setFont(levelFont);
    m_stars->setGeometry(place(StarsGeometry));
    setLabelFontSize(m_labelPoints);
    if (!m_picturePath.isEmpty())
        showPicture();
}

void Form1::setLabelFontSize(float points)
{
    m_labelPoints = points;
    QFont font = m_label1->font();
    font.setPointSizeF(points * m_scale);
    m_label1->setFont(font);
}

void Form1::focusKeyBox()
{
    m_text1->setFocus(Qt::OtherFocusReason);
}

void Form1::setLabelCaption(const QString &caption)
{
    m_label1->setText(caption);
    // A key's character reaches the screen at once, before its recording is
    // opened (the first time, decoded) and before its picture box is shown.
    // Showing a widget while the pointer is over the window makes Qt ask the
    // X server where the pointer is (to send the box an enter event): a
    // round trip which, on a busy machine, waits for the server's turn, and
    // the character would wait with it. Only while no picture is shown, so
    // that a new character never stands beside the previous key's picture.
    if (m_picture1->isHidden())
        m_label1->repaint();
}

void Form1::setPictureVisible(bool visible)
{
    if (!visible)
        dropPictureToCome();
    m_picture1->setVisible(visible);
}

void Form1::dropPictureToCome()
{
    m_captionShown.stop();
    m_afterCaption = nullptr;
}

void Form1::afterCaptionShown(std::function<void()> then)
{
    // Half a refresh of the screen: a compositor draws the character's frame
    // meanwhile, and a picture read then (a few milliseconds) is ready for
    // its next frame. Where nothing composites, the picture comes as soon
    // after its character all the same, within one refresh.
    const qreal hz = screen() && screen()->refreshRate() >= 1 ? screen()->refreshRate() : 60;
    m_afterCaption = std::move(then);
    m_captionShown.start(std::clamp(qRound(500 / hz), 1, 20));
}

bool Form1::loadPicture(const QString &path, QString &reason)
{
    // The key's character is on the screen already (setLabelCaption drew
    // it); the picture, read ahead or now, is drawn in the next frame.
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QPixmap shown = shownPicture(path, &error);
    if (shown.isNull()) {
        reason = KeyMedia::pictureProblem(path, error);
        return false;
    }
    m_picturePath = path;
    setShownPicture(shown);
    widenPictureFrame();
    return true;
}

void Form1::showPicture()
{
    // Read again at the new scale (the window changed between a window and
    // the whole screen); a picture gone meanwhile stays as it was.
    if (const QPixmap shown = shownPicture(m_picturePath, nullptr); !shown.isNull())
        setShownPicture(shown);
}

QPixmap Form1::shownPicture(const QString &path, QImageReader::ImageReaderError *error)
{
    // Kept as shown: the key pressed again shows it without reading it. A
    // picture replaced while the program runs (the grown-ups' recorder) is
    // read again, and so is every picture once the window's scale changed.
    const QFileInfo file(path);
    const qint64 size = file.exists() ? file.size() : -1;
    const QDateTime modified = size >= 0 ? file.lastModified() : QDateTime();
    const qreal screenRatio = devicePixelRatioF();
    if (const ShownPicture *kept = m_shownPictures.object(path); kept && kept->size == size
        && kept->modified == modified && kept->scale == m_scale && kept->screenRatio == screenRatio)
        return kept->pixmap;
    const QImage shown = readShown(path, error, m_scale, screenRatio);
    if (shown.isNull()) {
        m_shownPictures.remove(path);
        return {};
    }
    const QPixmap pixmap = QPixmap::fromImage(shown);
    m_shownPictures.insert(path, new ShownPicture{size, modified, m_scale, screenRatio, pixmap},
                           std::max<qsizetype>(1, shown.sizeInBytes() / 1024));
    return pixmap;
}

void Form1::setShownPicture(const QPixmap &shown)
{
    // The box takes the size of each picture, so the whole picture is seen.
    const int frame = 2 * m_picture1->frameWidth();
    m_picture1->setPixmap(shown);
    m_picture1->resize(shown.size() / shown.devicePixelRatio() + QSize(frame, frame));
}

void Form1::widenPictureFrame()
{
    // A compositing window manager learns that the window has new pixels
    // from the X server's damage reports. GNOME's (mutter) asks for them by
    // bounding box: the server reports a drawing only when it grows the box
    // of what was drawn since the compositor last took the window's pixels.
    // The picture comes moments after its character, inside the
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
    // Nothing comes up behind a box: the farewell after a quick last key.
    dropPictureToCome();
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
    stopWait();
    QCoreApplication::exit(0);
}

void Form1::setCaptionGrey(bool grey)
{
    QPalette palette = m_label1->palette();
    palette.setColor(QPalette::WindowText, grey ? AnswerGrey : Cyan);
    m_label1->setPalette(palette);
}

void Form1::showProgress(int level, int stars)
{
    m_level->setText(QStringLiteral("Livello %1").arg(level));
    m_stars->setCount(stars);
}

void Form1::startWait(int ms)
{
    m_gameWait.start(ms);
}

void Form1::stopWait()
{
    m_gameWait.stop();
}

QWidget *Form1::starRow() const
{
    return m_stars;
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

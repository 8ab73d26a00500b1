// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_window.h"
#include "key_grid.h"
#include "keys.h"
#include "lesson_settings.h"
#include "messages.h"
#include "picture_reader.h"
#include "take_processing.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

// The selected key's picture at most this large: what the window has room
// for below the tiles on a 1024 × 768 screen.
constexpr QSize LargePicture{400, 180};
// A game sound's sign where a key's character is shown.
constexpr int BigSoundSign = 96;

} // namespace

RecorderWindow::RecorderWindow(Capture &capture, SoundOperations &sound, const QString &programFolder, QWidget *parent)
    : QWidget(parent)
    , m_session(capture, sound, programFolder)
{
    setWindowTitle(tr("Quilloro: voci e figure"));
    createControls(programFolder);
    createShortcuts();
    connect(&m_session, &RecordingSession::said, this, &RecorderWindow::setStatus);
    connect(&m_session, &RecordingSession::changed, this, [this] {
        m_grid->setSelected(m_session.key());
        showSelected();
        updateControls();
    });
    connect(&m_session, &RecordingSession::ownFilesChanged, this, [this](const QString &key) {
        m_grid->refresh(key);
        showSelected();
        updateControls();
    });
    connect(&m_session, &RecordingSession::level, this, &RecorderWindow::showLevel);
    connect(m_grid, &KeyGrid::clicked, this, &RecorderWindow::selectKey);
    setStatus(m_session.lastMessage());
    updateControls();
}

void RecorderWindow::createControls(const QString &programFolder)
{
    m_grid = new KeyGrid(programFolder);

    m_bigKey = new QLabel;
    QFont big = m_bigKey->font();
    big.setPointSize(72);
    big.setBold(true);
    m_bigKey->setFont(big);
    m_bigKey->setAlignment(Qt::AlignCenter);
    m_bigKey->setMinimumWidth(120);
    m_word = new QLabel;
    QFont wordFont = m_word->font();
    wordFont.setPointSize(20);
    m_word->setFont(wordFont);
    m_word->setAlignment(Qt::AlignCenter);
    m_origin = new QLabel;
    m_origin->setAlignment(Qt::AlignCenter);
    auto *keyColumn = new QVBoxLayout;
    keyColumn->addWidget(m_bigKey);
    keyColumn->addWidget(m_word);
    keyColumn->addWidget(m_origin);
    keyColumn->addStretch();

    m_pictureBox = new QLabel;
    m_pictureBox->setFixedSize(LargePicture + QSize(4, 4));
    m_pictureBox->setAlignment(Qt::AlignCenter);
    m_pictureBox->setFrameShape(QFrame::StyledPanel);
    m_pictureBox->setWordWrap(true);

    using Media = RecordingSession::Media;
    const auto button = [this](const QString &text, auto action) {
        auto *b = new QPushButton(text);
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };
    m_listen = button(tr("&Ascolta"), [this] { m_session.listen(); });
    m_record = button(tr("&Registra (Spazio)"), [this] { m_session.toggleRecording(); });
    m_keep = button(tr("&Tieni (Invio)"), [this] { m_session.keep(); });
    m_throw = button(tr("&Butta via (Esc)"), [this] { m_session.throwAway(); });
    m_retry = button(tr("Ri&prova"), [this] { m_session.tryAgain(); });
    m_choose = button(tr("Scegli una &figura… (Ctrl+O)"), [this] { choosePicture(); });
    m_originalVoice = button(tr("&Voce originale"), [this] { backToOriginal(Media::Voice); });
    m_originalPicture = button(tr("Figura ori&ginale"), [this] { backToOriginal(Media::Picture); });
    m_meter = new QProgressBar;
    m_meter->setRange(0, 60); // -60 dBFS to full scale
    m_meter->setTextVisible(false);
    m_meter->setAccessibleName(tr("Livello del microfono"));
    m_seconds = new QLabel;

    auto *controls = new QGridLayout;
    controls->addWidget(m_listen, 0, 0);
    controls->addWidget(m_record, 0, 1);
    controls->addWidget(m_keep, 1, 0);
    controls->addWidget(m_throw, 1, 1);
    controls->addWidget(m_retry, 2, 0);
    controls->addWidget(m_meter, 3, 0);
    controls->addWidget(m_seconds, 3, 1);
    controls->addWidget(m_choose, 4, 0, 1, 2);
    controls->addWidget(m_originalVoice, 5, 0);
    controls->addWidget(m_originalPicture, 5, 1);
    controls->setRowStretch(6, 1);

    auto *selected = new QHBoxLayout;
    selected->addLayout(keyColumn);
    selected->addWidget(m_pictureBox);
    selected->addLayout(controls, 1);

    m_status = new QLabel;
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(3 * m_status->fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addLayout(createLessonChoices());

    auto *layout = new QVBoxLayout(this);
    // Narrow top and bottom margins: the window, its title bar and a
    // desktop's top panel fit a 1024 × 768 screen.
    const QMargins margins = layout->contentsMargins();
    layout->setContentsMargins(margins.left(), 2, margins.right(), 2);
    layout->addWidget(m_grid);
    layout->addLayout(selected);
    layout->addLayout(bottom);
}

QLayout *RecorderWindow::createLessonChoices()
{
    // Each choice on a line of its own with what it does beside it, next to
    // the sentences: so the window still fits a 1024 × 768 screen with its
    // title bar and a desktop's panel.
    auto *layout = new QGridLayout;
    layout->setVerticalSpacing(0);
    using KeyMedia::LessonChoice;
    const auto choice = [this, layout](LessonChoice which, const QString &text, const QString &explanation) {
        const int row = int(which);
        auto *check = new QCheckBox(text);
        auto *line = new QLabel(explanation);
        line->setBuddy(check);
        layout->addWidget(check, row, 0);
        layout->addWidget(line, row, 1);
        connect(check, &QCheckBox::toggled, this, [this, which](bool on) { saveLessonChoice(which, on); });
        return check;
    };
    m_capitals = choice(LessonChoice::Capitals, tr("Lettere maiuscole"), tr("Le lettere si vedono maiuscole, come a scuola."));
    m_fullScreen = choice(LessonChoice::FullScreen, tr("Schermo intero"), tr("La lezione occupa tutto lo schermo."));
    m_childLock = choice(LessonChoice::ChildLock, tr("Blocco bambino"), tr("Esc non chiude: per uscire si scrive esci."));

    // The activity in a column of its own beside them, not a row below:
    // the window keeps its height.
    auto *activity = new QLabel(tr("Attività"));
    m_exploreActivity = new QRadioButton(tr("Esplora i tasti"));
    m_exploreActivity->setToolTip(tr("Ogni tasto premuto si vede e si sente."));
    m_listenActivity = new QRadioButton(tr("Ascolta e trova"));
    m_listenActivity->setToolTip(tr("Il programma dice un tasto e il bambino lo cerca sulla tastiera."));
    activity->setBuddy(m_exploreActivity);
    auto *activities = new QButtonGroup(this);
    activities->addButton(m_exploreActivity);
    activities->addButton(m_listenActivity);
    layout->setColumnMinimumWidth(2, 2 * layout->horizontalSpacing());
    layout->addWidget(activity, 0, 3);
    layout->addWidget(m_exploreActivity, 1, 3);
    layout->addWidget(m_listenActivity, 2, 3);
    // One of the two is always checked: the other's signal would save the same.
    connect(m_listenActivity, &QRadioButton::toggled, this, [this](bool on) {
        saveActivity(on ? KeyMedia::Activity::Listen : KeyMedia::Activity::Explore);
    });
    showLessonChoices();
    return layout;
}

void RecorderWindow::showLessonChoices()
{
    // What the lesson will do: the family's choices, or the school's where
    // the family made none.
    const KeyMedia::LessonSettings settings = KeyMedia::readLessonSettings();
    for (const auto &[check, on] : {std::pair(m_capitals, settings.capitals), std::pair(m_fullScreen, settings.fullScreen),
                                    std::pair(m_childLock, settings.childLock)}) {
        const QSignalBlocker quiet(check);
        check->setChecked(on);
    }
    const QSignalBlocker quiet(m_listenActivity);
    (settings.activity == KeyMedia::Activity::Listen ? m_listenActivity : m_exploreActivity)->setChecked(true);
}

void RecorderWindow::saveLessonChoice(KeyMedia::LessonChoice choice, bool on)
{
    QString reason;
    showChoiceSaved(KeyMedia::saveLessonChoice(choice, on, reason), reason);
}

void RecorderWindow::saveActivity(KeyMedia::Activity activity)
{
    QString reason;
    showChoiceSaved(KeyMedia::saveActivity(activity, reason), reason);
}

void RecorderWindow::showChoiceSaved(bool saved, const QString &reason)
{
    if (saved) {
        setStatusText(tr("Scelta salvata: la lezione aperta la segue subito."), false);
        return;
    }
    setStatusText(tr("Non riesco a salvare la scelta: %1.").arg(reason), true);
    showLessonChoices();
}

void RecorderWindow::createShortcuts()
{
    // The window's own keys win over a focused button's: Space records
    // wherever the focus is, as the grown-up reads on the buttons.
    const auto shortcut = [this](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { m_session.toggleRecording(); });
    shortcut(QKeySequence(Qt::Key_Return), [this] { m_session.keep(); });
    shortcut(QKeySequence(Qt::Key_Enter), [this] { m_session.keep(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { m_session.throwAway(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { choosePicture(); });
}

QString RecorderWindow::statusText() const
{
    return m_status->text();
}

void RecorderWindow::selectKey(const QString &key)
{
    m_session.select(key);
    // A click on another tile must not move the mark away from the key in work.
    m_grid->setSelected(m_session.key());
}

void RecorderWindow::showSelected()
{
    const QString key = m_session.key();
    using Media = RecordingSession::Media;
    if (RecordingSession::isRecordedGameSound(key)) {
        // A voice alone: its sign in place of the character, and in place of
        // the picture what the game plays it for.
        m_bigKey->setPixmap(KeyGrid::soundSign(key, BigSoundSign, devicePixelRatioF()));
        m_word->setText(RecorderTexts::soundLabel(key));
        m_origin->setText(RecorderTexts::voiceOrigin(RecordingSession::hasOwn(key, Media::Voice)));
        m_pictureBox->setText(RecorderTexts::soundUse(key));
        return;
    }
    m_bigKey->setText(key);
    m_word->setText(KeyMedia::wordOf(key));
    if (key.isEmpty()) {
        m_pictureBox->clear();
        m_origin->clear();
        return;
    }
    m_origin->setText(RecorderTexts::origins(RecordingSession::hasOwn(key, Media::Voice),
                                             RecordingSession::hasOwn(key, Media::Picture)));
    const QString path = m_session.mediaFile(key, u".jpg");
    const QImage picture = m_session.state() == RecordingSession::State::PictureWaiting
        ? m_session.pictureWaiting()
        : KeyMedia::readPicture(path, nullptr, LargePicture);
    if (picture.isNull()) {
        m_pictureBox->setText(RecorderTexts::unreadablePicture(path));
        return;
    }
    const QImage shown = picture.width() > LargePicture.width() || picture.height() > LargePicture.height()
        ? picture.scaled(LargePicture, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : picture;
    m_pictureBox->setPixmap(QPixmap::fromImage(shown));
}

void RecorderWindow::updateControls()
{
    using State = RecordingSession::State;
    const State state = m_session.state();
    const bool selected = !m_session.key().isEmpty();
    // A game sound has no picture to choose or go back from.
    const bool picture = selected && RecordingSession::hasPicture(m_session.key());
    const bool idle = state == State::Idle;
    const bool recording = state == State::Recording;
    m_listen->setEnabled(selected && !recording);
    m_record->setEnabled(selected && state != State::PictureWaiting);
    m_record->setText(recording ? tr("&Ferma (Spazio)") : tr("&Registra (Spazio)"));
    m_keep->setEnabled(m_session.somethingWaiting());
    m_throw->setEnabled(m_session.somethingWaiting());
    m_retry->setEnabled(state == State::TakeWaiting);
    m_choose->setEnabled(picture && idle);
    // Only a key with a file of the family's has something to go back from.
    using Media = RecordingSession::Media;
    m_originalVoice->setEnabled(selected && idle && RecordingSession::hasOwn(m_session.key(), Media::Voice));
    m_originalPicture->setEnabled(picture && idle && RecordingSession::hasOwn(m_session.key(), Media::Picture));
    if (!recording) {
        m_meter->setValue(0);
        m_seconds->setText(tr("%1 s").arg(QLocale().toString(0.0, 'f', 1)));
    }
}

void RecorderWindow::showLevel(double peakDb, qint64 frames)
{
    m_meter->setValue(std::clamp(int(peakDb + 60.0), 0, 60));
    m_seconds->setText(tr("%1 s").arg(QLocale().toString(double(frames) / Take::SampleRate, 'f', 1)));
}

void RecorderWindow::setStatus(const SessionMessage &message)
{
    setStatusText(RecorderTexts::sentence(message), message.isError());
}

void RecorderWindow::setStatusText(const QString &text, bool error)
{
    m_status->setText(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #b00020; font-weight: bold;") : QString());
    // Also on standard error, where a helper (or a test) looking on can read it.
    std::fprintf(stderr, "quilloro-registra: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void RecorderWindow::choosePicture()
{
    if (!m_session.mayChoosePicture())
        return;
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString filters = tr("Figure (%1)").arg(patterns.join(u' ')) + QStringLiteral(";;") + tr("Tutti i file (*)");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo::exists(folder))
        folder = QDir::homePath();
    // Qt's own dialog, the same on every desktop, where a path can be typed.
    const QString path = QFileDialog::getOpenFileName(this, tr("Scegli una figura per %1").arg(m_session.key()), folder,
                                                      filters, nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        m_session.pictureChosen(path);
}

void RecorderWindow::backToOriginal(RecordingSession::Media media)
{
    if (m_session.wouldRemoveOwn(media)) {
        const QString key = RecorderTexts::shownName(m_session.key());
        const QString question = media == RecordingSession::Media::Voice
            ? tr("Togliere la tua voce per %1? Tornerà quella originale.").arg(key)
            : tr("Togliere la tua figura per %1? Tornerà quella originale.").arg(key);
        if (QMessageBox::question(this, tr("Tornare all'originale"), question, QMessageBox::Yes | QMessageBox::No,
                                  QMessageBox::Yes)
            != QMessageBox::Yes)
            return;
    }
    m_session.backToOriginal(media);
}

void RecorderWindow::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && KeyMedia::isRecognizedKey(text)) {
        selectKey(text);
        return;
    }
    QWidget::keyPressEvent(event);
}

void RecorderWindow::closeEvent(QCloseEvent *event)
{
    using State = RecordingSession::State;
    if (m_session.somethingWaiting()) {
        const QString key = RecorderTexts::shownName(m_session.key());
        const QString question = m_session.state() == State::TakeWaiting
            ? tr("La registrazione di %1 non l'hai ancora tenuta. Chiudere e buttarla via?").arg(key)
            : tr("La figura di %1 non l'hai ancora tenuta. Chiudere e buttarla via?").arg(key);
        if (QMessageBox::question(this, tr("Chiudere?"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    m_session.stopCapture();
    event->accept();
}

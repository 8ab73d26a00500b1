// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_window.h"
#include "keys.h"
#include "media_files.h"
#include "media_lookup.h"
#include "picture_reader.h"
#include "take_processing.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int GridColumns = 9;
constexpr QSize TileIcon{96, 48};
constexpr QSize LargePicture{400, 200};

// The picture file as the child's program would show it, fitted into box,
// or a null image.
QImage readQuietly(const QString &path, QSize box)
{
    return KeyMedia::readPicture(path, nullptr, box);
}

// Why a file could not be written or removed, for the grown-up.
QString folderError(const QString &folder, const QString &reason)
{
    return QCoreApplication::translate(
               "MediaFiles",
               "Non riesco a scrivere nella cartella %1 (%2). Controlla che esista e che tu possa scriverci; "
               "la registrazione o la figura resta qui, pronta da tenere.")
        .arg(QDir::toNativeSeparators(folder), reason);
}

// The size a chosen picture is brought within, as the pack's pictures are.
constexpr QSize PictureBox{500, 250};

} // namespace

RecorderWindow::RecorderWindow(Capture &capture, SoundOperations &sound, const QString &programFolder, QWidget *parent)
    : QWidget(parent)
    , m_capture(capture)
    , m_sound(sound)
    , m_programFolder(programFolder)
{
    setWindowTitle(tr("Quilloro: voci e figure"));
    createControls();
    createShortcuts();
    connect(&m_capture, &Capture::progress, this, &RecorderWindow::captureProgress);
    connect(&m_capture, &Capture::failed, this, &RecorderWindow::captureFailed);
    for (const KeyMedia::Key &entry : KeyMedia::Keys)
        refreshKey(QString(QChar(entry.key)));
    setStatus(tr("Scegli un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero."));
    updateControls();
}

RecorderWindow::~RecorderWindow()
{
    m_capture.stop();
}

void RecorderWindow::createControls()
{
    auto *grid = new QGridLayout;
    grid->setSpacing(4);
    for (const KeyMedia::Key &entry : KeyMedia::Keys) {
        const QString key = QString(QChar(entry.key));
        auto *tile = new QToolButton;
        tile->setObjectName(QStringLiteral("key_") + key);
        tile->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        tile->setIconSize(TileIcon);
        tile->setCheckable(true);
        tile->setFocusPolicy(Qt::StrongFocus);
        tile->setMinimumWidth(TileIcon.width() + 8);
        connect(tile, &QToolButton::clicked, this, [this, key] { selectKey(key); });
        grid->addWidget(tile, int(m_keys.size()) / GridColumns, int(m_keys.size()) % GridColumns);
        m_keys << tile;
    }

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

    const auto button = [this](const QString &text, void (RecorderWindow::*action)()) {
        auto *b = new QPushButton(text);
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };
    m_listen = button(tr("&Ascolta"), &RecorderWindow::listen);
    m_record = button(tr("&Registra (Spazio)"), &RecorderWindow::toggleRecording);
    m_keep = button(tr("&Tieni (Invio)"), &RecorderWindow::keep);
    m_retry = button(tr("Ri&prova"), &RecorderWindow::tryAgain);
    m_choose = button(tr("Scegli una &figura… (Ctrl+O)"), &RecorderWindow::choosePicture);
    m_originalVoice = button(tr("&Voce originale"), &RecorderWindow::backToOriginalVoice);
    m_originalPicture = button(tr("Figura ori&ginale"), &RecorderWindow::backToOriginalPicture);
    m_meter = new QProgressBar;
    m_meter->setRange(0, 60); // -60 dBFS to full scale
    m_meter->setTextVisible(false);
    m_meter->setAccessibleName(tr("Livello del microfono"));
    m_seconds = new QLabel;

    auto *controls = new QGridLayout;
    controls->addWidget(m_listen, 0, 0);
    controls->addWidget(m_record, 0, 1);
    controls->addWidget(m_keep, 1, 0);
    controls->addWidget(m_retry, 1, 1);
    controls->addWidget(m_meter, 2, 0);
    controls->addWidget(m_seconds, 2, 1);
    controls->addWidget(m_choose, 3, 0, 1, 2);
    controls->addWidget(m_originalVoice, 4, 0);
    controls->addWidget(m_originalPicture, 4, 1);
    controls->setRowStretch(5, 1);

    auto *selected = new QHBoxLayout;
    selected->addLayout(keyColumn);
    selected->addWidget(m_pictureBox);
    selected->addLayout(controls, 1);

    m_status = new QLabel;
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(3 * m_status->fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(selected);
    layout->addWidget(m_status);
}

void RecorderWindow::createShortcuts()
{
    // The window's own keys win over a focused button's: Space records
    // wherever the focus is, as the grown-up reads on the buttons.
    const auto shortcut = [this](QKeySequence keys, void (RecorderWindow::*action)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence(Qt::Key_Space), &RecorderWindow::toggleRecording);
    shortcut(QKeySequence(Qt::Key_Return), &RecorderWindow::keep);
    shortcut(QKeySequence(Qt::Key_Enter), &RecorderWindow::keep);
    shortcut(QKeySequence(Qt::Key_Escape), &RecorderWindow::throwAway);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &RecorderWindow::choosePicture);
}

QString RecorderWindow::statusText() const
{
    return m_status->text();
}

QString RecorderWindow::ownPath(const QString &extension) const
{
    const QString folder = KeyMedia::userMediaFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + m_key + extension;
}

QString RecorderWindow::childPath(const QString &key, const QString &extension) const
{
    return KeyMedia::findMediaFile(m_programFolder, key, extension);
}

void RecorderWindow::refreshKey(const QString &key)
{
    const auto it = std::find_if(m_keys.begin(), m_keys.end(), [&key](QToolButton *tile) {
        return tile->objectName() == QStringLiteral("key_") + key;
    });
    if (it == m_keys.end())
        return;
    const QString own = KeyMedia::userMediaFolder();
    const bool ownVoice = !own.isEmpty() && QFileInfo::exists(own + u'/' + key + QStringLiteral(".wav"));
    const bool ownPicture = !own.isEmpty() && QFileInfo::exists(own + u'/' + key + QStringLiteral(".jpg"));
    QString mark = tr("originale");
    if (ownVoice && ownPicture)
        mark = tr("voce e figura tue");
    else if (ownVoice)
        mark = tr("voce tua");
    else if (ownPicture)
        mark = tr("figura tua");
    QToolButton *tile = *it;
    tile->setText(key + u'\n' + mark);
    const QImage picture = readQuietly(childPath(key, QStringLiteral(".jpg")), TileIcon);
    tile->setIcon(picture.isNull()
                      ? QIcon()
                      : QPixmap::fromImage(picture.scaled(TileIcon, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    tile->setToolTip(tr("%1: %2").arg(key, mark));
    tile->setAccessibleName(tr("Tasto %1, %2").arg(key, mark));
    if (key == m_key)
        showSelected();
}

void RecorderWindow::showSelected()
{
    m_bigKey->setText(m_key);
    m_word->setText(KeyMedia::wordOf(m_key));
    if (m_key.isEmpty()) {
        m_pictureBox->clear();
        m_origin->clear();
        return;
    }
    const QString own = KeyMedia::userMediaFolder();
    const bool ownVoice = !own.isEmpty() && QFileInfo::exists(ownPath(QStringLiteral(".wav")));
    const bool ownPicture = !own.isEmpty() && QFileInfo::exists(ownPath(QStringLiteral(".jpg")));
    m_origin->setText(tr("Voce: %1\nFigura: %2")
                          .arg(ownVoice ? tr("tua") : tr("originale"), ownPicture ? tr("tua") : tr("originale")));
    const QImage picture = m_state == State::PictureWaiting
        ? m_picture
        : readQuietly(childPath(m_key, QStringLiteral(".jpg")), LargePicture);
    if (picture.isNull()) {
        m_pictureBox->setText(
            tr("La figura %1 non si legge.").arg(QDir::toNativeSeparators(childPath(m_key, QStringLiteral(".jpg")))));
        return;
    }
    const QImage shown = picture.width() > LargePicture.width() || picture.height() > LargePicture.height()
        ? picture.scaled(LargePicture, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : picture;
    m_pictureBox->setPixmap(QPixmap::fromImage(shown));
}

void RecorderWindow::updateControls()
{
    const bool selected = !m_key.isEmpty();
    const bool idle = m_state == State::Idle;
    const bool recording = m_state == State::Recording;
    const bool waiting = m_state == State::TakeWaiting || m_state == State::PictureWaiting;
    m_listen->setEnabled(selected && !recording);
    m_record->setEnabled(selected && m_state != State::PictureWaiting);
    m_record->setText(recording ? tr("&Ferma (Spazio)") : tr("&Registra (Spazio)"));
    m_keep->setEnabled(waiting);
    m_retry->setEnabled(m_state == State::TakeWaiting);
    m_choose->setEnabled(selected && idle);
    m_originalVoice->setEnabled(selected && idle);
    m_originalPicture->setEnabled(selected && idle);
    if (!recording) {
        m_meter->setValue(0);
        m_seconds->setText(tr("%1 s").arg(0));
    }
}

void RecorderWindow::setStatus(const QString &text, bool error)
{
    m_status->setText(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #b00020; font-weight: bold;") : QString());
    // Also on standard error, where a helper (or a test) looking on can read it.
    std::fprintf(stderr, "quilloro-registra: %s\n", qPrintable(text));
    std::fflush(stderr);
}

bool RecorderWindow::busyWithSomethingElse()
{
    if (m_state == State::TakeWaiting) {
        setStatus(tr("Prima tieni la registrazione di %1 (Invio) o buttala via (Esc).").arg(m_key), true);
        return true;
    }
    if (m_state == State::PictureWaiting) {
        setStatus(tr("Prima tieni la figura di %1 (Invio) o buttala via (Esc).").arg(m_key), true);
        return true;
    }
    if (m_state == State::Recording) {
        setStatus(tr("Sto registrando %1: prima fermati con Spazio.").arg(m_key), true);
        return true;
    }
    return false;
}

void RecorderWindow::selectKey(const QString &key)
{
    if (key == m_key || busyWithSomethingElse()) {
        // A click on another tile must not move the mark away from the key in work.
        for (QToolButton *tile : std::as_const(m_keys))
            tile->setChecked(tile->objectName() == QStringLiteral("key_") + m_key);
        return;
    }
    m_key = key;
    for (QToolButton *tile : std::as_const(m_keys))
        tile->setChecked(tile->objectName() == QStringLiteral("key_") + key);
    showSelected();
    setStatus(tr("%1, come %2. Premi Spazio per registrare la tua voce, Ctrl+O per scegliere una figura.")
                  .arg(key, KeyMedia::wordOf(key)));
    updateControls();
}

void RecorderWindow::toggleRecording()
{
    if (m_key.isEmpty()) {
        setStatus(tr("Scegli prima un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero."), true);
        return;
    }
    switch (m_state) {
    case State::Recording:
        stopRecording();
        break;
    case State::TakeWaiting:
        tryAgain();
        break;
    case State::PictureWaiting:
        busyWithSomethingElse();
        break;
    case State::Idle:
        startRecording();
        break;
    }
}

void RecorderWindow::startRecording()
{
    m_take.clear();
    m_state = State::Recording;
    updateControls();
    setStatus(tr("Sto registrando %1: parla ora. Premi Spazio quando hai finito; dopo %2 secondi mi fermo da solo.")
                  .arg(m_key)
                  .arg(Take::MaxSeconds));
    m_capture.start();
}

void RecorderWindow::captureProgress(double peakDb, qint64 frames)
{
    if (m_state != State::Recording)
        return;
    m_meter->setValue(std::clamp(int(peakDb + 60.0), 0, 60));
    m_seconds->setText(tr("%1 s").arg(frames / Take::SampleRate));
    if (frames >= qint64(Take::MaxSeconds) * Take::SampleRate)
        stopRecording();
}

void RecorderWindow::stopRecording()
{
    std::vector<std::int16_t> samples = m_capture.stop();
    m_state = State::Idle;
    const std::size_t longest = std::size_t(Take::MaxSeconds) * Take::SampleRate;
    if (samples.size() > longest)
        samples.resize(longest);
    Take::Processed take = Take::process(samples, Take::SampleRate);
    if (take.outcome == Take::Outcome::NoVoice) {
        updateControls();
        setStatus(tr("Nella registrazione non si sente nessuna voce, quindi non l'ho tenuta. Controlla che il "
                     "microfono sia collegato, acceso e non silenziato; poi parla vicino al microfono e riprova."),
                  true);
        return;
    }
    m_take = std::move(take.samples);
    m_state = State::TakeWaiting;
    updateControls();
    // The take is played at once, so the grown-up can judge it; a file of its
    // own each time, as the player keeps what it has read.
    m_takePreview = m_previewDir.filePath(QStringLiteral("take-%1.wav").arg(++m_previews));
    QString error;
    if (m_previewDir.isValid()
        && KeyMedia::saveAtomically(m_takePreview, KeyMedia::wavBytes(m_take, Take::SampleRate), error))
        m_sound.suona(m_takePreview);
    setStatus(tr("Ecco la registrazione di %1 (%2 secondi). Premi Invio per tenerla, Spazio per riprovare, Esc per "
                 "buttarla via.")
                  .arg(m_key)
                  .arg(double(m_take.size()) / Take::SampleRate, 0, 'f', 1));
}

void RecorderWindow::captureFailed(Capture::Failure failure)
{
    if (m_state != State::Recording)
        return;
    m_capture.stop();
    m_state = State::Idle;
    updateControls();
    switch (failure) {
    case Capture::Failure::NoServer:
        setStatus(tr("Nessun microfono trovato: il sistema audio del computer non risponde. Controlla che il suono "
                     "funzioni (per esempio che un video si senta), poi riprova."),
                  true);
        break;
    case Capture::Failure::NoMicrophone:
        setStatus(tr("Nessun microfono trovato. Controlla che sia collegato e acceso, e che sia scelto come "
                     "ingresso nelle impostazioni audio del computer; poi riprova."),
                  true);
        break;
    case Capture::Failure::Lost:
        setStatus(tr("Il microfono si è scollegato (o è cambiato) durante la registrazione. La voce di %1 è rimasta "
                     "quella di "
                     "prima. Ricollega il microfono e riprova.")
                      .arg(m_key),
                  true);
        break;
    }
}

void RecorderWindow::keep()
{
    const QString extension = m_state == State::TakeWaiting ? QStringLiteral(".wav") : QStringLiteral(".jpg");
    if (m_state != State::TakeWaiting && m_state != State::PictureWaiting)
        return;
    const QString path = ownPath(extension);
    if (path.isEmpty()) {
        setStatus(tr("Non so dove tenere i tuoi file: la cartella personale (HOME) non è impostata."), true);
        return;
    }
    const QByteArray bytes =
        m_state == State::TakeWaiting ? KeyMedia::wavBytes(m_take, Take::SampleRate) : KeyMedia::jpegBytes(m_picture);
    QString error;
    if (!KeyMedia::saveAtomically(path, bytes, error)) {
        setStatus(folderError(QFileInfo(path).absolutePath(), error), true);
        return;
    }
    const bool voice = m_state == State::TakeWaiting;
    m_take.clear();
    m_picture = QImage();
    m_state = State::Idle;
    updateControls();
    refreshKey(m_key);
    setStatus(voice ? tr("Fatto: ora %1 dice la tua voce (%2).").arg(m_key, QDir::toNativeSeparators(path))
                    : tr("Fatto: ora %1 mostra la tua figura (%2).").arg(m_key, QDir::toNativeSeparators(path)));
}

void RecorderWindow::throwAway()
{
    switch (m_state) {
    case State::Recording:
        m_capture.stop();
        m_state = State::Idle;
        setStatus(tr("Registrazione interrotta: %1 resta com'era.").arg(m_key));
        break;
    case State::TakeWaiting:
        m_take.clear();
        m_state = State::Idle;
        setStatus(tr("Registrazione buttata via: %1 resta com'era.").arg(m_key));
        break;
    case State::PictureWaiting:
        m_picture = QImage();
        m_state = State::Idle;
        showSelected();
        setStatus(tr("Figura buttata via: %1 resta com'era.").arg(m_key));
        break;
    case State::Idle:
        return;
    }
    updateControls();
}

void RecorderWindow::tryAgain()
{
    if (m_state != State::TakeWaiting)
        return;
    m_take.clear();
    m_state = State::Idle;
    startRecording();
}

void RecorderWindow::listen()
{
    if (m_key.isEmpty() || m_state == State::Recording)
        return;
    if (m_state == State::TakeWaiting) {
        m_sound.suona(m_takePreview);
        return;
    }
    const QString path = childPath(m_key, QStringLiteral(".wav"));
    if (!QFileInfo::exists(path)) {
        setStatus(
            tr("Per %1 non c'è nessuna registrazione da ascoltare (%2).").arg(m_key, QDir::toNativeSeparators(path)),
            true);
        return;
    }
    m_sound.suona(path);
}

void RecorderWindow::choosePicture()
{
    if (m_key.isEmpty()) {
        setStatus(tr("Scegli prima un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero."), true);
        return;
    }
    if (busyWithSomethingElse())
        return;
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString filters = tr("Figure (%1)").arg(patterns.join(u' ')) + QStringLiteral(";;") + tr("Tutti i file (*)");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo::exists(folder))
        folder = QDir::homePath();
    // Qt's own dialog, the same on every desktop, where a path can be typed.
    const QString path = QFileDialog::getOpenFileName(this, tr("Scegli una figura per %1").arg(m_key), folder, filters,
                                                      nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage image = KeyMedia::readChosenPicture(path, &error, PictureBox);
    if (image.isNull()) {
        setStatus(tr("Non riesco a leggere la figura %1 (%2). Scegli una foto o un disegno in JPEG o PNG.")
                      .arg(QDir::toNativeSeparators(path), KeyMedia::pictureProblem(path, error)),
                  true);
        return;
    }
    m_picture = KeyMedia::fitPicture(image, PictureBox);
    m_state = State::PictureWaiting;
    showSelected();
    updateControls();
    setStatus(tr("Ecco la figura per %1 (%2 × %3). Premi Invio per tenerla, Esc per buttarla via.")
                  .arg(m_key)
                  .arg(m_picture.width())
                  .arg(m_picture.height()));
}

void RecorderWindow::backToOriginalVoice()
{
    backToOriginal(QStringLiteral(".wav"));
}

void RecorderWindow::backToOriginalPicture()
{
    backToOriginal(QStringLiteral(".jpg"));
}

void RecorderWindow::backToOriginal(const QString &extension)
{
    if (m_key.isEmpty() || busyWithSomethingElse())
        return;
    const bool voice = extension == QLatin1String(".wav");
    const QString path = ownPath(extension);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        setStatus(voice ? tr("%1 ha già la voce originale.").arg(m_key)
                        : tr("%1 ha già la figura originale.").arg(m_key));
        return;
    }
    const QString question = voice ? tr("Togliere la tua voce per %1? Tornerà quella originale.").arg(m_key)
                                   : tr("Togliere la tua figura per %1? Tornerà quella originale.").arg(m_key);
    if (QMessageBox::question(this, tr("Tornare all'originale"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes)
        != QMessageBox::Yes)
        return;
    QString error;
    if (!KeyMedia::removeFile(path, error)) {
        setStatus(tr("Non riesco a togliere %1 dalla cartella %2 (%3). Controlla che tu possa scriverci.")
                      .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(QFileInfo(path).absolutePath()), error),
                  true);
        return;
    }
    refreshKey(m_key);
    setStatus(voice ? tr("Ora %1 ha di nuovo la voce originale.").arg(m_key)
                    : tr("Ora %1 ha di nuovo la figura originale.").arg(m_key));
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
    if (m_state == State::TakeWaiting || m_state == State::PictureWaiting) {
        const QString question = m_state == State::TakeWaiting
            ? tr("La registrazione di %1 non è ancora tenuta. Chiudere e buttarla via?").arg(m_key)
            : tr("La figura di %1 non è ancora tenuta. Chiudere e buttarla via?").arg(m_key);
        if (QMessageBox::question(this, tr("Chiudere?"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    m_capture.stop();
    event->accept();
}

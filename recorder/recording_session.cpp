// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_session.h"
#include "keys.h"
#include "media_files.h"
#include "media_lookup.h"
#include "picture_reader.h"
#include "take_processing.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// The size a chosen picture is brought within: the child's window shows it
// within ShownPictureArea, with twice the pixels as the pack's pictures have,
// so that it stays sharp when the window is scaled up.
constexpr QSize PictureBox = KeyMedia::ShownPictureArea * KeyMedia::ShownPictureDetail;

QStringView extensionOf(RecordingSession::Media media)
{
    return media == RecordingSession::Media::Voice ? u".wav" : u".jpg";
}

} // namespace

bool SessionMessage::isError() const
{
    // What was done or asked for is told plainly; the rest asks the grown-up to act.
    static constexpr Kind Plain[] = {Kind::ChooseAKey,
                                     Kind::KeySelected,
                                     Kind::SoundSelected,
                                     Kind::GettingReady,
                                     Kind::Recording,
                                     Kind::TakeReady,
                                     Kind::VoiceKept,
                                     Kind::PictureKept,
                                     Kind::RecordingInterrupted,
                                     Kind::TakeThrownAway,
                                     Kind::PictureThrownAway,
                                     Kind::PictureReady,
                                     Kind::AlreadyOriginalVoice,
                                     Kind::AlreadyOriginalPicture,
                                     Kind::OriginalVoiceBack,
                                     Kind::OriginalPictureBack};
    return std::find(std::begin(Plain), std::end(Plain), kind) == std::end(Plain);
}

RecordingSession::RecordingSession(Capture &capture, SoundOperations &sound, const QString &programFolder,
                                   QObject *parent)
    : QObject(parent)
    , m_capture(capture)
    , m_sound(sound)
    , m_programFolder(programFolder)
{
    connect(&m_capture, &Capture::progress, this, &RecordingSession::captureProgress);
    connect(&m_capture, &Capture::failed, this, &RecordingSession::captureFailed);
}

RecordingSession::~RecordingSession()
{
    m_capture.stop();
}

bool RecordingSession::isRecordedGameSound(QStringView name)
{
    return std::find(RecordedGameSounds.begin(), RecordedGameSounds.end(), name) != RecordedGameSounds.end();
}

bool RecordingSession::hasPicture(QStringView name)
{
    return KeyMedia::isRecognizedKey(name);
}

bool RecordingSession::hasOwn(const QString &key, Media media)
{
    const QString path = KeyMedia::ownFile(key, extensionOf(media));
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool RecordingSession::wouldRemoveOwn(Media media) const
{
    return !m_key.isEmpty() && m_state == State::Idle && (media == Media::Voice || hasPicture(m_key))
        && hasOwn(m_key, media);
}

QString RecordingSession::mediaFile(const QString &key, QStringView extension) const
{
    return KeyMedia::findMediaFile(m_programFolder, key, extension);
}

void RecordingSession::say(SessionMessage::Kind kind, SessionMessage message)
{
    message.kind = kind;
    if (message.key.isEmpty())
        message.key = m_key;
    m_last = message;
    emit said(m_last);
}

void RecordingSession::setState(State state)
{
    m_state = state;
    emit changed();
}

bool RecordingSession::busyWithSomethingElse()
{
    switch (m_state) {
    case State::TakeWaiting:
        say(SessionMessage::Kind::KeepTakeFirst);
        return true;
    case State::PictureWaiting:
        say(SessionMessage::Kind::KeepPictureFirst);
        return true;
    case State::Recording:
        say(SessionMessage::Kind::StopFirst);
        return true;
    case State::Idle:
        break;
    }
    return false;
}

bool RecordingSession::select(const QString &key)
{
    if (key == m_key)
        return true;
    if ((!KeyMedia::isRecognizedKey(key) && !isRecordedGameSound(key)) || busyWithSomethingElse())
        return false;
    m_key = key;
    emit changed();
    say(hasPicture(key) ? SessionMessage::Kind::KeySelected : SessionMessage::Kind::SoundSelected);
    return true;
}

void RecordingSession::toggleRecording()
{
    if (m_key.isEmpty()) {
        say(SessionMessage::Kind::ChooseAKeyFirst);
        return;
    }
    switch (m_state) {
    case State::Recording:
        stopRecording();
        break;
    case State::TakeWaiting:
    case State::PictureWaiting:
        // Recording over a take not yet kept would lose it unasked: Try
        // again says so by its name, Record asks for it to be kept or thrown away.
        busyWithSomethingElse();
        break;
    case State::Idle:
        startRecording();
        break;
    }
}

void RecordingSession::startRecording()
{
    m_take.clear();
    m_heard = false;
    setState(State::Recording);
    // "Speak now" once the microphone delivers: on a busy computer the first
    // samples can take seconds, and a voice spoken before them is lost.
    say(SessionMessage::Kind::GettingReady);
    m_capture.start();
}

void RecordingSession::captureProgress(double peakDb, qint64 frames)
{
    if (m_state != State::Recording)
        return;
    if (!std::exchange(m_heard, true))
        say(SessionMessage::Kind::Recording);
    emit level(peakDb, frames);
    if (frames >= qint64(Take::MaxSeconds) * Take::SampleRate)
        stopRecording();
}

void RecordingSession::stopRecording()
{
    std::vector<std::int16_t> samples = m_capture.stop();
    const std::size_t longest = std::size_t(Take::MaxSeconds) * Take::SampleRate;
    if (samples.size() > longest)
        samples.resize(longest);
    Take::Processed take = Take::process(samples, Take::SampleRate);
    if (take.outcome != Take::Outcome::Ready) {
        setState(State::Idle);
        say(take.outcome == Take::Outcome::TooShort ? SessionMessage::Kind::TooShort : SessionMessage::Kind::NoVoice);
        return;
    }
    m_take = std::move(take.samples);
    setState(State::TakeWaiting);
    // The take is played at once, so the grown-up can judge it.
    m_takePreview = m_previews.write(m_take, Take::SampleRate);
    if (!m_takePreview.isEmpty())
        m_sound.suona(m_takePreview);
    SessionMessage ready;
    ready.seconds = double(m_take.size()) / Take::SampleRate;
    say(SessionMessage::Kind::TakeReady, ready);
}

void RecordingSession::captureFailed(Capture::Failure failure)
{
    if (m_state != State::Recording)
        return;
    m_capture.stop();
    setState(State::Idle);
    switch (failure) {
    case Capture::Failure::NoServer:
        say(SessionMessage::Kind::NoSoundServer);
        break;
    case Capture::Failure::NoMicrophone:
        say(SessionMessage::Kind::NoMicrophone);
        break;
    case Capture::Failure::Lost:
        say(SessionMessage::Kind::MicrophoneLost);
        break;
    }
}

void RecordingSession::keep()
{
    if (!somethingWaiting())
        return;
    const bool voice = m_state == State::TakeWaiting;
    const QString path = KeyMedia::ownFile(m_key, extensionOf(voice ? Media::Voice : Media::Picture));
    if (path.isEmpty()) {
        say(SessionMessage::Kind::NoOwnFolder);
        return;
    }
    const QByteArray bytes = voice ? KeyMedia::wavBytes(m_take, Take::SampleRate) : KeyMedia::jpegBytes(m_picture);
    SessionMessage result;
    if (!KeyMedia::saveAtomically(path, bytes, result.reason)) {
        result.path = QFileInfo(path).absolutePath();
        say(SessionMessage::Kind::CannotWrite, result);
        return;
    }
    m_take.clear();
    m_picture = QImage();
    setState(State::Idle);
    emit ownFilesChanged(m_key);
    result.path = path;
    say(voice ? SessionMessage::Kind::VoiceKept : SessionMessage::Kind::PictureKept, result);
}

void RecordingSession::throwAway()
{
    switch (m_state) {
    case State::Recording:
        m_capture.stop();
        setState(State::Idle);
        say(SessionMessage::Kind::RecordingInterrupted);
        break;
    case State::TakeWaiting:
        m_take.clear();
        setState(State::Idle);
        say(SessionMessage::Kind::TakeThrownAway);
        break;
    case State::PictureWaiting:
        m_picture = QImage();
        setState(State::Idle);
        say(SessionMessage::Kind::PictureThrownAway);
        break;
    case State::Idle:
        break;
    }
}

void RecordingSession::tryAgain()
{
    if (m_state != State::TakeWaiting)
        return;
    m_take.clear();
    startRecording();
}

void RecordingSession::listen()
{
    if (m_key.isEmpty() || m_state == State::Recording)
        return;
    if (m_state == State::TakeWaiting) {
        if (!m_takePreview.isEmpty())
            m_sound.suona(m_takePreview);
        return;
    }
    const QString path = mediaFile(m_key, u".wav");
    if (!QFileInfo::exists(path)) {
        SessionMessage missing;
        missing.path = path;
        say(SessionMessage::Kind::NothingToListen, missing);
        return;
    }
    m_sound.suona(path);
}

bool RecordingSession::mayChoosePicture()
{
    if (m_key.isEmpty()) {
        say(SessionMessage::Kind::ChooseAKeyFirst);
        return false;
    }
    if (!hasPicture(m_key)) {
        say(SessionMessage::Kind::NoPicture);
        return false;
    }
    return !busyWithSomethingElse();
}

void RecordingSession::pictureChosen(const QString &path)
{
    if (m_key.isEmpty() || !hasPicture(m_key) || m_state != State::Idle)
        return;
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage image = KeyMedia::readChosenPicture(path, &error, PictureBox);
    if (image.isNull()) {
        SessionMessage unreadable;
        unreadable.path = path;
        unreadable.reason = KeyMedia::pictureProblem(path, error);
        say(SessionMessage::Kind::PictureUnreadable, unreadable);
        return;
    }
    m_picture = KeyMedia::fitPicture(image, PictureBox);
    setState(State::PictureWaiting);
    SessionMessage ready;
    ready.size = m_picture.size();
    say(SessionMessage::Kind::PictureReady, ready);
}

void RecordingSession::backToOriginal(Media media)
{
    if (m_key.isEmpty() || busyWithSomethingElse())
        return;
    const bool voice = media == Media::Voice;
    // A game sound's folder may hold a picture by its name, put there by
    // hand: it is no picture of the sound's, and it stays.
    if (!voice && !hasPicture(m_key)) {
        say(SessionMessage::Kind::NoPicture);
        return;
    }
    if (!hasOwn(m_key, media)) {
        say(voice ? SessionMessage::Kind::AlreadyOriginalVoice : SessionMessage::Kind::AlreadyOriginalPicture);
        return;
    }
    SessionMessage result;
    result.path = KeyMedia::ownFile(m_key, extensionOf(media));
    if (!KeyMedia::removeFile(result.path, result.reason)) {
        say(SessionMessage::Kind::CannotRemove, result);
        return;
    }
    emit ownFilesChanged(m_key);
    say(voice ? SessionMessage::Kind::OriginalVoiceBack : SessionMessage::Kind::OriginalPictureBack);
}

void RecordingSession::stopCapture()
{
    m_capture.stop();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"
#include "keys.h"
#include "sound_operations.h"
#include "take_previews.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// What the session has to tell the grown-up, as a value: the window turns it
// into a sentence (messages.h), a test compares its kind. "key" is the
// selected key or game sound.
struct SessionMessage {
    Q_GADGET

public:
    enum class Kind {
        ChooseAKey,           // nothing selected yet
        KeySelected,          // key
        SoundSelected,        // key: a game sound
        ChooseAKeyFirst,      // an action with no key selected
        NoPicture,            // key: a game sound, asked for a picture
        KeepTakeFirst,        // key: a take waits
        KeepPictureFirst,     // key: a picture waits
        StopFirst,            // key: recording
        GettingReady,         // key: recording, the microphone not heard from yet
        Recording,            // key: the microphone delivers, speak now
        NoVoice,              // the take held silence or hum
        TooShort,             // the take was stopped as soon as started
        TakeReady,            // key, seconds
        NoSoundServer,        // the capture's failures
        NoMicrophone,         //
        MicrophoneLost,       // key
        NoOwnFolder,          // neither XDG_DATA_HOME nor HOME
        CannotWrite,          // path: the folder; reason
        VoiceKept,            // key, path: the file
        PictureKept,          // key, path: the file
        RecordingInterrupted, // key
        TakeThrownAway,       // key
        PictureThrownAway,    // key
        NothingToListen,      // key, path: the file looked for
        PictureUnreadable,    // path: the chosen file; reason
        PictureReady,         // key, size
        AlreadyOriginalVoice, // key
        AlreadyOriginalPicture,
        CannotRemove,      // path: the file; reason
        OriginalVoiceBack, // key
        OriginalPictureBack,
    };
    Q_ENUM(Kind)
    Kind kind = Kind::ChooseAKey;
    QString key;
    QString path;
    QString reason;
    double seconds = 0;
    QSize size;

    // Shown as an error: something the grown-up has to do or to check.
    bool isError() const;
};

// The recorder's work on one key, or one of the listening game's sounds, at
// a time, without a window: which is selected, recording a take through the
// Capture, a take or a chosen picture waiting to be kept or thrown away, and
// the family's own files written and removed. A game sound is a voice alone:
// it has no picture. Every step it takes is told through said(); a step that
// cannot be taken now leaves everything as it was.
class RecordingSession : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Idle,
        Recording,
        TakeWaiting,    // a processed take waits for Keep or Try again
        PictureWaiting, // a chosen picture waits to be kept or thrown away
    };
    Q_ENUM(State)
    enum class Media { Voice, Picture };

    // The game's sounds a family records in its own voice, as it does a
    // key's. The level's celebration (festa) is not among them: a family may
    // still put its own festa.wav in its folder.
    static constexpr std::array<QStringView, 2> RecordedGameSounds{KeyMedia::BravoSound, KeyMedia::RiprovaSound};
    static bool isRecordedGameSound(QStringView name);
    // Whether the key or game sound has a picture: only a key has.
    static bool hasPicture(QStringView name);

    // programFolder: where the pack's IMG is, as for the child's program.
    RecordingSession(Capture &capture, SoundOperations &sound, const QString &programFolder, QObject *parent = nullptr);
    ~RecordingSession() override;

    State state() const { return m_state; }
    QString key() const { return m_key; }
    // The chosen picture while it waits, fitted as it would be kept.
    const QImage &pictureWaiting() const { return m_picture; }
    SessionMessage lastMessage() const { return m_last; }
    bool somethingWaiting() const { return m_state == State::TakeWaiting || m_state == State::PictureWaiting; }
    // Whether the family has its own file of that kind for the key.
    static bool hasOwn(const QString &key, Media media);
    // Whether backToOriginal() would now remove a file of the family's:
    // the window asks the grown-up first.
    bool wouldRemoveOwn(Media media) const;
    // The file the child's program uses for key + extension.
    QString mediaFile(const QString &key, QStringView extension) const;

    // Returns whether the key or game sound is now the selected one.
    bool select(const QString &key);
    void toggleRecording();
    void keep();
    void throwAway();
    void tryAgain();
    void listen();
    // Whether a picture may be chosen now; if not, says why.
    bool mayChoosePicture();
    void pictureChosen(const QString &path);
    void backToOriginal(Media media);
    // Stops the capture, as the window closes.
    void stopCapture();

signals:
    void said(const SessionMessage &message);
    // The state, the selected key or the picture waiting changed.
    void changed();
    // A file of the family's was written or removed for the key.
    void ownFilesChanged(const QString &key);
    // While recording: the loudest sample since the last report, in dBFS,
    // and the frames recorded so far.
    void level(double peakDb, qint64 frames);

private:
    void say(SessionMessage::Kind kind, SessionMessage message = {});
    void setState(State state);
    bool busyWithSomethingElse();
    void startRecording();
    void stopRecording();
    void captureProgress(double peakDb, qint64 frames);
    void captureFailed(Capture::Failure failure);

    Capture &m_capture;
    SoundOperations &m_sound;
    QString m_programFolder;
    State m_state = State::Idle;
    QString m_key;
    // Whether the capture has delivered since recording started.
    bool m_heard = false;
    std::vector<std::int16_t> m_take;
    QString m_takePreview;
    TakePreviews m_previews;
    QImage m_picture;
    SessionMessage m_last;
};

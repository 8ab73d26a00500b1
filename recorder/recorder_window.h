// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture.h"
#include "key_handler.h"

#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// The grown-ups' window: the 36 keys at a glance, the selected one large
// with its word, and the controls that record a voice, choose a picture or
// go back to the pack's, writing only into the family's own media folder.
class RecorderWindow : public QWidget
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

    // programFolder: where the pack's IMG is, as for the child's program.
    RecorderWindow(Capture &capture, SoundOperations &sound, const QString &programFolder, QWidget *parent = nullptr);
    ~RecorderWindow() override;

    State state() const { return m_state; }
    QString selectedKey() const { return m_key; }
    // The last sentence shown to the grown-up.
    QString statusText() const;

    void selectKey(const QString &key);
    void toggleRecording();
    void keep();
    void throwAway();
    void tryAgain();
    void listen();
    void choosePicture();
    void backToOriginalVoice();
    void backToOriginalPicture();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createShortcuts();
    QString ownPath(const QString &extension) const;
    QString childPath(const QString &key, const QString &extension) const;
    void refreshKey(const QString &key);
    void showSelected();
    void updateControls();
    void setStatus(const QString &text, bool error = false);
    bool busyWithSomethingElse();
    void startRecording();
    void stopRecording();
    void captureProgress(double peakDb, qint64 frames);
    void captureFailed(Capture::Failure failure);
    void backToOriginal(const QString &extension);

    Capture &m_capture;
    SoundOperations &m_sound;
    QString m_programFolder;
    State m_state = State::Idle;
    QString m_key;
    std::vector<std::int16_t> m_take;
    QString m_takePreview;
    int m_previews = 0;
    QImage m_picture;
    QTemporaryDir m_previewDir;

    QList<QToolButton *> m_keys;
    QLabel *m_bigKey = nullptr;
    QLabel *m_word = nullptr;
    QLabel *m_pictureBox = nullptr;
    QLabel *m_origin = nullptr;
    QPushButton *m_listen = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_keep = nullptr;
    QPushButton *m_retry = nullptr;
    QPushButton *m_choose = nullptr;
    QPushButton *m_originalVoice = nullptr;
    QPushButton *m_originalPicture = nullptr;
    QProgressBar *m_meter = nullptr;
    QLabel *m_seconds = nullptr;
    QLabel *m_status = nullptr;
};

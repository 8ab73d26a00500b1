// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lesson_settings.h"
#include "recording_session.h"

#include <QWidget>

class KeyGrid;
class QCheckBox;
class QRadioButton;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;

// The grown-ups' window: the 36 keys and the listening game's two sounds at
// a glance, the selected one large with its word, the controls that record a
// voice, choose a picture or go back to the pack's, and the grown-ups'
// choices for the child's lesson. What they do is the session's; the window
// shows its state and its sentences, and asks before a family's file is
// removed or a take or picture not yet kept is lost.
class RecorderWindow : public QWidget
{
    Q_OBJECT

public:
    // programFolder: where the pack's IMG is, as for the child's program.
    RecorderWindow(Capture &capture, SoundOperations &sound, const QString &programFolder, QWidget *parent = nullptr);

    const RecordingSession &session() const { return m_session; }
    KeyGrid *keyGrid() const { return m_grid; }
    // The last sentence shown to the grown-up.
    QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls(const QString &programFolder);
    void createShortcuts();
    void selectKey(const QString &key);
    void choosePicture();
    void backToOriginal(RecordingSession::Media media);
    void showSelected();
    void updateControls();
    void showLevel(double peakDb, qint64 frames);
    void setStatus(const SessionMessage &message);
    void setStatusText(const QString &text, bool error);
    QLayout *createLessonChoices();
    void saveLessonChoice(KeyMedia::LessonChoice choice, bool on);
    void saveActivity(KeyMedia::Activity activity);
    // Tells whether a choice was saved; if not, why, and shows again what the lesson will do.
    void showChoiceSaved(bool saved, const QString &reason);
    void showLessonChoices();

    RecordingSession m_session;
    KeyGrid *m_grid = nullptr;
    QLabel *m_bigKey = nullptr;
    QLabel *m_word = nullptr;
    QLabel *m_pictureBox = nullptr;
    QLabel *m_origin = nullptr;
    QPushButton *m_listen = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_keep = nullptr;
    QPushButton *m_throw = nullptr;
    QPushButton *m_retry = nullptr;
    QPushButton *m_choose = nullptr;
    QPushButton *m_originalVoice = nullptr;
    QPushButton *m_originalPicture = nullptr;
    QProgressBar *m_meter = nullptr;
    QLabel *m_seconds = nullptr;
    QLabel *m_status = nullptr;
    QCheckBox *m_capitals = nullptr;
    QCheckBox *m_fullScreen = nullptr;
    QCheckBox *m_childLock = nullptr;
    QRadioButton *m_exploreActivity = nullptr;
    QRadioButton *m_listenActivity = nullptr;
};

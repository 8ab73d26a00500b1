// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "key_handler.h"
#include "lesson_settings.h"
#include "listen_game.h"
#include "sound_player.h"

#include <QCache>
#include <QDateTime>
#include <QImageReader>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <memory>

class KeyboardHold;
class QAction;
class QLabel;
class QLineEdit;
class StarRow;

// The program's only window: the big label, the picture box, the hidden key
// box that hands every typed character to the key lesson, and the menu bar.
// For the listening game, the level and its stars below them.
class Form1 : public QMainWindow, private GameWindowOperations, private SoundOperations
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The controls, by the names the rest of the program knows them by.
    QLabel *label1() const { return m_label1; }
    QLineEdit *text1() const { return m_text1; }
    QLabel *picture1() const { return m_picture1; }
    // The listening game's level ("Livello 1") and its stars; hidden in the lesson.
    QLabel *levelLabel() const { return m_level; }
    QWidget *starRow() const;
    // The listening game, while it is the activity chosen.
    const ListenGame *game() const { return m_game.get(); }
    // A key's picture follows its character a moment later: true until then.
    bool pictureToCome() const { return m_captionShown.isActive(); }

    // Follows the grown-ups' choices, at start and whenever they change: the
    // lesson open on the screen changes at once, without a restart.
    void applyChoices(const KeyMedia::LessonSettings &settings);
    // How many times the design's client area is drawn larger: 1 in a
    // window, more on the whole screen.
    qreal scale() const { return m_scale; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void keyPress(const QString &text);
    void startSound();
    void widenPictureFrame();
    void dropPictureToCome();
    void layOut();
    float invitationPoints() const;
    QString invitation() const;
    void setActivity(KeyMedia::Activity activity);
    void showPicture();
    QPixmap shownPicture(const QString &path, QImageReader::ImageReaderError *error);
    void setShownPicture(const QPixmap &shown);

    // WindowOperations
    void setLabelFontSize(float points) override;
    void focusKeyBox() override;
    void setLabelCaption(const QString &caption) override;
    void setPictureVisible(bool visible) override;
    void afterCaptionShown(std::function<void()> then) override;
    bool loadPicture(const QString &path, QString &reason) override;
    QString programFolder() const override;
    void showMessage(const QString &text, const QString &title, MessageIcon icon) override;
    void endProgram() override;

    // GameWindowOperations
    void setCaptionGrey(bool grey) override;
    void showProgress(int level, int stars) override;
    void startWait(int ms) override;
    void stopWait() override;

    // SoundOperations
    void suona(const QString &path) override;

    QLabel *m_label1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLabel *m_picture1 = nullptr;
    QLabel *m_level = nullptr;
    StarRow *m_stars = nullptr;
    QAction *m_escapeHint = nullptr;
    KeyboardHold *m_keyboardHold = nullptr;
    LessonChoices m_choices;
    std::unique_ptr<ListenGame> m_game;
    QTimer m_gameWait;
    QTimer m_captionShown;
    QTimer m_prepareKeys;
    size_t m_preparedKeys = 0; // how many keys' recording and picture are read ahead
    // A picture as shown, at the window's scale, with the file's size and
    // time it was read at.
    struct ShownPicture
    {
        qint64 size;
        QDateTime modified;
        qreal scale;
        qreal screenRatio;
        QPixmap pixmap;
    };
    QCache<QString, ShownPicture> m_shownPictures{64 * 1024}; // KiB
    std::function<void()> m_afterCaption;
    bool m_fullScreen = false;
    qreal m_scale = 1;
    QPoint m_origin;
    float m_labelPoints = 72; // the label's size in the design's points
    QString m_picturePath;    // the file of the picture shown
    // Made once the first frame is on the screen, or by the first key if that comes sooner.
    std::unique_ptr<SoundPlayer> m_sound;
    bool m_ending = false;
    bool m_decorated = false;
};

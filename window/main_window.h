// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "key_handler.h"
#include "sound_player.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QLineEdit;

// The program's only window: the big label, the picture box, the hidden key
// box that hands every typed character to the key lesson, and the menu bar.
class Form1 : public QMainWindow, private WindowOperations, private SoundOperations
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The controls, by the names the rest of the program knows them by.
    QLabel *label1() const { return m_label1; }
    QLineEdit *text1() const { return m_text1; }
    QLabel *picture1() const { return m_picture1; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void keyPress(const QString &text);
    void startSound();
    void widenPictureFrame();

    // WindowOperations
    void setLabelFontSize(float points) override;
    void focusKeyBox() override;
    void setLabelCaption(const QString &caption) override;
    void setPictureVisible(bool visible) override;
    bool loadPicture(const QString &path, QString &reason) override;
    QString programFolder() const override;
    void showMessage(const QString &text, const QString &title, MessageIcon icon) override;
    void endProgram() override;

    // SoundOperations
    void suona(const QString &path) override;

    QLabel *m_label1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLabel *m_picture1 = nullptr;
    // Made once the first frame is on the screen, or by the first key if that comes sooner.
    std::unique_ptr<SoundPlayer> m_sound;
    bool m_ending = false;
    bool m_decorated = false;
};

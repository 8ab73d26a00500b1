// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for bench_latency: the least a Qt 6 Widgets program does for a key
// press (show the character, play its recording the platform's plain way: see
// bare_sound.h), so Quilloro's figures can be read against what Qt itself costs on the
// same machine.
#include "bare_sound.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

// A black window with one big cyan label that shows the last typed character.
// On the whole screen (--full-screen), the character grows as Quilloro's
// does there: with the screen's height over the window's 554 pixels.
class BareWindow : public QWidget
{
public:
    BareWindow(const QString &mediaDir, bool fullScreen)
        : m_mediaDir(mediaDir)
    {
        setWindowTitle(QStringLiteral("bench bare Qt"));
        double points = 216;
        if (fullScreen) {
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            setGeometry(screen);
            setWindowState(Qt::WindowFullScreen);
            points *= screen.height() / 554.0;
        } else {
            setFixedSize(517, 554);
        }
        setStyleSheet(QStringLiteral("background: black"));
        // A prompt at start, so the harness can tell the first painted frame
        // from the server clearing the window to black.
        m_label->setText(QStringLiteral("?"));
        m_label->setAlignment(Qt::AlignCenter);
        m_label->setStyleSheet(QStringLiteral("color: cyan; font-size: %1pt").arg(points));
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_label);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const QString text = event->text();
        if (text.isEmpty())
            return;
        m_label->setText(text);
        m_sound(m_mediaDir + QLatin1Char('/') + text + QStringLiteral(".wav"));
    }

private:
    QString m_mediaDir;
    QLabel *m_label = new QLabel(this);
    std::function<void(const QString &)> m_sound = keySound(this);
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    const bool fullScreen = args.removeAll(QStringLiteral("--full-screen")) > 0;
    BareWindow window(args.size() > 1 ? args.at(1) : QApplication::applicationDirPath() + QStringLiteral("/IMG"),
                      fullScreen);
    window.show();
    return QApplication::exec();
}

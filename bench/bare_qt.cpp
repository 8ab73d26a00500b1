// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for bench_latency: the least a Qt 6 Widgets program does for a key
// press (show the character, play its recording with one QSoundEffect), so Quilloro's
// figures can be read against what Qt itself costs on the same machine.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QSoundEffect>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

// A black window with one big cyan label that shows the last typed character.
class BareWindow : public QWidget
{
public:
    explicit BareWindow(const QString &mediaDir)
        : m_mediaDir(mediaDir)
    {
        setWindowTitle(QStringLiteral("bench bare Qt"));
        setFixedSize(517, 554);
        setStyleSheet(QStringLiteral("background: black"));
        // A prompt at start, so the harness can tell the first painted frame
        // from the server clearing the window to black.
        m_label->setText(QStringLiteral("?"));
        m_label->setAlignment(Qt::AlignCenter);
        m_label->setStyleSheet(QStringLiteral("color: cyan; font-size: 216pt"));
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
        // One effect for every key, as a plain Qt program would do: a new source
        // stops the old one and has to load before it can play.
        m_sound.setSource(QUrl::fromLocalFile(m_mediaDir + QLatin1Char('/') + text + QStringLiteral(".wav")));
        m_sound.play();
    }

private:
    QString m_mediaDir;
    QLabel *m_label = new QLabel(this);
    QSoundEffect m_sound;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    BareWindow window(args.size() > 1 ? args.at(1) : QApplication::applicationDirPath() + QStringLiteral("/IMG"));
    window.show();
    return QApplication::exec();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Fixtures shared by the window tests: media files made on the spot, a hand
// that answers message boxes, and a guard against boxes nobody answers.
#pragma once

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "wav_fixtures.h"

namespace TestSupport {

struct Box {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    friend bool operator==(const Box &, const Box &) = default;
};

// Answers every message box that opens while it lives with the button it is
// given, keeping what each box showed.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok)
        : answer(button)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << Box{box->text(), box->windowTitle(), box->icon()};
                if (const QAbstractButton *button = box->button(QMessageBox::Yes))
                    yes = button->text();
                box->button(answer)->click();
            }
        });
        m_timer.start(1);
    }
    QMessageBox::StandardButton answer;
    QList<Box> boxes;
    QString yes; // the text of the last Yes button seen

private:
    QTimer m_timer;
};

// A modal box blocks the test in its own event loop until someone answers it.
// A box that stays open for seconds is one no BoxAnswerer was there for (an
// answerer takes milliseconds): this fails the running test, naming the box,
// and closes it, so the test ends at once instead of hanging until CTest's
// timeout. One lives beside each window test object.
class UnansweredBoxGuard
{
public:
    UnansweredBoxGuard()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { check(); });
        m_timer.start(100);
    }

private:
    static constexpr qint64 PatienceMs = 3000;

    void check()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != m_box) {
            m_box = modal;
            m_open.start();
            return;
        }
        if (!modal || m_open.elapsed() < PatienceMs)
            return;
        QString what = modal->windowTitle();
        if (const auto *box = qobject_cast<QMessageBox *>(modal))
            what += QLatin1String(": ") + box->text();
        m_box = nullptr;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        QTest::qFail(qPrintable(QLatin1String("a box nobody answered stayed open: ") + what), __FILE__, __LINE__);
    }

    QTimer m_timer;
    QPointer<QWidget> m_box;
    QElapsedTimer m_open;
};

// The media folder the program reads: IMG beside the running executable.
inline QString imgDir()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/IMG");
}

// The image as a file of the given format holds it.
inline QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// The media IMG beside the test's executable holds for the window: files put
// in by the test, all removed with it.
struct MediaFolder {
    ~MediaFolder() { QDir(imgDir()).removeRecursively(); }
    static bool put(const QString &name, const QByteArray &bytes) { return writeFile(imgDir() + u'/' + name, bytes); }
};

// A picture whose top-left pixel has the given hue; a gradient, so that most
// of the file is picture data and not headers.
inline QByteArray picture(QSize size, int hue, const char *format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor::fromHsv((hue + (x + y) / 8) % 360, 255, 255));
    }
    return encoded(image, format);
}

// A small, valid JPEG whose frame header claims 5500 x 5500 pixels: 115 MB
// decoded, more than the window allows and less than Qt's own limit (128 MB
// in Qt 6.4, 256 MB in Qt 6.8), so only the window's limit turns it away.
inline QByteArray decompressionBomb()
{
    constexpr int Side = 5500;
    QByteArray bytes = picture(QSize(16, 16), 0);
    const auto sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    bytes[sof + 5] = char(Side >> 8);
    bytes[sof + 6] = char(Side & 0xFF);
    bytes[sof + 7] = char(Side >> 8);
    bytes[sof + 8] = char(Side & 0xFF);
    return bytes;
}

// A progressive JPEG (ten scans), with its last scan written again
// extraScans times, as a hostile file does to make decoding slow.
inline QByteArray progressivePicture(QSize size, int extraScans = 0)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::cyan);
    const QByteArray bytes = encoded(image, "jpeg", true);
    const auto lastScan = bytes.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const auto end = bytes.lastIndexOf(QByteArray("\xFF\xD9", 2));
    return bytes.left(end) + bytes.mid(lastScan, end - lastScan).repeated(extraScans) + bytes.mid(end);
}

} // namespace TestSupport

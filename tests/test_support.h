// SPDX-License-Identifier: GPL-3.0-or-later
// Fixtures shared by the window tests: media files made on the spot, and a
// hand that answers message boxes.
#pragma once

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "wav_fixtures.h"

namespace TestSupport {

struct Box {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers every message box that opens while it lives, keeping what it showed.
class BoxAnswerer
{
public:
    BoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << Box{box->text(), box->windowTitle(), box->icon()};
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(1);
    }
    QList<Box> boxes;

private:
    QTimer m_timer;
};

// The media folder the program reads: IMG beside the running executable.
inline QString imgDir()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/IMG");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A picture whose top-left pixel has the given hue; a gradient, so that most
// of the file is picture data and not headers.
inline QByteArray picture(QSize size, int hue, const char *format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor::fromHsv((hue + (x + y) / 8) % 360, 255, 255));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace TestSupport

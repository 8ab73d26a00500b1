// SPDX-License-Identifier: GPL-3.0-or-later
#include "icons.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A yellow pencil lying along +x with its point at the origin, `length` long.
void drawPencil(QPainter &p, qreal length, qreal width, qreal outline)
{
    const QColor dark(0x3e, 0x27, 0x23);
    const qreal half = width / 2;
    const qreal cone = width * 1.25;
    const qreal eraser = width * 0.9;
    const QPen pen(dark, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    QPainterPath body;
    body.addRect(QRectF(cone, -half, length - cone - eraser, width));
    p.setPen(pen);
    p.setBrush(QColor(0xff, 0xc1, 0x07));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xe0, 0x82));
    p.drawRect(QRectF(cone + outline, -half + outline / 2, length - cone - eraser - 2 * outline, half * 0.6));

    p.setPen(pen);
    p.setBrush(QColor(0xf4, 0x8f, 0xb1));
    p.drawRoundedRect(QRectF(length - eraser, -half, eraser, width), width * 0.3, width * 0.3);
    p.setBrush(QColor(0xb0, 0xbe, 0xc5));
    p.drawRect(QRectF(length - eraser - width * 0.35, -half, width * 0.35, width));

    QPolygonF wood;
    wood << QPointF(0, 0) << QPointF(cone, -half) << QPointF(cone, half);
    p.setBrush(QColor(0xff, 0xcc, 0x99));
    p.drawPolygon(wood);
    QPolygonF lead;
    lead << QPointF(0, 0) << QPointF(cone * 0.4, -half * 0.4) << QPointF(cone * 0.4, half * 0.4);
    p.setBrush(dark);
    p.drawPolygon(lead);
}

} // namespace

// The mouse pointer: a pencil pointing up-left, its point on pixel (0, 0),
// the hot spot the window sets.
QImage drawPointer()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(0.5, 0.5);
    p.rotate(45);
    drawPencil(p, 37, 10, 1.4);
    p.end();
    // Make sure the point itself is solid, whatever the antialiasing left there.
    image.setPixelColor(0, 0, QColor(0x3e, 0x27, 0x23));
    return image;
}

QImage drawIcon(int size, const QString &family, const QColor &letter)
{
    const int big = 256;
    QImage image(big, big, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, big);
    sky.setColorAt(0, QColor(0xff, 0xf3, 0xc4));
    sky.setColorAt(1, QColor(0xff, 0xcc, 0x80));
    p.setPen(QPen(QColor(0xef, 0x6c, 0x00), 10));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(8, 8, big - 16, big - 16), 48, 48);

    QFont font(family);
    font.setWeight(QFont::Bold);
    font.setPixelSize(210);
    p.setFont(font);
    p.setPen(letter);
    const QFontMetricsF fm(font);
    const qreal width = fm.horizontalAdvance(QStringLiteral("a"));
    p.drawText(QPointF(104 - width / 2, 118 + fm.xHeight() / 2), QStringLiteral("a"));

    // The pencil rests on the tile's lower right, its point just after the letter.
    p.translate(158, 214);
    p.rotate(-50);
    drawPencil(p, 112, 32, 5);
    p.end();

    if (size == big)
        return image;
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

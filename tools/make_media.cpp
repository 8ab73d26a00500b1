// SPDX-License-Identifier: GPL-3.0-or-later
// quilloro_make_media: draws the key pictures (JPEG) and the window icons (PNG)
// from the word list. Run by make_media.sh; see media/README.md.

#include <QBuffer>
#include <QColorSpace>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include "icons.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// A picture is laid out in the 300 x 250 the child's window shows it at, and
// drawn with twice the pixels, so that it stays sharp when the window is
// scaled up to a full screen or shown on a HiDPI screen.
constexpr QSize kPictureSize(300, 250);
constexpr int kPictureScale = 2;
constexpr qint64 kMaxJpegBytes = 100 * 1024;
// Noto Color Emoji holds bitmaps at this size only; larger sizes are scaled from it.
constexpr int kEmojiNativePx = 109;

const QColor kInk(0x33, 0x3f, 0x5c);       // the word's letters
const QColor kHighlight(0xe5, 0x39, 0x35); // its first letter, and the numeral
const QString kTextFamily = QStringLiteral("Comfortaa");
const QString kEmojiFamily = QStringLiteral("Noto Color Emoji");

// One line of words.tsv.
struct Entry {
    QString key;
    QString spoken;
    QString word;
    QString picture;
};

void fail(const QString &message)
{
    std::fprintf(stderr, "quilloro_make_media: %s\n", qPrintable(message));
    std::exit(1);
}

QList<Entry> readWords(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("cannot read %1").arg(path));
    QList<Entry> entries;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u'\t');
        if (f.size() != 4)
            fail(QStringLiteral("%1: expected 4 tab-separated fields in '%2'").arg(path, line));
        entries.append({f[0], f[1], f[2], f[3]});
    }
    return entries;
}

// Tight crop of the non-transparent pixels, so each glyph fills its box the same way.
QImage cropToContent(const QImage &image)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) > 8) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return {};
    return image.copy(left, top, right - left + 1, bottom - top + 1);
}

QImage renderEmoji(const QString &emoji)
{
    QImage canvas(kEmojiNativePx * 2, kEmojiNativePx * 2, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QFont font(kEmojiFamily);
    font.setPixelSize(kEmojiNativePx);
    QPainter p(&canvas);
    p.setFont(font);
    p.drawText(canvas.rect(), Qt::AlignCenter, emoji);
    p.end();
    const QImage glyph = cropToContent(canvas.convertToFormat(QImage::Format_ARGB32));
    if (glyph.isNull() || glyph.width() < kEmojiNativePx / 3)
        fail(QStringLiteral("the emoji font has no glyph for '%1'").arg(emoji));
    return glyph;
}

// Draws an image centred in a box, scaled to fit while keeping its shape.
void drawFitted(QPainter &p, const QImage &image, const QRectF &box)
{
    const QSizeF size = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.center() - QPointF(size.width() / 2, size.height() / 2), size);
    p.drawImage(target, image);
}

// An image of size (in the drawing's own units) to draw on at the pictures' scale.
QImage pictureCanvas(QSize size, QImage::Format format)
{
    QImage image(size * kPictureScale, format);
    image.setDevicePixelRatio(kPictureScale);
    return image;
}

// A toy xylophone: there is no emoji for it, so it is drawn from shapes.
QImage drawXylophone()
{
    QImage image = pictureCanvas(QSize(400, 400), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(0x4e, 0x34, 0x2e);

    // Two wooden rails that close in towards the short bars on the right.
    const auto railY = [](bool top, qreal x) {
        const qreal t = (x - 30) / 340;
        return top ? 78 + 52 * t : 292 - 52 * t;
    };
    for (bool top : {true, false}) {
        const QLineF rail(30, railY(top, 30), 370, railY(top, 370));
        p.setPen(QPen(outline, 30, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(rail);
        p.setPen(QPen(QColor(0xa1, 0x6b, 0x3c), 20, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(rail);
    }

    const std::array<QColor, 7> colours = {QColor(0xe5, 0x39, 0x35), QColor(0xfb, 0x8c, 0x00), QColor(0xfd, 0xd8, 0x35),
                                           QColor(0x43, 0xa0, 0x47), QColor(0x1e, 0x88, 0xe5), QColor(0x3f, 0x51, 0xb5),
                                           QColor(0x8e, 0x24, 0xaa)};
    for (int i = 0; i < int(colours.size()); ++i) {
        const qreal x = 44 + i * 46;
        const qreal cx = x + 19;
        const qreal top = railY(true, cx) - 26;
        const qreal bottom = railY(false, cx) + 26;
        const QRectF bar(x, top, 38, bottom - top);
        p.setPen(QPen(outline, 5));
        p.setBrush(colours[i]);
        p.drawRoundedRect(bar, 10, 10);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 110));
        p.drawRoundedRect(QRectF(bar.left() + 7, bar.top() + 8, 8, bar.height() - 16), 4, 4);
        p.setBrush(QColor(0xf5, 0xf5, 0xf5));
        p.setPen(QPen(outline, 3));
        p.drawEllipse(QPointF(cx, railY(true, cx)), 6, 6);
        p.drawEllipse(QPointF(cx, railY(false, cx)), 6, 6);
    }

    // Two mallets resting across the bars.
    const auto mallet = [&](QPointF from, QPointF head, QColor colour) {
        p.setPen(QPen(outline, 16, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, head);
        p.setPen(QPen(QColor(0xd7, 0xa8, 0x6e), 9, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, head);
        p.setPen(QPen(outline, 5));
        p.setBrush(colour);
        p.drawEllipse(head, 24, 24);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 140));
        p.drawEllipse(head + QPointF(-8, -8), 7, 7);
    };
    mallet({150, 395}, {205, 190}, QColor(0xff, 0x70, 0x43));
    mallet({345, 395}, {300, 185}, QColor(0x29, 0xb6, 0xf6));
    p.end();
    return cropToContent(image.convertToFormat(QImage::Format_ARGB32));
}

QImage pictureFor(const QString &source)
{
    if (source == QLatin1String("shape:xylophone"))
        return drawXylophone();
    if (source.startsWith(QLatin1String("shape:")))
        fail(QStringLiteral("unknown shape '%1'").arg(source));
    return renderEmoji(source);
}

// A soft pastel that changes from key to key, so neighbouring pictures differ.
QColor backgroundFor(int index)
{
    return QColor::fromHsvF(std::fmod(index * 0.137, 1.0), 0.10, 1.0);
}

// Writes `first` in the highlight colour and `rest` in ink, centred in `box`,
// at the largest size up to `maxPx` that fits.
void drawWord(QPainter &p, const QRectF &box, const QString &first, const QString &rest, int maxPx)
{
    QFont font(kTextFamily);
    font.setWeight(QFont::Bold);
    int px = maxPx;
    for (; px > 10; --px) {
        font.setPixelSize(px);
        const QFontMetricsF fm(font);
        if (fm.horizontalAdvance(first + rest) <= box.width() && fm.height() <= box.height() + 8)
            break;
    }
    font.setPixelSize(px);
    const QFontMetricsF fm(font);
    const qreal firstWidth = fm.horizontalAdvance(first);
    const qreal total = fm.horizontalAdvance(first + rest);
    const qreal x = box.center().x() - total / 2;
    // Centre the lower-case body (x-height) rather than the full line box.
    const qreal baseline = box.center().y() + fm.xHeight() / 2 + fm.ascent() * 0.08;
    p.setFont(font);
    p.setPen(kHighlight);
    p.drawText(QPointF(x, baseline), first);
    p.setPen(kInk);
    p.drawText(QPointF(x + firstWidth, baseline), rest);
}

// Cells of a 3 x 3 frame filled for a count, laid out like the faces of a die.
QList<int> diePattern(int count)
{
    // Cells numbered 0..8 row by row; 4 is the centre.
    switch (count) {
    case 0:
        return {};
    case 1:
        return {4};
    case 2:
        return {2, 6};
    case 3:
        return {2, 4, 6};
    case 4:
        return {0, 2, 6, 8};
    case 5:
        return {0, 2, 4, 6, 8};
    case 6:
        return {0, 2, 3, 5, 6, 8};
    case 7:
        return {0, 2, 3, 4, 5, 6, 8};
    case 8:
        return {0, 1, 2, 3, 5, 6, 7, 8};
    case 9:
        return {0, 1, 2, 3, 4, 5, 6, 7, 8};
    default:
        fail(QStringLiteral("no die pattern for %1").arg(count));
    }
    return {};
}

QImage drawLetterPicture(const Entry &e, int index)
{
    QImage image = pictureCanvas(kPictureSize, QImage::Format_RGB32);
    image.fill(backgroundFor(index));
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    drawFitted(p, pictureFor(e.picture), QRectF(40, 8, 220, 168));
    drawWord(p, QRectF(10, 182, 280, 60), e.word.left(1), e.word.mid(1), 56);
    p.end();
    return image;
}

QImage drawDigitPicture(const Entry &e, int index)
{
    const int count = e.key.toInt();
    QImage image = pictureCanvas(kPictureSize, QImage::Format_RGB32);
    image.fill(backgroundFor(index));
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);

    // The frame: every cell shown, so an empty one (zero) still reads as "none here".
    const QRectF frame(65, 6, 170, 170);
    p.setPen(QPen(QColor(0x8d, 0x6e, 0x63), 4));
    p.setBrush(Qt::white);
    p.drawRoundedRect(frame, 16, 16);
    const qreal cell = (frame.width() - 16) / 3;
    QList<QRectF> cells;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            cells.append(QRectF(frame.left() + 8 + col * cell, frame.top() + 8 + row * cell, cell, cell));
    p.setPen(QPen(QColor(0xd7, 0xcc, 0xc8), 2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    for (const QRectF &c : cells)
        p.drawRoundedRect(c.adjusted(3, 3, -3, -3), 8, 8);

    if (count > 0) {
        const QImage object = pictureFor(e.picture);
        for (int i : diePattern(count))
            drawFitted(p, object, cells[i].adjusted(4, 4, -4, -4));
    }
    drawWord(p, QRectF(10, 182, 280, 60), e.key + QStringLiteral(" "), e.word, 56);
    p.end();
    return image;
}

// Largest JPEG quality that stays under the size limit; Qt writes baseline JPEG
// unless progressive scanning is asked for, and the program's reader wants baseline.
void writeJpeg(const QImage &image, const QString &path)
{
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    rgb.setColorSpace(QColorSpace::SRgb);
    for (int quality = 92; quality >= 50; quality -= 4) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(false);
        if (!writer.write(rgb))
            fail(QStringLiteral("cannot encode %1: %2").arg(path, writer.errorString()));
        if (bytes.size() < kMaxJpegBytes) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                fail(QStringLiteral("cannot write %1").arg(path));
            return;
        }
    }
    fail(QStringLiteral("%1 does not fit %2 bytes").arg(path).arg(kMaxJpegBytes));
}

void writePng(const QImage &image, const QString &path)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    out.setColorSpace(QColorSpace::SRgb);
    if (!out.save(path, "png"))
        fail(QStringLiteral("cannot write %1").arg(path));
}

} // namespace

int main(int argc, char *argv[])
{
    // Draws into images only, so it must run without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws Quilloro's key pictures and icons."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("words"), QStringLiteral("the word list (words.tsv)"));
    parser.addPositionalArgument(QStringLiteral("pictures"), QStringLiteral("folder for the <key>.jpg pictures"));
    parser.addPositionalArgument(QStringLiteral("icons"), QStringLiteral("folder for the window icons"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 3)
        parser.showHelp(2);

    for (const QString &family : {kTextFamily, kEmojiFamily}) {
        if (!QFontDatabase::families().contains(family))
            fail(QStringLiteral("font '%1' is not installed").arg(family));
    }

    const QList<Entry> entries = readWords(args[0]);
    QDir().mkpath(args[1]);
    QDir().mkpath(args[2]);
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        const bool digit = e.key.size() == 1 && e.key[0].isDigit();
        const QImage picture = digit ? drawDigitPicture(e, i) : drawLetterPicture(e, i);
        writeJpeg(picture, QDir(args[1]).filePath(e.key + QStringLiteral(".jpg")));
    }
    writePng(drawIcon(48, kTextFamily, kHighlight), QDir(args[2]).filePath(QStringLiteral("quilloro-48.png")));
    writePng(drawIcon(256, kTextFamily, kHighlight), QDir(args[2]).filePath(QStringLiteral("quilloro-256.png")));
    writePng(drawPointer(), QDir(args[2]).filePath(QStringLiteral("pointer-32.png")));
    return 0;
}

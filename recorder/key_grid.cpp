// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_grid.h"
#include "keys.h"
#include "media_lookup.h"
#include "messages.h"
#include "picture_reader.h"
#include "recording_session.h"

#include <QGridLayout>
#include <QPainter>
#include <QPalette>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int GridColumns = 9;
// A game sound's tile is as wide as two keys': its label and mark on one line
// beside its sign, so that its row is far shorter than a row of keys.
constexpr int SoundTileColumns = 2;
// Space between a tile's text and its edges.
constexpr int TilePadding = 4;
// The background of a tile with a voice or picture of the family's: seen at a glance.
constexpr QRgb OwnTile = 0xffc8e6c9;

// The words of text in lines no wider than width: the tiles stay as narrow
// as their pictures, so that the grid fits a screen 1024 pixels wide.
QString wrapped(const QString &text, const QFontMetrics &metrics, int width)
{
    QStringList lines;
    for (const QString &word : text.split(u' ')) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.last() + u' ' + word) <= width)
            lines.last() += u' ' + word;
        else
            lines << word;
    }
    return lines.join(u'\n');
}

// A tile of the family's is green, the others keep the window's colours.
void colourByOwner(QToolButton *tile, bool own)
{
    QPalette palette;
    if (own)
        palette.setColor(QPalette::Button, QColor::fromRgb(OwnTile));
    tile->setPalette(palette);
}

} // namespace

KeyGrid::KeyGrid(const QString &programFolder, QWidget *parent)
    : QWidget(parent)
    , m_programFolder(programFolder)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    // As wide as a picture, with room on either side, so that no text
    // touches a tile's edges (a long mark takes two lines); as tall as a
    // picture and three lines of text, so that no row grows when a mark does.
    const int tileWidth = IconSize.width() + 2 * TilePadding;
    const int tileHeight = [] {
        QToolButton probe;
        probe.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        probe.setIconSize(IconSize);
        probe.setIcon(QPixmap(IconSize));
        probe.setText(QStringLiteral("x\ny\nz"));
        return probe.sizeHint().height();
    }();
    int index = 0;
    for (const KeyMedia::Key &entry : KeyMedia::Keys) {
        const QString key = QString(QChar(entry.key));
        QToolButton *tile = addTile(key, Qt::ToolButtonTextUnderIcon, IconSize);
        tile->setMinimumSize(tileWidth, tileHeight);
        grid->addWidget(tile, index / GridColumns, index % GridColumns);
        ++index;
        refresh(key);
    }
    const int soundRow = (index + GridColumns - 1) / GridColumns;
    int column = 0;
    for (QStringView sound : RecordingSession::RecordedGameSounds) {
        QToolButton *tile = addTile(sound.toString(), Qt::ToolButtonTextBesideIcon, SoundIconSize);
        tile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        grid->addWidget(tile, soundRow, column, 1, SoundTileColumns);
        column += SoundTileColumns;
        refresh(sound.toString());
    }
}

QToolButton *KeyGrid::addTile(const QString &key, Qt::ToolButtonStyle style, QSize iconSize)
{
    auto *tile = new QToolButton;
    // A name by which accessibility tools and scripts can find a tile.
    const bool sound = RecordingSession::isRecordedGameSound(key);
    tile->setObjectName((sound ? QStringLiteral("sound_") : QStringLiteral("key_")) + key);
    tile->setToolButtonStyle(style);
    tile->setIconSize(iconSize);
    tile->setCheckable(true);
    tile->setFocusPolicy(Qt::StrongFocus);
    connect(tile, &QToolButton::clicked, this, [this, key] { emit clicked(key); });
    m_tiles.insert(key, tile);
    return tile;
}

QPixmap KeyGrid::soundSign(QStringView name, int side, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(side, side) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);
    if (name == KeyMedia::BravoSound) {
        // A five-pointed star, gold with a darker edge.
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
            const double radius = (i % 2 ? 0.2 : 0.46) * side;
            star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
        }
        painter.setPen(QPen(QColor(0xb2, 0x6a, 0x00), side / 16.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0xff, 0xc1, 0x07));
        painter.drawPolygon(star);
    } else {
        // A round arrow turning clockwise, most of a circle, its head at its end.
        const double radius = 0.32 * side;
        const double width = side / 8.0;
        painter.setPen(QPen(QColor(0x15, 0x65, 0xc0), width, Qt::SolidLine, Qt::RoundCap));
        const QRectF circle(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        constexpr double StartDegrees = 100, SpanDegrees = -290;
        painter.drawArc(circle, int(StartDegrees * 16), int(SpanDegrees * 16));
        const double end = (StartDegrees + SpanDegrees) * std::numbers::pi / 180;
        // On the screen, y grows downwards: the end point, the way the arrow
        // goes there (clockwise) and the way out from the centre.
        const QPointF tip = centre + QPointF(radius * std::cos(end), -radius * std::sin(end));
        const QPointF along(std::sin(end), std::cos(end));
        const QPointF out(std::cos(end), -std::sin(end));
        const double head = 0.2 * side;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x15, 0x65, 0xc0));
        painter.drawPolygon(QPolygonF{tip + along * head, tip + out * head * 0.9 - along * head * 0.2,
                                      tip - out * head * 0.9 - along * head * 0.2});
    }
    return pixmap;
}

void KeyGrid::refreshSound(QToolButton *tile, const QString &name)
{
    const bool ownVoice = RecordingSession::hasOwn(name, RecordingSession::Media::Voice);
    const QString mark = RecorderTexts::mark(ownVoice, false);
    colourByOwner(tile, ownVoice);
    tile->setIcon(soundSign(name, SoundIconSize.width(), tile->devicePixelRatioF()));
    tile->setText(RecorderTexts::soundLabel(name) + QStringLiteral(" · ") + mark);
    tile->setToolTip(RecorderTexts::tileToolTip(name, mark));
    tile->setAccessibleName(RecorderTexts::tileName(name, mark));
}

void KeyGrid::refresh(const QString &key)
{
    QToolButton *tile = m_tiles.value(key);
    if (!tile)
        return;
    if (RecordingSession::isRecordedGameSound(key)) {
        refreshSound(tile, key);
        return;
    }
    using Media = RecordingSession::Media;
    const bool ownVoice = RecordingSession::hasOwn(key, Media::Voice);
    const bool ownPicture = RecordingSession::hasOwn(key, Media::Picture);
    QString mark = RecorderTexts::mark(ownVoice, ownPicture);
    colourByOwner(tile, ownVoice || ownPicture);
    const QString path = KeyMedia::findMediaFile(m_programFolder, key, u".jpg");
    // The guarded reader answers at once for a hostile file; the tile then
    // says the picture cannot be read, as the child's window would show none.
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage picture = KeyMedia::readPicture(path, &error, IconSize);
    m_unreadable.insert(key, picture.isNull());
    if (picture.isNull()) {
        tile->setIcon(QIcon());
        tile->setText(key + u'\n' + wrapped(mark, tile->fontMetrics(), IconSize.width()) + u'\n'
                      + wrapped(RecorderTexts::unreadableMark(), tile->fontMetrics(), IconSize.width()));
        tile->setToolTip(RecorderTexts::tileToolTip(key, mark) + u'\n' + RecorderTexts::unreadablePicture(path) + u' '
                         + KeyMedia::pictureProblem(path, error));
        mark += QStringLiteral(", ") + RecorderTexts::unreadableMark();
    } else {
        tile->setIcon(QPixmap::fromImage(picture.scaled(IconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        tile->setText(key + u'\n' + wrapped(mark, tile->fontMetrics(), IconSize.width()));
        tile->setToolTip(RecorderTexts::tileToolTip(key, mark));
    }
    tile->setAccessibleName(RecorderTexts::tileName(key, mark));
}

void KeyGrid::setSelected(const QString &key)
{
    for (auto it = m_tiles.cbegin(); it != m_tiles.cend(); ++it)
        it.value()->setChecked(it.key() == key);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_grid.h"
#include "keys.h"
#include "media_lookup.h"
#include "messages.h"
#include "picture_reader.h"
#include "recording_session.h"

#include <QGridLayout>
#include <QPalette>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int GridColumns = 9;
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
        auto *tile = new QToolButton;
        // A name by which accessibility tools and scripts can find a tile.
        tile->setObjectName(QStringLiteral("key_") + key);
        tile->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        tile->setIconSize(IconSize);
        tile->setCheckable(true);
        tile->setFocusPolicy(Qt::StrongFocus);
        tile->setMinimumSize(tileWidth, tileHeight);
        connect(tile, &QToolButton::clicked, this, [this, key] { emit clicked(key); });
        grid->addWidget(tile, index / GridColumns, index % GridColumns);
        ++index;
        m_tiles.insert(key, tile);
        refresh(key);
    }
}

void KeyGrid::refresh(const QString &key)
{
    QToolButton *tile = m_tiles.value(key);
    if (!tile)
        return;
    using Media = RecordingSession::Media;
    const bool ownVoice = RecordingSession::hasOwn(key, Media::Voice);
    const bool ownPicture = RecordingSession::hasOwn(key, Media::Picture);
    QString mark = RecorderTexts::mark(ownVoice, ownPicture);
    // A tile of the family's is green, the others keep the window's colours.
    QPalette palette;
    if (ownVoice || ownPicture)
        palette.setColor(QPalette::Button, QColor::fromRgb(OwnTile));
    tile->setPalette(palette);
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

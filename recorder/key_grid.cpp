// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_grid.h"
#include "keys.h"
#include "media_lookup.h"
#include "messages.h"
#include "picture_reader.h"
#include "recording_session.h"

#include <QGridLayout>
#include <QToolButton>

namespace {

constexpr int GridColumns = 9;

} // namespace

KeyGrid::KeyGrid(const QString &programFolder, QWidget *parent)
    : QWidget(parent)
    , m_programFolder(programFolder)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
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
        tile->setMinimumWidth(IconSize.width() + 8);
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
    QString mark =
        RecorderTexts::mark(RecordingSession::hasOwn(key, Media::Voice), RecordingSession::hasOwn(key, Media::Picture));
    const QString path = KeyMedia::findMediaFile(m_programFolder, key, u".jpg");
    // The guarded reader answers at once for a hostile file; the tile then
    // says the picture cannot be read, as the child's window would show none.
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage picture = KeyMedia::readPicture(path, &error, IconSize);
    m_unreadable.insert(key, picture.isNull());
    if (picture.isNull()) {
        tile->setIcon(QIcon());
        tile->setText(key + u'\n' + mark + u'\n' + RecorderTexts::unreadableMark());
        tile->setToolTip(RecorderTexts::tileToolTip(key, mark) + u'\n' + RecorderTexts::unreadablePicture(path) + u' '
                         + KeyMedia::pictureProblem(path, error));
        mark += QStringLiteral(", ") + RecorderTexts::unreadableMark();
    } else {
        tile->setIcon(QPixmap::fromImage(picture.scaled(IconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        tile->setText(key + u'\n' + mark);
        tile->setToolTip(RecorderTexts::tileToolTip(key, mark));
    }
    tile->setAccessibleName(RecorderTexts::tileName(key, mark));
}

void KeyGrid::setSelected(const QString &key)
{
    for (auto it = m_tiles.cbegin(); it != m_tiles.cend(); ++it)
        it.value()->setChecked(it.key() == key);
}

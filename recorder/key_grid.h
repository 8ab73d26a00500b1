// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QPixmap>
#include <QSize>
#include <QWidget>

class QToolButton;

// The 36 keys at a glance: a tile each with the picture the child sees and a
// mark saying whose voice and picture it has. A picture that cannot be read,
// missing, damaged or refused by the reader's guards, is marked so on its
// tile in place of the icon. Below them, in a row of their own, the listening
// game's sounds a family may record: a drawn sign for each, as they have no
// picture, and the same mark of whose voice it is.
class KeyGrid : public QWidget
{
    Q_OBJECT

public:
    // A key's picture on its tile, and a game sound's sign on its: small
    // enough that the keys, the sounds below them and the selected one's
    // controls fit a 1024 × 768 screen together.
    static constexpr QSize IconSize{96, 44};
    static constexpr QSize SoundIconSize{24, 24};

    // A game sound's sign, drawn at side × side pixels for the screen's
    // pixel ratio: a star for a right answer, a round arrow for another try.
    static QPixmap soundSign(QStringView name, int side, qreal devicePixelRatio);

    // programFolder: where the pack's IMG is, as for the child's program.
    explicit KeyGrid(const QString &programFolder, QWidget *parent = nullptr);

    // Reads the key's picture and own files again, or the game sound's own file.
    void refresh(const QString &key);
    // Checks the key's or game sound's tile, and no other; none for an empty key.
    void setSelected(const QString &key);
    QToolButton *tile(const QString &key) const { return m_tiles.value(key); }
    // Whether the key's picture could not be read for its tile.
    bool pictureUnreadable(const QString &key) const { return m_unreadable.value(key); }

signals:
    void clicked(const QString &key);

private:
    QToolButton *addTile(const QString &key, Qt::ToolButtonStyle style, QSize iconSize);
    void refreshSound(QToolButton *tile, const QString &name);

    QString m_programFolder;
    QHash<QString, QToolButton *> m_tiles;
    QHash<QString, bool> m_unreadable;
};

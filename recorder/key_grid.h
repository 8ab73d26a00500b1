// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSize>
#include <QWidget>

class QToolButton;

// The 36 keys at a glance: a tile each with the picture the child sees and a
// mark saying whose voice and picture it has. A picture that cannot be read,
// missing, damaged or refused by the reader's guards, is marked so on its
// tile in place of the icon.
class KeyGrid : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize IconSize{96, 48};

    // programFolder: where the pack's IMG is, as for the child's program.
    explicit KeyGrid(const QString &programFolder, QWidget *parent = nullptr);

    // Reads the key's picture and own files again.
    void refresh(const QString &key);
    // Checks the key's tile, and no other; none for an empty key.
    void setSelected(const QString &key);
    QToolButton *tile(const QString &key) const { return m_tiles.value(key); }
    // Whether the key's picture could not be read for its tile.
    bool pictureUnreadable(const QString &key) const { return m_unreadable.value(key); }

signals:
    void clicked(const QString &key);

private:
    QString m_programFolder;
    QHash<QString, QToolButton *> m_tiles;
    QHash<QString, bool> m_unreadable;
};

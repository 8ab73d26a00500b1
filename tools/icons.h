// SPDX-License-Identifier: GPL-3.0-or-later
// The window icon and the mouse pointer, drawn for quilloro_make_media.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// The mouse pointer: a pencil pointing up-left, its point on pixel (0, 0).
QImage drawPointer();

// The program's icon, size pixels square: a rounded tile with a big "a" in
// the given font family and colour, and the pencil writing it.
QImage drawIcon(int size, const QString &family, const QColor &letter);

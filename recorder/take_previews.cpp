// SPDX-License-Identifier: GPL-3.0-or-later
#include "take_previews.h"
#include "media_files.h"

#include <QDir>
#include <QStandardPaths>

TakePreviews::TakePreviews(const QString &folder)
    : m_folder(folder)
{
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

TakePreviews::~TakePreviews()
{
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

QString TakePreviews::defaultFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/previews");
}

QString TakePreviews::write(const std::vector<std::int16_t> &samples, int rate)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return {};
    const QString path = m_folder + QStringLiteral("/take-%1.wav").arg(++m_written);
    QString error;
    return KeyMedia::saveAtomically(path, KeyMedia::wavBytes(samples, rate), error) ? path : QString();
}

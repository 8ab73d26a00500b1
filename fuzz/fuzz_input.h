// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: the input bytes put where the program reads
// its media (a file, as the window and the player take paths), and the
// checks that make a broken promise a finding.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace Fuzz {

// One file in a private folder of its own, written over with each input.
// The name keeps the media pack's suffix, as the program's readers may go by it.
class InputFile
{
public:
    explicit InputFile(const char *name)
    {
        QByteArray folder = qgetenv("TMPDIR");
        if (folder.isEmpty())
            folder = "/tmp";
        folder += "/quilloro-fuzz-XXXXXX";
        if (!::mkdtemp(folder.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_folder = folder;
        m_path = folder + '/' + name;
    }
    ~InputFile()
    {
        ::unlink(m_path.constData());
        ::rmdir(m_folder.constData());
    }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    QString write(const std::uint8_t *data, size_t size)
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        size_t done = 0;
        while (fd >= 0 && done < size) {
            const ssize_t written = ::write(fd, data + done, size - done);
            if (written <= 0)
                break;
            done += size_t(written);
        }
        if (fd < 0 || done != size || ::close(fd) != 0) {
            std::perror(m_path.constData());
            std::abort();
        }
        return QFile::decodeName(m_path);
    }

private:
    QByteArray m_folder;
    QByteArray m_path;
};

// A promise the code under test broke: reported, and fatal, so the fuzzer
// keeps the input and the replay of kept inputs fails.
inline void require(bool kept, const char *promise)
{
    if (kept)
        return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

// libFuzzer only sees the coverage of code built for it: the project's own,
// not Debian's libraries that do most of the decoding. What a library made
// of an input (its format, size, error) is counted here as coverage of its
// own, so that an input which takes the library another way is kept and
// mutated further. libFuzzer reads the counters of this section after each
// input; elsewhere they are just counters.
inline constexpr size_t OutcomeCount = 1 << 14;
__attribute__((section("__libfuzzer_extra_counters"), used)) inline std::uint8_t outcomes[OutcomeCount];

inline void countOutcome(std::initializer_list<qint64> facts)
{
    quint64 hash = 14695981039346656037ull;
    for (const qint64 fact : facts)
        hash = (hash ^ quint64(fact)) * 1099511628211ull;
    std::uint8_t &counter = outcomes[hash % OutcomeCount];
    if (counter < 255)
        ++counter;
}

// A number's order of magnitude, as a fact: sizes differ in every input.
inline qint64 magnitude(qint64 value)
{
    return value <= 0 ? value : 64 - __builtin_clzll(quint64(value));
}

// Qt's warnings about each damaged input would only fill the log.
inline void quietQt()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

} // namespace Fuzz

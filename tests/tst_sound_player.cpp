// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_player.h"
#include "wav_fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace TestSupport;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decode_data();
    void decode();
    void refusedUnread();
    void cacheIsBoundedInBytes();

private:
    QTemporaryDir m_dir;
};

void TestSoundPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestSoundPlayer::decode_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rate");    // 0: nothing to play
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("firstSample");

    const QByteArray second = frames(22050, {1000});
    QTest::newRow("mono 16 bit") << pcm(1, 22050, second) << 22050 << 22050 << 1000;
    QTest::newRow("stereo is mixed down") << pcm(2, 44100, frames(4410, {3000, -1000})) << 44100 << 4410 << 1000;
    QTest::newRow("8 bit") << wav(1, 1, 8000, 8, QByteArray(800, char(0xC0)), 800) << 8000 << 800 << 64 * 256;
    QTest::newRow("zero bytes") << QByteArray() << 0 << 0 << 0;
    QTest::newRow("truncated header") << pcm(1, 22050, second).left(20) << 0 << 0 << 0;
    QTest::newRow("truncated data") << pcm(1, 22050, second).left(44 + 2000) << 22050 << 1000 << 1000;
    QTest::newRow("no data") << pcm(1, 22050, QByteArray()) << 0 << 0 << 0;
    QTest::newRow("not a wav") << QByteArray("Ciao! This is a letter, not a recording.") << 0 << 0 << 0;
    QTest::newRow("unknown encoding") << wav(0x1234, 1, 22050, 16, second, quint32(second.size())) << 0 << 0 << 0;
    QTest::newRow("claims gigabytes") << wav(1, 1, 22050, 16, second, 0xFFFFFF00u) << 22050 << 22050 << 1000;
    QTest::newRow("absurd rate") << pcm(1, 4000000, second) << 0 << 0 << 0;
    // Longer than any recording should be: cut, so memory stays bounded.
    QTest::newRow("too long") << pcm(1, 8000, frames(8000 * (MaxClipSeconds + 2), {7})) << 8000
                              << 8000 * MaxClipSeconds << 7;
}

void TestSoundPlayer::decode()
{
    QFETCH(QByteArray, content);
    QFETCH(int, rate);
    QFETCH(int, samples);
    QFETCH(int, firstSample);

    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".wav"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const auto clip = decodeClip(path);
    if (rate == 0) {
        QVERIFY(!clip);
        return;
    }
    QVERIFY(clip);
    QCOMPARE(clip->sampleRate, rate);
    QCOMPARE(int(clip->samples.size()), samples);
    QCOMPARE(int(clip->samples.front()), firstSample);
}

void TestSoundPlayer::refusedUnread()
{
    // A pipe would block the window's thread for ever on the first read; a
    // file of many megabytes would hold it for seconds. Neither is a recording.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!decodeClip(pipe));

    // A sound header, then zeros up to just over the bound: without the
    // bound it decodes to thirty seconds of silence.
    const QString huge = m_dir.filePath(QStringLiteral("huge.wav"));
    QFile file(huge);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wav(1, 1, 384000, 16, QByteArray(), 0xFFFFFF00u));
    QVERIFY(file.resize(MaxRecordingFileBytes + 1));
    file.close();
    QVERIFY(!decodeClip(huge));
}

void TestSoundPlayer::cacheIsBoundedInBytes()
{
    // Thirty long recordings, each about 9 MB once decoded: a player that
    // kept them all would hold over 250 MB. No sound server is needed, as
    // a recording is decoded before it is handed to the server.
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("none"))));
    constexpr int Rate = 192000;
    constexpr int Frames = Rate * 24;
    const auto peakKB = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return long(usage.ru_maxrss);
    };
    SoundPlayer player;
    const long before = peakKB();
    for (int i = 0; i < 30; ++i) {
        const QString path = m_dir.filePath(QStringLiteral("long%1.wav").arg(i));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wav(1, 1, Rate, 8, QByteArray(), Frames));
        QVERIFY(file.resize(file.size() + Frames)); // zeros: a constant level
        file.close();
        player.play(path);
        QFile::remove(path);
    }
    const long grownMB = (peakKB() - before) / 1024;
    qInfo("peak memory grew by %ld MB", grownMB);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory aside, so the peak says nothing here.
    Q_UNUSED(grownMB)
#else
    QVERIFY2(grownMB < 100, "decoded recordings are kept without a bound");
#endif
}

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_sound_player.moc"

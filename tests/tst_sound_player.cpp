// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_player.h"
#include "wav_fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>


using namespace TestSupport;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decode_data();
    void decode();
    void playWithoutServer();

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

void TestSoundPlayer::playWithoutServer()
{
    // No sound server at all: every request, good or bad, is silence, and
    // the player still shuts down cleanly.
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("no-such-server"))));
    const QString good = m_dir.filePath(QStringLiteral("good.wav"));
    QFile file(good);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(pcm(1, 22050, frames(2205, {500})));
    file.close();

    SoundPlayer player;
    for (int i = 0; i < 50; ++i) {
        player.play(good);
        player.play(m_dir.filePath(QStringLiteral("missing.wav")));
    }
}

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_sound_player.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mix_format.h"
#include "sound_player.h"
#include "wav_fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <numbers>

using namespace TestSupport;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void levels_data();
    void levels();
    void refusedUnread();
    void convert_data();
    void convert();
    void cacheIsBoundedInBytes();

private:
    QTemporaryDir m_dir;
};

void TestSoundPlayer::decode_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rate"); // 0: nothing to play
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
    // Floating-point files may go past full scale (an editor's +6 dB peaks):
    // clipped at full scale, never wrapped around to the other end.
    const auto floats = [](float value) { return wav(3, 1, 22050, 32, floatFrames(441, value), 441 * 4); };
    QTest::newRow("float 6 dB over full scale") << floats(2.0f) << 22050 << 441 << 32767;
    QTest::newRow("float 6 dB over full scale, negative") << floats(-2.0f) << 22050 << 441 << -32767;
    // Longer than any recording should be: cut, so memory stays bounded.
    QTest::newRow("too long") << pcm(1, 8000, frames(8000 * (MaxClipSeconds + 2), {7})) << 8000 << 8000 * MaxClipSeconds
                              << 7;
}

void TestSoundPlayer::decode()
{
    QFETCH(QByteArray, content);
    QFETCH(int, rate);
    QFETCH(int, samples);
    QFETCH(int, firstSample);

    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".wav"));
    QVERIFY(writeFile(path, content));

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

namespace {

// A 440 Hz tone at half of full scale, the same on every channel.
constexpr double ToneAmplitude = 0.5;

std::vector<double> tone(int rate, int channels)
{
    std::vector<double> samples;
    for (int frame = 0; frame < rate / 2; ++frame) {
        const double value = ToneAmplitude * std::sin(2 * std::numbers::pi * 440 * frame / rate);
        samples.insert(samples.end(), size_t(channels), value);
    }
    return samples;
}

// The tone as a floating-point WAV with the extensible header, written
// field by field the way ffmpeg writes one, without libsndfile's help.
QByteArray extensibleFloatWav(int rate, int channels)
{
    QByteArray data;
    for (const double value : tone(rate, channels))
        data += le(float(value));
    const quint16 blockAlign = quint16(channels * 4);
    const QByteArray floatFormat("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    return riffWave(le(quint16(0xFFFE)) + le(quint16(channels)) + le(quint32(rate)) + le(quint32(rate) * blockAlign)
                        + le(blockAlign) + le(quint16(32)) + le(quint16(22)) + le(quint16(32))
                        + le(quint32(channels == 1 ? 0x4 : 0x3)) + floatFormat,
                    data, quint32(data.size()));
}

} // namespace

void TestSoundPlayer::levels_data()
{
    // What the tools a family may use write: recorders, editors, converters.
    QTest::addColumn<int>("format"); // libsndfile's; 0: extensibleFloatWav()
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("peakChunk");

    QTest::newRow("8-bit, 8000 Hz") << (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) << 1 << 8000 << false;
    QTest::newRow("16-bit stereo, 44100 Hz") << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 2 << 44100 << false;
    QTest::newRow("24-bit, 48000 Hz") << (SF_FORMAT_WAV | SF_FORMAT_PCM_24) << 1 << 48000 << false;
    QTest::newRow("32-bit integer, 96000 Hz") << (SF_FORMAT_WAV | SF_FORMAT_PCM_32) << 1 << 96000 << false;
    QTest::newRow("24-bit extensible, 6 channels") << (SF_FORMAT_WAVEX | SF_FORMAT_PCM_24) << 6 << 48000 << false;
    QTest::newRow("32-bit float") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 1 << 44100 << false;
    QTest::newRow("32-bit float with PEAK") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 1 << 44100 << true;
    QTest::newRow("32-bit float extensible, stereo") << (SF_FORMAT_WAVEX | SF_FORMAT_FLOAT) << 2 << 48000 << true;
    QTest::newRow("32-bit float extensible, as ffmpeg writes") << 0 << 1 << 44100 << false;
    QTest::newRow("64-bit float") << (SF_FORMAT_WAV | SF_FORMAT_DOUBLE) << 1 << 22050 << false;
    QTest::newRow("64-bit float extensible, 96000 Hz") << (SF_FORMAT_WAVEX | SF_FORMAT_DOUBLE) << 1 << 96000 << true;
    // Another format under the .wav name, which libsndfile knows by its content.
    QTest::newRow("FLAC named .wav") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 1 << 44100 << false;
}

void TestSoundPlayer::levels()
{
    QFETCH(int, format);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(bool, peakChunk);

    const QString path = m_dir.filePath(QStringLiteral("level-%1.wav").arg(QTest::currentDataTag()));
    if (format == 0) {
        QVERIFY(writeFile(path, extensibleFloatWav(rate, channels)));
    } else {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
        if (!file && (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC)
            QSKIP("this libsndfile has no FLAC (the Windows build has WAV alone)");
        QVERIFY2(file, sf_strerror(nullptr));
        sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, peakChunk ? SF_TRUE : SF_FALSE);
        const std::vector<double> samples = tone(rate, channels);
        QCOMPARE(sf_write_double(file, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
        sf_close(file);
    }

    const auto clip = decodeClip(path);
    QVERIFY(clip);
    QCOMPARE(clip->sampleRate, rate);
    QCOMPARE(int(clip->samples.size()), rate / 2);
    double sum = 0;
    for (const std::int16_t sample : clip->samples)
        sum += double(sample) * sample;
    const double rms = std::sqrt(sum / double(clip->samples.size())) / 32768.0;
    const double differenceDb = 20 * std::log10(rms / (ToneAmplitude / std::sqrt(2.0)));
    QVERIFY2(std::abs(differenceDb) < 1.0,
             qPrintable(QStringLiteral("decoded %1 dB from the source's level").arg(differenceDb)));
}

void TestSoundPlayer::refusedUnread()
{
    // A pipe would block the window's thread for ever on the first read; a
    // file of many megabytes would hold it for seconds. Neither is a recording.
#ifdef Q_OS_WIN
    // A pipe that nobody ever writes to, named as media can be named.
    const QString pipe = QStringLiteral("\\\\.\\pipe\\quilloro-test-%1").arg(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(reinterpret_cast<const wchar_t *>(pipe.utf16()), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    QVERIFY(server != INVALID_HANDLE_VALUE);
    QVERIFY(!decodeClip(pipe));
    CloseHandle(server);
#else
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Decoded on a thread of its own, so that a decoder that blocks ends
    // this test within seconds instead of hanging it.
    auto refused = std::async(std::launch::async, [pipe] { return !decodeClip(pipe); });
    if (refused.wait_for(std::chrono::seconds(10)) == std::future_status::timeout)
        qFatal("decodeClip blocked for 10 s opening or reading a pipe");
    QVERIFY(refused.get());
#endif

    // A sound header, then zeros up to just over the bound: without the
    // bound it decodes to thirty seconds of silence.
    const QString huge = m_dir.filePath(QStringLiteral("huge.wav"));
    QVERIFY(writeFile(huge, wav(1, 1, 384000, 16, QByteArray(), 0xFFFFFF00u)));
    QVERIFY(QFile::resize(huge, MaxRecordingFileBytes + 1));
    QVERIFY(!decodeClip(huge));
}

void TestSoundPlayer::convert_data()
{
    // A clip of four samples at 8000 Hz, converted to what a device mixes in.
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<MixFormat::Sample>("sample");
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<int>>("levels"); // per frame, in 16-bit steps
    QTest::addColumn<int>("length");

    using S = MixFormat::Sample;
    QTest::newRow("same rate, float, mono") << 8000 << 1 << S::Float32 << 0 << QList{0, 1000, -2000, 3000} << 4;
    QTest::newRow("twice the rate, 16-bit stereo")
        << 16000 << 2 << S::Int16 << 0 << QList{0, 500, 1000, -500, -2000, 500, 3000, 3000} << 8;
    QTest::newRow("half the rate, 32-bit, 6 channels") << 4000 << 6 << S::Int32 << 0 << QList{0, -2000} << 2;
    QTest::newRow("from the middle, silence past the end")
        << 8000 << 2 << S::Float32 << 2 << QList{-2000, 3000, 0, 0} << 4;
    QTest::newRow("44100 Hz, partly past the end")
        << 44100 << 1 << S::Float32 << 20 << QList{3000, 3000, 3000, 0} << 23;
}

void TestSoundPlayer::convert()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(MixFormat::Sample, sample);
    QFETCH(int, position);
    QFETCH(QList<int>, levels);
    QFETCH(int, length);

    const Clip clip{8000, {0, 1000, -2000, 3000}};
    const MixFormat format{rate, channels, sample};
    QCOMPARE(convertedLength(clip, rate), length);
    // A byte past the frames asked for must stay as it was.
    QByteArray out(qsizetype(format.bytesPerFrame() * size_t(levels.size()) + 1), char(0x5A));
    convertFrames(clip, format, position, int(levels.size()), out.data());
    QCOMPARE(out.back(), char(0x5A));

    // Each sample read back and scaled to 16-bit steps.
    const char *at = out.constData();
    const auto take = [&at]<typename T>(T value, double scale) {
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value * scale;
    };
    for (int frame = 0; frame < levels.size(); ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            const double level = sample == MixFormat::Sample::Float32 ? take(0.0f, 32768.0)
                : sample == MixFormat::Sample::Int16                  ? take(std::int16_t(), 1.0)
                                                                      : take(std::int32_t(), 1 / 65536.0);
            QVERIFY2(std::abs(level - levels[frame]) < 0.01,
                     qPrintable(QStringLiteral("frame %1, channel %2: %3").arg(frame).arg(channel).arg(level)));
        }
    }
}

void TestSoundPlayer::cacheIsBoundedInBytes()
{
    // Thirty long recordings, each about 9 MB once decoded: a player that
    // kept them all would hold over 250 MB. No sound server is needed, as
    // a recording is decoded before it is handed to the server.
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("none"))));
    constexpr int Rate = 192000;
    constexpr int Frames = Rate * 24;
    SoundPlayer player;
    const long before = peakMemoryKB();
    for (int i = 0; i < 30; ++i) {
        const QString path = m_dir.filePath(QStringLiteral("long%1.wav").arg(i));
        QVERIFY(writeFile(path, wav(1, 1, Rate, 8, QByteArray(), Frames)));
        QVERIFY(QFile::resize(path, 44 + Frames)); // zeros: a constant level
        player.play(path);
        QFile::remove(path);
    }
    const long grownMB = (peakMemoryKB() - before) / 1024;
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

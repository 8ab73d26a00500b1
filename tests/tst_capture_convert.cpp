// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion of what a microphone records into a take's samples: any
// layout and rate a device may use in, mono 16-bit at 22050 Hz out.
#include "capture_convert.h"

#include <QTest>

#include <cmath>
#include <numbers>

Q_DECLARE_METATYPE(CaptureFormat::Sample)

namespace {

constexpr int TakeRate = 22050;

// One second of interleaved frames: a sine of `frequency` Hz at `amplitude`
// on the first `toned` channels, silence on the others.
QByteArray tone(const CaptureFormat &format, double frequency, double amplitude, int toned)
{
    QByteArray bytes;
    for (int frame = 0; frame < format.rate; ++frame) {
        const double level = amplitude * std::sin(2 * std::numbers::pi * frequency * frame / format.rate);
        for (int channel = 0; channel < format.channels; ++channel) {
            const double value = channel < toned ? level : 0.0;
            if (format.sample == CaptureFormat::Sample::Float32) {
                const auto f = float(value);
                bytes.append(reinterpret_cast<const char *>(&f), 4);
                continue;
            }
            // Little-endian integers of 2, 3 or 4 bytes, full scale at the largest.
            const int size = int(format.bytesPerSample());
            const auto i = std::llrint(value * double((std::int64_t(1) << (8 * size - 1)) - 1));
            for (int b = 0; b < size; ++b)
                bytes.append(char((i >> (8 * b)) & 0xFF));
        }
    }
    return bytes;
}

// Where the filter has settled: its first 10 ms ring as a tone starts.
constexpr std::size_t Settled = TakeRate / 100;

// The loudest sample once the filter has settled.
double peakOf(const std::vector<std::int16_t> &samples)
{
    int peak = 0;
    for (std::size_t i = Settled; i < samples.size(); ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    return peak / 32768.0;
}

// How far a tone strays from the sine of `frequency` that fits it best, as
// the RMS of the difference over the sine's: a pitch moved or what the
// resampling adds.
double distortionOf(const std::vector<std::int16_t> &samples, double frequency)
{
    double sine = 0, cosine = 0;
    const std::size_t count = samples.size() - Settled;
    for (std::size_t i = Settled; i < samples.size(); ++i) {
        const double phase = 2 * std::numbers::pi * frequency * double(i) / TakeRate;
        sine += samples[i] * std::sin(phase);
        cosine += samples[i] * std::cos(phase);
    }
    sine *= 2.0 / double(count);
    cosine *= 2.0 / double(count);
    double error = 0, power = 0;
    for (std::size_t i = Settled; i < samples.size(); ++i) {
        const double phase = 2 * std::numbers::pi * frequency * double(i) / TakeRate;
        const double fitted = sine * std::sin(phase) + cosine * std::cos(phase);
        error += (samples[i] - fitted) * (samples[i] - fitted);
        power += fitted * fitted;
    }
    return power > 0 ? std::sqrt(error / power) : 1.0;
}

std::vector<std::int16_t> converted(const CaptureFormat &format, const QByteArray &bytes, QList<int> pieces)
{
    CaptureConverter converter(format, TakeRate);
    std::vector<std::int16_t> out;
    const auto total = std::size_t(bytes.size()) / format.bytesPerFrame();
    std::size_t done = 0;
    pieces.append(int(total)); // the rest
    for (const int piece : pieces) {
        const std::size_t frames = std::min(std::size_t(piece), total - done);
        converter.push(bytes.constData() + done * format.bytesPerFrame(), frames, out);
        done += frames;
    }
    return out;
}

} // namespace

class TestCaptureConvert : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
    void silence();
};

void TestCaptureConvert::convert_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<CaptureFormat::Sample>("sample");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<int>("toned");        // channels that carry the tone
    QTest::addColumn<double>("amplitude"); // expected in the take; 0: nothing heard

    using S = CaptureFormat::Sample;
    QTest::newRow("48000 float stereo") << 48000 << 2 << S::Float32 << 440.0 << 2 << 0.5;
    QTest::newRow("44100 float stereo") << 44100 << 2 << S::Float32 << 1000.0 << 2 << 0.5;
    QTest::newRow("16000 int16 mono") << 16000 << 1 << S::Int16 << 440.0 << 1 << 0.5;
    QTest::newRow("22050 int16 mono") << 22050 << 1 << S::Int16 << 660.0 << 1 << 0.5;
    QTest::newRow("48000 int24 stereo") << 48000 << 2 << S::Int24 << 440.0 << 2 << 0.5;
    QTest::newRow("96000 int32 mono") << 96000 << 1 << S::Int32 << 3000.0 << 1 << 0.5;
    QTest::newRow("44100 int16, one of two channels") << 44100 << 2 << S::Int16 << 440.0 << 1 << 0.25;
    QTest::newRow("48000 float 5.1, all six") << 48000 << 6 << S::Float32 << 440.0 << 6 << 0.5;
    QTest::newRow("48000 int24 5.1, one of six") << 48000 << 6 << S::Int24 << 440.0 << 1 << 0.5 / 6;
    // Above half the take's rate: without the filter it would come back as
    // a loud tone at 22050 - 15000 = 7050 Hz.
    QTest::newRow("48000 float, 15 kHz is not folded back") << 48000 << 2 << S::Float32 << 15000.0 << 2 << 0.0;
    QTest::newRow("44100 int16, 12 kHz is not folded back") << 44100 << 1 << S::Int16 << 12000.0 << 1 << 0.0;
}

void TestCaptureConvert::convert()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(CaptureFormat::Sample, sample);
    QFETCH(double, frequency);
    QFETCH(int, toned);
    QFETCH(double, amplitude);

    const CaptureFormat format{rate, channels, sample};
    const QByteArray second = tone(format, frequency, 0.5, toned);
    // A device hands its frames over in packets of any size.
    const std::vector<std::int16_t> whole = converted(format, second, {});
    const std::vector<std::int16_t> pieces = converted(format, second, {1, 7, 480, 441, 1});

    // One second in, one second out, give or take the samples not yet
    // interpolated at the end.
    QVERIFY2(std::abs(int(whole.size()) - TakeRate) <= 3, qPrintable(QString::number(whole.size())));
    QVERIFY(pieces == whole);
    if (amplitude == 0) {
        QVERIFY2(peakOf(whole) < 0.01, qPrintable(QString::number(peakOf(whole))));
        return;
    }
    QVERIFY2(std::abs(peakOf(whole) - amplitude) < amplitude * 0.05, qPrintable(QString::number(peakOf(whole))));
    QVERIFY2(distortionOf(whole, frequency) < 0.01, qPrintable(QString::number(distortionOf(whole, frequency))));
}

void TestCaptureConvert::silence()
{
    // A packet the device marks as silent comes without data.
    const CaptureFormat format{48000, 2, CaptureFormat::Sample::Float32};
    CaptureConverter converter(format, TakeRate);
    std::vector<std::int16_t> out;
    const QByteArray loud = tone(format, 440, 0.5, 2);
    converter.push(loud.constData(), 4800, out);
    const std::size_t before = out.size();
    converter.push(nullptr, 48000, out);
    QVERIFY(std::abs(int(out.size() - before) - TakeRate) <= 3);
    // Once the filter has let the tone go, nothing but zeros.
    QVERIFY(std::all_of(out.begin() + qsizetype(before) + 100, out.end(), [](std::int16_t s) { return s == 0; }));
}

QTEST_GUILESS_MAIN(TestCaptureConvert)
#include "tst_capture_convert.moc"

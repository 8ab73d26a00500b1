// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys.h"
#include "sound_player.h"
#include "take_processing.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

using Signal = std::vector<float>;
Q_DECLARE_METATYPE(Signal)

namespace {

constexpr int Rate = Take::SampleRate;

Signal silence(double seconds)
{
    return Signal(std::size_t(seconds * Rate), 0.0f);
}

// A 440 Hz sine whose peak is at peakDb.
Signal tone(double seconds, double peakDb)
{
    Signal out(std::size_t(seconds * Rate));
    const double a = Take::amplitude(peakDb);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = float(a * std::sin(2 * std::numbers::pi * 440.0 * double(i) / Rate));
    return out;
}

// One sample of 0.9 every 220: a buzz whose peak is far above its level.
Signal pulses(double seconds)
{
    Signal out(std::size_t(seconds * Rate), 0.0f);
    for (std::size_t i = 0; i < out.size(); i += 220)
        out[i] = 0.9f;
    return out;
}

Signal operator+(Signal a, const Signal &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// White noise at rmsDb added over the whole signal, the same every run.
Signal withNoise(Signal s, double rmsDb)
{
    std::mt19937 random(16);
    std::normal_distribution<float> gauss(0.0f, float(Take::amplitude(rmsDb)));
    for (float &x : s)
        x += gauss(random);
    return s;
}

double seconds(std::size_t samples)
{
    return double(samples) / Rate;
}

} // namespace

// The take's treatment, judged from outside: each row is a synthetic take,
// the checks measure the result their own way (loud means at least 0.3
// of the peak, 10.5 dB under it).
class TestTakeProcessing : public QObject
{
    Q_OBJECT

private slots:
    void process_data();
    void process();
    void packFigureMatchesThePack();
};

void TestTakeProcessing::process_data()
{
    QTest::addColumn<Signal>("take");
    QTest::addColumn<double>("voiceRmsDb");   // the voice's own level in the take
    QTest::addColumn<double>("voiceSeconds"); // from its first to its last loud sample; 0: not kept
    QTest::addColumn<bool>("peakLimited");    // the level is held back by the peak

    // A sine's RMS is 3.01 dB under its peak.
    // clang-format off
    QTest::newRow("tone in silence") << silence(0.5) + tone(1.0, -20) + silence(0.8) << -23.01 << 1.0 << false;
    QTest::newRow("quiet voice raised") << silence(0.3) + tone(0.6, -36) + silence(0.3) << -39.01 << 0.6 << false;
    QTest::newRow("loud voice lowered") << silence(0.3) + tone(0.6, -2) + silence(0.3) << -5.01 << 0.6 << false;
    QTest::newRow("noisy room") << withNoise(silence(1.0) + tone(1.0, -20) + silence(1.0), -48) << -23.01 << 1.0 << false;
    QTest::newRow("voice from the first sample") << tone(0.8, -20) + silence(3.0) << -23.01 << 0.8 << false;
    QTest::newRow("voice to the last sample") << silence(2.0) + tone(0.8, -20) << -23.01 << 0.8 << false;
    QTest::newRow("pause kept, not counted") << silence(0.5) + tone(0.3, -25) + silence(0.4) + tone(0.3, -25) + silence(0.5) << -28.01 << 1.0 << false;
    QTest::newRow("buzz held by its peak") << silence(0.3) + pulses(0.5) + silence(0.3) << Take::decibels(0.9 * std::sqrt(1.0 / 220)) << 0.5 << true;
    QTest::newRow("hum under -40 dBFS") << silence(0.3) + tone(1.0, -41) + silence(0.3) << 0.0 << 0.0 << false;
    QTest::newRow("silence") << silence(2.0) << 0.0 << 0.0 << false;
    QTest::newRow("a loud 0.4 s: too short") << tone(0.4, -6) << 0.0 << 0.0 << false;
    // clang-format on
}

void TestTakeProcessing::process()
{
    QFETCH(Signal, take);
    QFETCH(double, voiceRmsDb);
    QFETCH(double, voiceSeconds);
    QFETCH(bool, peakLimited);

    const Take::Processed result = Take::process(Take::toInt16(take), Rate);
    if (voiceSeconds == 0) {
        QCOMPARE(result.outcome,
                 take.size() < Take::MinSeconds * Rate ? Take::Outcome::TooShort : Take::Outcome::NoVoice);
        QVERIFY(result.samples.empty());
        return;
    }
    QCOMPARE(result.outcome, Take::Outcome::Ready);
    const Signal out = Take::toFloat(result.samples);
    QVERIFY(!out.empty());

    const float outPeak =
        *std::max_element(out.begin(), out.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
    const double peak = std::abs(outPeak);
    const auto loud = [peak](float x) { return std::abs(x) >= 0.3 * peak; };
    const std::size_t first = std::size_t(std::find_if(out.begin(), out.end(), loud) - out.begin());
    const std::size_t afterLast = std::size_t(out.rend() - std::find_if(out.rbegin(), out.rend(), loud));

    // The voice starts within 30 ms of the file's start, at most 200 ms follow it, none of it is cut.
    QVERIFY2(seconds(first) < 0.030, qPrintable(QString::number(seconds(first))));
    QVERIFY2(seconds(out.size() - afterLast) <= 0.200, qPrintable(QString::number(seconds(out.size() - afterLast))));
    QVERIFY2(std::abs(seconds(afterLast - first) - voiceSeconds) < 0.005,
             qPrintable(QString::number(seconds(afterLast - first))));

    // 10 ms fades: silent at both ends, under a fifth of the peak in the outer 2 ms.
    const std::size_t twoMs = Rate / 500;
    QVERIFY(std::abs(out.front()) < 1e-3f && std::abs(out.back()) < 1e-3f);
    for (std::size_t i = 0; i < twoMs; ++i) {
        QVERIFY2(std::abs(out[i]) <= 0.2 * peak, qPrintable(QStringLiteral("start %1").arg(i)));
        QVERIFY2(std::abs(out[out.size() - 1 - i]) <= 0.2 * peak, qPrintable(QStringLiteral("end %1").arg(i)));
    }

    // The level: the input's voice level moved by the gain the peaks show.
    double inPeak = 0;
    for (float x : take)
        inPeak = std::max(inPeak, double(std::abs(x)));
    const double outVoiceDb = voiceRmsDb + Take::decibels(peak / inPeak);
    QVERIFY2(Take::decibels(peak) <= Take::MaxPeakDb + 0.01, qPrintable(QString::number(Take::decibels(peak))));
    if (peakLimited) {
        QVERIFY2(std::abs(Take::decibels(peak) - Take::MaxPeakDb) < 0.1, qPrintable(QString::number(peak)));
        QVERIFY(outVoiceDb < Take::PackVoicedRmsDb);
    } else {
        QVERIFY2(std::abs(outVoiceDb - Take::PackVoicedRmsDb) <= 1.0, qPrintable(QString::number(outVoiceDb)));
    }
}

// The figure the takes are brought to is the median of the pack's key
// voices, measured the same way (the game's sounds, notes and a softer voice
// among them, are not a take's model).
void TestTakeProcessing::packFigureMatchesThePack()
{
    const QDir pack(QStringLiteral(QUILLORO_IMG_DIR));
    std::vector<double> levels;
    for (const KeyMedia::Key &key : KeyMedia::Keys) {
        const QString name = QString(QChar(key.key)) + QStringLiteral(".wav");
        const auto clip = decodeClip(pack.filePath(name));
        QVERIFY2(clip, qPrintable(name));
        levels.push_back(Take::decibels(Take::voicedRms(Take::toFloat(clip->samples), clip->sampleRate)));
    }
    QCOMPARE(levels.size(), std::size_t(36));
    std::sort(levels.begin(), levels.end());
    const double median = (levels[17] + levels[18]) / 2;
    QVERIFY2(std::abs(median - Take::PackVoicedRmsDb) < 0.2, qPrintable(QString::number(median, 'f', 2)));
}

QTEST_GUILESS_MAIN(TestTakeProcessing)
#include "tst_take_processing.moc"

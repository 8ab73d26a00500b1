// SPDX-License-Identifier: GPL-3.0-or-later
#include <QColor>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTest>

#include "keys.h"
#include "picture_reader.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

const QString kKeys = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");

// The size the window's layout was made for, drawn with twice the pixels so
// that it stays sharp on a window scaled up twice; and what keeps the pack small.
constexpr QSize kShownPicture(300, 250);
constexpr int kPictureDetail = 2;
constexpr qint64 kMaxJpegBytes = 100 * 1024;

constexpr double kStartWithinMs = 5.0;
constexpr double kMaxTrailingMs = 50.0;
constexpr double kSpeechDb = -40.0; // a sample above this level is sound, not silence
constexpr double kMaxPeakDb = -1.0;

// What each recording of the pack must be beyond its format, start, end and
// peak: its length, and its loudness against the median of the keys' (the
// pack's loudness, which the game's sounds follow or keep below on purpose).
struct RecordingShape {
    double minSeconds;
    double maxSeconds;
    double minDbFromMedian;
    double maxDbFromMedian;
};
constexpr RecordingShape kKeyRecording{0, 2.5, -1.5, 1.5};

QString imgPath(const QString &name)
{
    return QDir(QStringLiteral(QUILLORO_IMG_DIR)).filePath(name);
}

double toDb(double amplitude)
{
    return 20.0 * std::log10(std::max(amplitude, 1e-9));
}

// The first frame marker of a JPEG (SOF0..SOF15), or -1 if the stream has none.
// SOF0 is baseline; the others are progressive, lossless or arithmetic-coded.
int frameMarker(const QByteArray &jpeg)
{
    if (!jpeg.startsWith("\xff\xd8"))
        return -1;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (uchar(jpeg[pos]) != 0xff)
            return -1;
        const uchar marker = uchar(jpeg[pos + 1]);
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)
            return marker;
        const int length = (uchar(jpeg[pos + 2]) << 8) | uchar(jpeg[pos + 3]);
        pos += 2 + length;
    }
    return -1;
}

// Levels and timing of one recording, as libsndfile decodes it.
struct Recording {
    QString error;
    int rate = 0;
    double seconds = 0;
    double rmsDb = 0;
    double peakDb = 0;
    double leadMs = 0;  // before the first sample above kSpeechDb
    double trailMs = 0; // after the last one
};

Recording measure(const QString &path)
{
    Recording r;
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        r.error = QStringLiteral("libsndfile cannot open it: %1").arg(sf_strerror(nullptr));
        return r;
    }
    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV || (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16
        || info.channels != 1) {
        r.error = QStringLiteral("not 16-bit PCM mono WAV (format 0x%1, %2 channels)")
                      .arg(info.format, 0, 16)
                      .arg(info.channels);
        sf_close(file);
        return r;
    }
    std::vector<short> samples(size_t(info.frames));
    const sf_count_t got = sf_read_short(file, samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames || got == 0) {
        r.error = QStringLiteral("read %1 of %2 frames").arg(got).arg(info.frames);
        return r;
    }

    const double threshold = 32768.0 * std::pow(10.0, kSpeechDb / 20.0);
    const auto loud = [threshold](short s) { return std::abs(int(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    double sumSquares = 0;
    int peak = 0;
    for (short s : samples) {
        sumSquares += double(s) * s;
        peak = std::max(peak, std::abs(int(s)));
    }
    r.rate = info.samplerate;
    r.seconds = double(got) / info.samplerate;
    r.rmsDb = toDb(std::sqrt(sumSquares / double(got)) / 32768.0);
    r.peakDb = toDb(peak / 32768.0);
    r.leadMs = 1000.0 * double(first - samples.begin()) / info.samplerate;
    r.trailMs = 1000.0 * double(last - samples.rbegin()) / info.samplerate;
    return r;
}

} // namespace

Q_DECLARE_METATYPE(RecordingShape)

// Checks the media pack in IMG: a picture and a recording for every key and
// the listening game's sounds, in the formats the window and the sound player
// read, and evenly loud.
class TestMediaPack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyPicture_data();
    void keyPicture();
    void recording_data();
    void recording();

private:
    std::map<QString, Recording> m_recordings;
    double m_medianRmsDb = 0;
    int m_packRate = 0;
};

void TestMediaPack::initTestCase()
{
    // Loudness is judged against the keys' recordings, so each is measured
    // first; the game's sounds are measured beside them and judged against them.
    std::vector<double> levels;
    QStringList names;
    for (QChar key : kKeys)
        names << QString(key);
    for (QStringView sound : KeyMedia::GameSounds)
        names << sound.toString();
    for (const QString &name : std::as_const(names)) {
        const QString path = imgPath(name + QStringLiteral(".wav"));
        if (!QFileInfo::exists(path))
            continue;
        const Recording r = measure(path);
        m_recordings[name] = r;
        if (r.error.isEmpty() && name.size() == 1) {
            levels.push_back(r.rmsDb);
            if (!m_packRate)
                m_packRate = r.rate;
        }
    }
    QVERIFY2(!levels.empty(), qPrintable(QStringLiteral("no readable recording in ") + QUILLORO_IMG_DIR));
    std::sort(levels.begin(), levels.end());
    const size_t n = levels.size();
    m_medianRmsDb = n % 2 ? levels[n / 2] : (levels[n / 2 - 1] + levels[n / 2]) / 2;
}

void TestMediaPack::keyPicture_data()
{
    QTest::addColumn<QString>("key");
    for (QChar key : kKeys)
        QTest::newRow(qPrintable(QString(key))) << QString(key);
}

void TestMediaPack::keyPicture()
{
    QFETCH(QString, key);
    const QString path = imgPath(key + QStringLiteral(".jpg"));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path + QStringLiteral(" is missing")));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.size() < kMaxJpegBytes, qPrintable(QStringLiteral("%1 bytes").arg(bytes.size())));
    QCOMPARE(frameMarker(bytes), 0xc0);

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), kShownPicture * kPictureDetail);
    const QImage shown = KeyMedia::readShownPicture(path);
    QCOMPARE(shown.deviceIndependentSize(), QSizeF(kShownPicture));
    QVERIFY(!image.colorSpace().isValid() || image.colorSpace() == QColorSpace(QColorSpace::SRgb));
    // A light background keeps the dark word readable and the window calm.
    QVERIFY2(QColor(image.pixel(1, 1)).lightness() >= 200, "the background is not light");
}

void TestMediaPack::recording_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<RecordingShape>("shape");
    for (QChar key : kKeys)
        QTest::newRow(qPrintable(QString(key))) << QString(key) << kKeyRecording;
    // A right answer and another key are heard at once and over before the
    // child's next key; the end of a level is a celebration worth a pause.
    // Another key is said softly, so that it never sounds like a scolding.
    const std::pair<QStringView, RecordingShape> sounds[] = {
        {KeyMedia::BravoSound, {0, 1.5, -1.5, 1.5}},
        {KeyMedia::RiprovaSound, {0, 1.5, -6, -2}},
        {KeyMedia::FestaSound, {2.5, 3.5, -1.5, 1.5}},
    };
    QCOMPARE(std::size(sounds), KeyMedia::GameSounds.size());
    for (const auto &[name, shape] : sounds)
        QTest::newRow(qPrintable(name.toString())) << name.toString() << shape;
}

void TestMediaPack::recording()
{
    QFETCH(QString, name);
    QFETCH(RecordingShape, shape);
    const auto it = m_recordings.find(name);
    QVERIFY2(it != m_recordings.end(), qPrintable(name + QStringLiteral(".wav is missing")));
    const Recording &r = it->second;
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));

    QVERIFY2(r.rate == 22050 || r.rate == 44100, qPrintable(QString::number(r.rate)));
    QCOMPARE(r.rate, m_packRate);
    QVERIFY2(r.leadMs <= kStartWithinMs, qPrintable(QStringLiteral("sound starts at %1 ms").arg(r.leadMs)));
    QVERIFY2(r.trailMs <= kMaxTrailingMs, qPrintable(QStringLiteral("%1 ms of silence at the end").arg(r.trailMs)));
    QVERIFY2(r.seconds >= shape.minSeconds && r.seconds <= shape.maxSeconds,
             qPrintable(QStringLiteral("%1 s long").arg(r.seconds)));
    QVERIFY2(r.peakDb <= kMaxPeakDb, qPrintable(QStringLiteral("peak %1 dBFS").arg(r.peakDb)));
    const double fromMedian = r.rmsDb - m_medianRmsDb;
    QVERIFY2(fromMedian >= shape.minDbFromMedian && fromMedian <= shape.maxDbFromMedian,
             qPrintable(QStringLiteral("RMS %1 dBFS, pack median %2").arg(r.rmsDb).arg(m_medianRmsDb)));
}

QTEST_GUILESS_MAIN(TestMediaPack)
#include "tst_media_pack.moc"

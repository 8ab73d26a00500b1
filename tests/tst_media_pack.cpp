// SPDX-License-Identifier: GPL-3.0-or-later
#include <QColor>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTest>

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
constexpr double kMaxSeconds = 2.5;
constexpr double kSpeechDb = -40.0; // a sample above this level is sound, not silence
constexpr double kMaxPeakDb = -1.0;
constexpr double kLoudnessSpreadDb = 1.5;

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

// Checks the media pack in IMG: a picture and a recording for every key, in the
// formats the window and the sound player read, and evenly loud.
class TestMediaPack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyMedia_data();
    void keyMedia();

private:
    std::map<QString, Recording> m_recordings;
    double m_medianRmsDb = 0;
    int m_packRate = 0;
};

void TestMediaPack::initTestCase()
{
    // Loudness is judged against the whole pack, so every recording is measured first.
    std::vector<double> levels;
    for (QChar key : kKeys) {
        const QString path = imgPath(QString(key) + QStringLiteral(".wav"));
        if (!QFileInfo::exists(path))
            continue;
        const Recording r = measure(path);
        m_recordings[QString(key)] = r;
        if (r.error.isEmpty()) {
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

void TestMediaPack::keyMedia_data()
{
    QTest::addColumn<QString>("key");
    for (QChar key : kKeys)
        QTest::newRow(qPrintable(QString(key))) << QString(key);
}

// The key's picture, then its recording.
void TestMediaPack::keyMedia()
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

    const auto it = m_recordings.find(key);
    QVERIFY2(it != m_recordings.end(), qPrintable(key + QStringLiteral(".wav is missing")));
    const Recording &r = it->second;
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));

    QVERIFY2(r.rate == 22050 || r.rate == 44100, qPrintable(QString::number(r.rate)));
    QCOMPARE(r.rate, m_packRate);
    QVERIFY2(r.leadMs <= kStartWithinMs, qPrintable(QStringLiteral("speech starts at %1 ms").arg(r.leadMs)));
    QVERIFY2(r.trailMs <= kMaxTrailingMs, qPrintable(QStringLiteral("%1 ms of silence at the end").arg(r.trailMs)));
    QVERIFY2(r.seconds <= kMaxSeconds, qPrintable(QStringLiteral("%1 s long").arg(r.seconds)));
    QVERIFY2(r.peakDb <= kMaxPeakDb, qPrintable(QStringLiteral("peak %1 dBFS").arg(r.peakDb)));
    QVERIFY2(std::abs(r.rmsDb - m_medianRmsDb) <= kLoudnessSpreadDb,
             qPrintable(QStringLiteral("RMS %1 dBFS, pack median %2").arg(r.rmsDb).arg(m_medianRmsDb)));
}

QTEST_GUILESS_MAIN(TestMediaPack)
#include "tst_media_pack.moc"

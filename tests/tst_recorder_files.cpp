// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_files.h"
#include "sound_player.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

using Samples = std::vector<std::int16_t>;
Q_DECLARE_METATYPE(Samples)

namespace {

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes(2, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A JPEG as a phone saves it: the pixels as the sensor saw them, and an EXIF
// orientation tag saying how to turn them. QImageWriter writes no EXIF, so
// an APP1 segment holding a one-entry TIFF directory goes in after SOI.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    const QByteArray tiff = QByteArray("MM\0*\0\0\0\x08", 8) // big-endian, first directory at 8
        + bigEndian16(1)                                     // one entry
        + bigEndian16(0x0112) + bigEndian16(3)               // Orientation, SHORT
        + QByteArray("\0\0\0\x01", 4) + bigEndian16(orientation) + QByteArray(2, 0)
        + QByteArray(4, 0); // no next directory
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    return jpeg.left(2) + "\xFF\xE1" + bigEndian16(quint16(2 + exif.size())) + exif + jpeg.mid(2);
}

// Top half red, bottom half blue.
QImage twoColours(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(Qt::blue);
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, Qt::red);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

bool isRed(QColor c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
bool isBlue(QColor c)
{
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

} // namespace

class TestRecorderFiles : public QObject
{
    Q_OBJECT

private slots:
    void wav_data();
    void wav();
    void save_data();
    void save();
    void picture_data();
    void picture();

private:
    QTemporaryDir m_dir;
};

void TestRecorderFiles::wav_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<int>("rate");
    QTest::newRow("the take's rate") << Samples{0, 1, -1, 12345, -12345} << 22050;
    QTest::newRow("full scale both ways") << Samples{32767, -32768, 0} << 44100;
    QTest::newRow("one sample") << Samples{-7} << 8000;
}

// Read back by the child's program's own decoder, sample for sample.
void TestRecorderFiles::wav()
{
    QFETCH(Samples, samples);
    QFETCH(int, rate);
    const QByteArray bytes = MediaFiles::wavBytes(samples, rate);
    QCOMPARE(bytes.size(), 44 + 2 * int(samples.size()));
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".wav"));
    QString error;
    QVERIFY(MediaFiles::saveAtomically(path, bytes, error));
    const auto clip = decodeClip(path);
    QVERIFY(clip);
    QCOMPARE(clip->sampleRate, rate);
    QCOMPARE(clip->samples.size(), samples.size());
    // The decoder scales through -1..1 and back by 32767: near full scale a sample may come back one step in.
    for (std::size_t i = 0; i < samples.size(); ++i)
        QVERIFY2(std::abs(clip->samples[i] - samples[i]) <= 1, qPrintable(QString::number(i)));
}

void TestRecorderFiles::save_data()
{
    QTest::addColumn<QString>("folder");  // under the test's folder
    QTest::addColumn<QString>("blocker"); // "readonly": the folder exists, not writable; "file": a file has its name
    QTest::addColumn<bool>("saved");
    QTest::newRow("folder made with its parents") << "new/quilloro/IMG"
                                                  << "" << true;
    QTest::newRow("file replaced") << "existing"
                                   << "" << true;
    QTest::newRow("read-only folder") << "readonly"
                                      << "readonly" << false;
    QTest::newRow("a file where the folder goes") << "blocked/IMG"
                                                  << "file" << false;
}

void TestRecorderFiles::save()
{
    QFETCH(QString, folder);
    QFETCH(QString, blocker);
    QFETCH(bool, saved);
    if (blocker == QLatin1String("readonly") && ::geteuid() == 0)
        QSKIP("root writes into read-only folders");

    const QString dir = m_dir.filePath(folder);
    const QString path = dir + QStringLiteral("/b.wav");
    if (blocker == QLatin1String("file")) {
        QVERIFY(QDir().mkpath(QFileInfo(dir).path()));
        QFile file(dir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (!blocker.isEmpty() || folder == QLatin1String("existing")) {
        QVERIFY(QDir().mkpath(dir));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        if (blocker == QLatin1String("readonly"))
            QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0555) == 0);
    }

    QString error;
    const bool ok = MediaFiles::saveAtomically(path, "new", error);
    if (blocker == QLatin1String("readonly"))
        ::chmod(QFile::encodeName(dir).constData(), 0755);
    QCOMPARE(ok, saved);
    QFile file(path);
    if (saved) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("new"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("b.wav")}); // nothing left aside
        return;
    }
    // The sentence names the folder, and what was there is still there, whole.
    QVERIFY2(error.contains(QDir::toNativeSeparators(QFileInfo(path).absolutePath())), qPrintable(error));
    if (blocker == QLatin1String("readonly")) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old"));
    }
}

void TestRecorderFiles::picture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QSize>("size");      // empty: cannot be read
    QTest::addColumn<QString>("redSide"); // where the top half of the original ends up once upright

    QTest::newRow("phone photo, EXIF orientation 6")
        << jpegWithOrientation(twoColours(4000, 3000), 6) << QSize(187, 250) << "right";
    QTest::newRow("photo upright as stored")
        << jpegWithOrientation(twoColours(4000, 3000), 1) << QSize(333, 250) << "top";
    QTest::newRow("wide PNG") << encoded(twoColours(1000, 200), "png") << QSize(500, 100) << "top";
    QTest::newRow("small picture kept at its size") << encoded(twoColours(300, 200), "png") << QSize(300, 200) << "top";
    QImage seeThrough = twoColours(100, 100, QImage::Format_ARGB32);
    for (int y = 50; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            seeThrough.setPixelColor(x, y, Qt::transparent);
    QTest::newRow("transparent PNG on white") << encoded(seeThrough, "png") << QSize(100, 100) << "top on white";
    QTest::newRow("a text file named .jpg") << QByteArray("not a picture") << QSize() << "";
    QTest::newRow("a truncated JPEG") << encoded(twoColours(400, 300), "jpeg").left(30) << QSize() << "";
}

void TestRecorderFiles::picture()
{
    QFETCH(QByteArray, content);
    QFETCH(QSize, size);
    QFETCH(QString, redSide);

    const QString path =
        m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') + QStringLiteral(".jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    QString error;
    const QImage read = MediaFiles::readPicture(path, error);
    if (size.isEmpty()) {
        QVERIFY(read.isNull());
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        return;
    }
    QVERIFY2(!read.isNull(), qPrintable(error));
    const QImage fitted = MediaFiles::fitPicture(read);
    QVERIFY(!fitted.hasAlphaChannel());

    // Saved as JPEG and read back as the child's program reads it.
    const QString saved = m_dir.filePath(QStringLiteral("saved.jpg"));
    QVERIFY(MediaFiles::saveAtomically(saved, MediaFiles::jpegBytes(fitted), error));
    QImage back(saved, "jpeg");
    QVERIFY(!back.isNull());
    QVERIFY2(back.size() == size, qPrintable(QStringLiteral("%1x%2").arg(back.width()).arg(back.height())));
    const int w = back.width(), h = back.height();
    const QColor top = back.pixelColor(w / 2, h / 8), bottom = back.pixelColor(w / 2, h * 7 / 8);
    const QColor left = back.pixelColor(w / 8, h / 2), right = back.pixelColor(w * 7 / 8, h / 2);
    if (redSide == QLatin1String("top on white"))
        QVERIFY2(isRed(top) && bottom.lightness() > 240, qPrintable(bottom.name()));
    else if (redSide == QLatin1String("top"))
        QVERIFY(isRed(top) && isBlue(bottom));
    else
        QVERIFY(isRed(right) && isBlue(left));
}

QTEST_GUILESS_MAIN(TestRecorderFiles)
#include "tst_recorder_files.moc"

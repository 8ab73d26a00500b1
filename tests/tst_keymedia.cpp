// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys.h"
#include "media_files.h"
#include "media_lookup.h"
#include "picture_reader.h"
#include "sound_player.h"
#include "test_support.h"

#include <QPainter>
#include <QTemporaryDir>

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

using namespace TestSupport;

// A JPEG as a phone saves it: the pixels as the sensor saw them, and an EXIF
// orientation tag saying how to turn them. QImageWriter writes no EXIF, so
// an APP1 segment holding a one-entry TIFF directory goes in after SOI.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    const QByteArray jpeg = encoded(image, "jpeg");
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
    QPainter(&image).fillRect(0, 0, width, height / 2, Qt::red);
    return image;
}

// A bitmap whose header claims width x height pixels of 24 bits, with none of them there.
QByteArray bmpClaiming(quint32 width, quint32 height)
{
    QByteArray bytes("BM");
    for (const quint32 field :
         {54u + 16, 0u, 54u, 40u, width, height, 0x180001u /* one plane, 24 bits */, 0u, 0u, 2835u, 2835u, 0u, 0u})
        bytes += le(field);
    return bytes + QByteArray(16, '\x7f');
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

using namespace Qt::StringLiterals;
using namespace KeyMedia;

class TestKeyMedia : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keysAreTheWordList();
    void lookup_data();
    void lookup();
    void lookupFollowsTheEnvironment();
    void hostile_data();
    void hostile();
    void wav_data();
    void wav();
    void save_data();
    void save();
    void picture_data();
    void picture();

private:
    QTemporaryDir m_dir;
};

void TestKeyMedia::initTestCase()
{
    // No folder of the machine's or the user's own may stand before the pack here.
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath(u"none"_s).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_dir.filePath(u"none"_s).toLocal8Bit());
}

// The media pack is made from tools/words.tsv: the programs' keys and words
// must be the same, row by row.
void TestKeyMedia::keysAreTheWordList()
{
    QFile list(QStringLiteral(QUILLORO_SOURCE_DIR "/tools/words.tsv"));
    QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
    QSet<QString> listed;
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).chopped(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t');
        QCOMPARE(fields.size(), 4);
        QVERIFY2(isRecognizedKey(fields[0]), qPrintable(line));
        QCOMPARE(wordOf(fields[0]), fields[2]);
        listed << fields[0];
    }
    QCOMPARE(listed.size(), int(Keys.size()));
    // Near misses: upper case, punctuation, control characters, accented
    // letters, other digits and letters, a character beyond 16 bits, two keys.
    for (const QString &key : {u"A"_s, u"Z"_s, u" "_s, u"."_s, u"/"_s, u"<"_s, u"\r"_s, u"\b"_s, u"\x01"_s,
                               QString(QChar(0)), u"à"_s, u"è"_s, u"é"_s, u"ì"_s, u"ò"_s, u"ù"_s, u"²"_s, u"ａ"_s,
                               u"١"_s, u"😀"_s, u"ab"_s, QString()})
        QVERIFY2(!isRecognizedKey(key) && wordOf(key).isEmpty(), qPrintable(key));
}

// Each row puts files named after the key into some of the four folders
// (user, the two shared ones, the pack) and says where the key's recording
// and picture must come from; "-" puts a damaged (empty) file there.
void TestKeyMedia::lookup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("wavFrom");
    QTest::addColumn<QString>("jpgFrom");

    // clang-format off
    QTest::newRow("pack only")                            << QStringList{"pack/r.wav", "pack/r.jpg"} << "pack" << "pack";
    QTest::newRow("user's voice, pack's picture")         << QStringList{"user/r.wav", "pack/r.wav", "pack/r.jpg"} << "user" << "pack";
    QTest::newRow("user first of all")                    << QStringList{"user/r.jpg", "school/r.jpg", "shared/r.jpg", "pack/r.jpg"} << "pack" << "user";
    QTest::newRow("school's before the pack")             << QStringList{"shared/r.wav", "pack/r.wav", "pack/r.jpg"} << "shared" << "pack";
    QTest::newRow("first shared folder before the second") << QStringList{"school/r.wav", "shared/r.wav"} << "school" << "pack";
    QTest::newRow("damaged user file still wins")         << QStringList{"-user/r.jpg", "pack/r.jpg"} << "pack" << "user";
    QTest::newRow("another key's file is not this one's") << QStringList{"user/s.wav", "user/R.jpg"} << "pack" << "pack";
    QTest::newRow("nothing anywhere: the pack's path")    << QStringList{} << "pack" << "pack";
    // clang-format on
}

void TestKeyMedia::lookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, wavFrom);
    QFETCH(QString, jpgFrom);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString base = root.path();
    const QMap<QString, QString> folders{{u"user"_s, base + u"/home/quilloro/IMG"_s},
                                         {u"school"_s, base + u"/school/quilloro/IMG"_s},
                                         {u"shared"_s, base + u"/shared/quilloro/IMG"_s},
                                         {u"pack"_s, base + u"/program/IMG"_s}};
    for (const QString &folder : folders)
        QVERIFY(QDir().mkpath(folder));
    for (QString file : std::as_const(files)) {
        const bool damaged = file.startsWith(u'-');
        if (damaged)
            file.remove(0, 1);
        QFile out(folders.value(file.section(u'/', 0, 0)) + u'/' + file.section(u'/', 1));
        QVERIFY(out.open(QIODevice::WriteOnly));
        if (!damaged)
            out.write("some media");
    }
    qputenv("XDG_DATA_HOME", (base + u"/home"_s).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (base + u"/school:relative/ignored:"_s + base + u"/shared"_s).toLocal8Bit());
    const QString wav = findMediaFile(base + u"/program"_s, u"r"_s, u".wav");
    const QString jpg = findMediaFile(base + u"/program"_s, u"r"_s, u".jpg");
    const QString own = ownFile(u"r"_s, u".jpg");
    initTestCase();

    QCOMPARE(wav, folders.value(wavFrom) + u"/r.wav"_s);
    QCOMPARE(jpg, folders.value(jpgFrom) + u"/r.jpg"_s);
    QCOMPARE(own, folders.value(u"user"_s) + u"/r.jpg"_s);
}

// The folders as the environment gives them, and a file that comes and goes
// while the program runs.
void TestKeyMedia::lookupFollowsTheEnvironment()
{
    const QByteArray home = qgetenv("HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", home);
        initTestCase();
    });

    qputenv("HOME", "/home/anna");
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    QCOMPARE(mediaFolders(u"/opt/q"_s),
             QStringList({"/home/anna/.local/share/quilloro/IMG", "/usr/local/share/quilloro/IMG",
                          "/usr/share/quilloro/IMG", "/opt/q/IMG"}));
    qputenv("XDG_DATA_HOME", "relative/data");
    QCOMPARE(userMediaFolder(), u"/home/anna/.local/share/quilloro/IMG"_s);
    // No home at all: the pack and the shared folders, nowhere to keep a file, and no message.
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(userMediaFolder(), QString());
    QCOMPARE(ownFile(u"k"_s, u".wav"), QString());
    QCOMPARE(mediaFolders(u"/opt/q"_s).first(), u"/usr/local/share/quilloro/IMG"_s);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    qputenv("XDG_DATA_HOME", root.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(root.filePath(u"quilloro/IMG"_s)));
    QFile own(root.filePath(u"quilloro/IMG/k.wav"_s));
    QCOMPARE(findMediaFile(u"/opt/q"_s, u"k"_s, u".wav"), u"/opt/q/IMG/k.wav"_s);
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.close();
    QCOMPARE(findMediaFile(u"/opt/q"_s, u"k"_s, u".wav"), own.fileName());
    QVERIFY(own.remove());
    QCOMPARE(findMediaFile(u"/opt/q"_s, u"k"_s, u".wav"), u"/opt/q/IMG/k.wav"_s);
}

// Files in a media folder that must not exhaust the machine or keep a window
// waiting: refused whole, as the child's window reads them, and fitted into
// a tile, as the recorder shows them, with the same verdict.
void TestKeyMedia::hostile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readable");
    QTest::newRow("an ordinary picture") << TestSupport::picture(QSize(400, 200), 0) << true;
    QTest::newRow("progressive JPEG, 32 scans") << progressivePicture(QSize(64, 64), 22) << true;
    QTest::newRow("progressive JPEG, a scan written again 3000 times")
        << progressivePicture(QSize(64, 64), 3000) << false;
    QTest::newRow("JPEG that claims 5500 x 5500") << decompressionBomb() << false;
    QTest::newRow("BMP that claims 30000 x 30000") << bmpClaiming(30000, 30000) << false;
    QTest::newRow("an empty file") << QByteArray() << false;
}

void TestKeyMedia::hostile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    const QString path = m_dir.filePath(u"hostile.jpg"_s);
    QVERIFY(writeFile(path, content));

    QImageReader::ImageReaderError whole = QImageReader::UnknownError, tile = QImageReader::UnknownError;
    QCOMPARE(!readPicture(path, &whole).isNull(), readable);
    const QImage fitted = readPicture(path, &tile, QSize(96, 48));
    QCOMPARE(!fitted.isNull(), readable);
    QCOMPARE(tile, whole);
    QVERIFY(fitted.width() <= 96 && fitted.height() <= 48);
    QVERIFY(!pictureProblem(path, whole).isEmpty());
}

void TestKeyMedia::wav_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<int>("rate");
    QTest::newRow("the take's rate") << Samples{0, 1, -1, 12345, -12345} << 22050;
    QTest::newRow("full scale both ways") << Samples{32767, -32768, 0} << 44100;
    QTest::newRow("one sample") << Samples{-7} << 8000;
}

// Read back by the child's program's own decoder, sample for sample.
void TestKeyMedia::wav()
{
    QFETCH(Samples, samples);
    QFETCH(int, rate);
    const QByteArray bytes = wavBytes(samples, rate);
    QCOMPARE(bytes.size(), 44 + 2 * int(samples.size()));
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".wav"));
    QString error;
    QVERIFY(saveAtomically(path, bytes, error));
    const auto clip = decodeClip(path);
    QVERIFY(clip);
    QCOMPARE(clip->sampleRate, rate);
    QCOMPARE(clip->samples.size(), samples.size());
    // The decoder scales through -1..1 and back by 32767: near full scale a sample may come back one step in.
    for (std::size_t i = 0; i < samples.size(); ++i)
        QVERIFY2(std::abs(clip->samples[i] - samples[i]) <= 1, qPrintable(QString::number(i)));
}

void TestKeyMedia::save_data()
{
    QTest::addColumn<QString>("folder");  // under the test's folder
    QTest::addColumn<QString>("blocker"); // "readonly": the folder exists, not writable; "file": a file has its name
    QTest::addColumn<bool>("saved");
    // clang-format off
    QTest::newRow("folder made with its parents") << "new/quilloro/IMG" << ""         << true;
    QTest::newRow("file replaced")                << "existing"         << ""         << true;
    QTest::newRow("read-only folder")             << "readonly"         << "readonly" << false;
    QTest::newRow("a file where the folder goes") << "blocked/IMG"      << "file"     << false;
    // clang-format on
}

void TestKeyMedia::save()
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
    const bool ok = saveAtomically(path, "new", error);
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
    // A reason to pass on, and what was there is still there, whole.
    QVERIFY(!error.isEmpty());
    if (blocker == QLatin1String("readonly")) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old"));
    }
}

void TestKeyMedia::picture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QSize>("size");      // empty: cannot be read
    QTest::addColumn<QString>("redSide"); // where the top half of the original ends up once upright

    QTest::newRow("phone photo, EXIF orientation 6")
        << jpegWithOrientation(twoColours(4000, 3000), 6) << QSize(187, 250) << "right";
    // More than the allocation limit whole: decoded at its fitted scale.
    QTest::newRow("8000 x 6000 photo") << encoded(twoColours(8000, 6000), "jpeg") << QSize(333, 250) << "top";
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

void TestKeyMedia::picture()
{
    QFETCH(QByteArray, content);
    QFETCH(QSize, size);
    QFETCH(QString, redSide);

    const QString path = m_dir.filePath(u"chosen.jpg"_s);
    QVERIFY(writeFile(path, content));

    QImageReader::ImageReaderError why = QImageReader::UnknownError;
    const QImage read = readChosenPicture(path, &why, QSize(500, 250));
    if (size.isEmpty()) {
        QVERIFY(read.isNull());
        QCOMPARE_NE(why, QImageReader::UnknownError);
        return;
    }
    QVERIFY2(!read.isNull(), qPrintable(pictureProblem(path, why)));
    const QImage fitted = fitPicture(read, QSize(500, 250));
    QString error;

    // Saved as JPEG and read back as the child's program reads it.
    const QString saved = m_dir.filePath(QStringLiteral("saved.jpg"));
    QVERIFY(saveAtomically(saved, jpegBytes(fitted), error));
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

QTEST_GUILESS_MAIN(TestKeyMedia)
#include "tst_keymedia.moc"

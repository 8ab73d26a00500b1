// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys.h"
#include "media_files.h"
#include "media_lookup.h"
#include "picture_reader.h"
#include "sound_player.h"
#include "test_support.h"

#include <QPainter>
#include <QTemporaryDir>

using Samples = std::vector<std::int16_t>;
Q_DECLARE_METATYPE(Samples)

namespace {

using namespace TestSupport;

// Top half red, bottom half another colour.
QImage twoColours(int width, int height, QImage::Format format = QImage::Format_RGB32, QColor bottom = Qt::blue)
{
    QImage image(width, height, format);
    image.fill(bottom);
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

bool near(QColor seen, QColor meant)
{
    return std::abs(seen.red() - meant.red()) < 60 && std::abs(seen.green() - meant.green()) < 60
        && std::abs(seen.blue() - meant.blue()) < 60;
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
    void lookupFollowsTheEnvironment();
    void firstFolderHoldingTheFile_data();
    void firstFolderHoldingTheFile();
    void hostile_data();
    void hostile();
    void wav_data();
    void wav();
    void saveRefused();
    void picture_data();
    void picture();
    void shownPicture_data();
    void shownPicture();

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
    for (const QString &key :
         {u"A"_s, u"Z"_s, u" "_s, u"."_s, u"/"_s, u"<"_s, u"\r"_s, u"\b"_s, u"\x01"_s, QString(QChar(0)), u"à"_s,
          u"è"_s, u"é"_s, u"ì"_s, u"ò"_s, u"ù"_s, u"²"_s, u"ａ"_s, u"١"_s,  u"😀"_s,    u"ab"_s,           QString()})
        QVERIFY2(!isRecognizedKey(key) && wordOf(key).isEmpty(), qPrintable(key));
}

// The folders as the environment gives them, in the order they are searched;
// which file of a key's is found in them is the own-media end-to-end test's.
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

    // Relative folders left out, as the XDG rules say.
    qputenv("XDG_DATA_HOME", "/data/anna");
    qputenv("XDG_DATA_DIRS", "/school:relative/ignored::/shared");
    QCOMPARE(mediaFolders(u"/opt/q"_s),
             QStringList({"/data/anna/quilloro/IMG", "/school/quilloro/IMG", "/shared/quilloro/IMG", "/opt/q/IMG"}));
}

void TestKeyMedia::firstFolderHoldingTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("held"); // the folders holding a file of that name: user, school, pack
    QTest::addColumn<QString>("found");

    // clang-format off
    QTest::newRow("a key's voice everywhere: the family's") << u"b"_s << u".wav"_s << QStringList{u"user"_s, u"school"_s, u"pack"_s} << u"user"_s;
    QTest::newRow("a key's picture in the pack only") << u"b"_s << u".jpg"_s << QStringList{u"pack"_s} << u"pack"_s;
    // The game's sounds by the same rule as a key's recording.
    QTest::newRow("bravo, the family's") << u"bravo"_s << u".wav"_s << QStringList{u"user"_s, u"pack"_s} << u"user"_s;
    QTest::newRow("riprova, the school's") << u"riprova"_s << u".wav"_s << QStringList{u"school"_s, u"pack"_s} << u"school"_s;
    QTest::newRow("festa nowhere: the pack's, for a box to name") << u"festa"_s << u".wav"_s << QStringList{} << u"pack"_s;
    // clang-format on
}

// The file a program opens for a name: the first folder holding one, for
// any name the programs ask for, a key's or a game sound's.
void TestKeyMedia::firstFolderHoldingTheFile()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QStringList, held);
    QFETCH(QString, found);

    const QTemporaryDir root;
    QVERIFY(root.isValid());
    const auto restore = qScopeGuard([this] { initTestCase(); });
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(u"user"_s)));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath(u"school"_s)));
    const QString program = root.filePath(u"program"_s);
    const QMap<QString, QString> folders{{u"user"_s, root.filePath(u"user/quilloro/IMG"_s)},
                                         {u"school"_s, root.filePath(u"school/quilloro/IMG"_s)},
                                         {u"pack"_s, program + u"/IMG"_s}};
    for (const QString &place : held)
        QVERIFY(writeFile(folders[place] + u'/' + name + extension, "x"));

    QCOMPARE(findMediaFile(program, name, extension), folders[found] + u'/' + name + extension);
    QCOMPARE(ownFile(name, extension), folders[u"user"_s] + u'/' + name + extension);
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

    QImageReader::ImageReaderError whole = QImageReader::UnknownError, tile = QImageReader::UnknownError,
                                   shown = QImageReader::UnknownError;
    QCOMPARE(!readPicture(path, &whole).isNull(), readable);
    const QImage fitted = readPicture(path, &tile, QSize(96, 48));
    QCOMPARE(!fitted.isNull(), readable);
    QCOMPARE(tile, whole);
    QCOMPARE(!readShownPicture(path, &shown).isNull(), readable);
    QCOMPARE(shown, whole);
    QVERIFY(fitted.width() <= 96 && fitted.height() <= 48);
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

// A folder that cannot be made, whoever runs the test: refused, with a
// reason the recorder passes on. (A folder made, a file replaced: the
// recording session's tests.)
void TestKeyMedia::saveRefused()
{
    QVERIFY(writeFile(m_dir.filePath(u"blocked"_s), "a file where the folder goes"));
    QString reason;
    QVERIFY(!saveAtomically(m_dir.filePath(u"blocked/IMG/b.wav"_s), "new", reason));
    QVERIFY(!reason.isEmpty());
}

void TestKeyMedia::picture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QSize>("size");    // empty: cannot be read
    QTest::addColumn<QColor>("bottom"); // of the saved picture, its top red
    const QColor blue(Qt::blue);

    // More than the allocation limit whole: decoded at its fitted scale.
    QTest::newRow("8000 x 6000 photo") << encoded(twoColours(8000, 6000), "jpeg") << QSize(333, 250) << blue;
    QTest::newRow("wide PNG") << encoded(twoColours(1000, 200), "png") << QSize(500, 100) << blue;
    QTest::newRow("small picture kept at its size") << encoded(twoColours(300, 200), "png") << QSize(300, 200) << blue;
    QTest::newRow("transparent PNG on white")
        << encoded(twoColours(100, 100, QImage::Format_ARGB32, Qt::transparent), "png") << QSize(100, 100)
        << QColor(Qt::white);
    QTest::newRow("a truncated JPEG") << encoded(twoColours(400, 300), "jpeg").left(30) << QSize() << blue;
}

void TestKeyMedia::picture()
{
    QFETCH(QByteArray, content);
    QFETCH(QSize, size);
    QFETCH(QColor, bottom);

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
    QVERIFY(near(back.pixelColor(size.width() / 2, size.height() / 8), Qt::red));
    QVERIFY2(near(back.pixelColor(size.width() / 2, size.height() * 7 / 8), bottom),
             qPrintable(back.pixelColor(size.width() / 2, size.height() * 7 / 8).name()));
}

// A key's picture as the child's window shows it: within the 500 x 250 the
// window has for it, never enlarged, and with up to twice the pixels for a
// window scaled up to a full screen or shown on a HiDPI screen.
void TestKeyMedia::shownPicture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QSize>("pixels"); // of the image read
    QTest::addColumn<QSizeF>("shown"); // in the window's own pixels

    const auto jpeg = [](int width, int height) { return encoded(twoColours(width, height), "jpeg"); };
    const auto png = [](int width, int height) { return encoded(twoColours(width, height), "png"); };
    QTest::newRow("the pack's 600 x 500") << jpeg(600, 500) << QSize(600, 500) << QSizeF(300, 250);
    QTest::newRow("the pack's 300 x 250 of before") << jpeg(300, 250) << QSize(300, 250) << QSizeF(300, 250);
    QTest::newRow("the recorder's 1000 x 500") << jpeg(1000, 500) << QSize(1000, 500) << QSizeF(500, 250);
    QTest::newRow("the recorder's 500 x 250 of before") << jpeg(500, 250) << QSize(500, 250) << QSizeF(500, 250);
    QTest::newRow("small, never enlarged") << png(120, 90) << QSize(120, 90) << QSizeF(120, 90);
    QTest::newRow("too wide by less than twice") << png(700, 250) << QSize(700, 250) << QSizeF(500, 250 / 1.4);
    QTest::newRow("too tall by less than twice") << png(500, 400) << QSize(500, 400) << QSizeF(312.5, 250);
    QTest::newRow("a phone's photo, read within twice the area")
        << jpeg(4000, 3000) << QSize(666, 500) << QSizeF(333, 250);
    QTest::newRow("a tall strip") << png(40, 4000) << QSize(5, 500) << QSizeF(2.5, 250);
    QTest::newRow("a wide strip") << png(4000, 40) << QSize(1000, 10) << QSizeF(500, 5);
}

void TestKeyMedia::shownPicture()
{
    QFETCH(QByteArray, content);
    QFETCH(QSize, pixels);
    QFETCH(QSizeF, shown);

    const QString path = m_dir.filePath(u"shown.pic"_s);
    QVERIFY(writeFile(path, content));
    QImageReader::ImageReaderError why = QImageReader::UnknownError;
    const QImage image = readShownPicture(path, &why);
    QVERIFY2(!image.isNull(), qPrintable(pictureProblem(path, why)));
    QCOMPARE(image.size(), pixels);
    const QSizeF logical = image.deviceIndependentSize();
    QVERIFY2(std::abs(logical.width() - shown.width()) < 0.01 && std::abs(logical.height() - shown.height()) < 0.01,
             qPrintable(u"shown at %1 x %2"_s.arg(logical.width()).arg(logical.height())));
    // Whole: the red top and the blue bottom both there.
    QVERIFY(near(image.pixelColor(image.width() / 2, image.height() / 8), Qt::red));
    QVERIFY(near(image.pixelColor(image.width() / 2, image.height() * 7 / 8), Qt::blue));
}

QTEST_GUILESS_MAIN(TestKeyMedia)
#include "tst_keymedia.moc"

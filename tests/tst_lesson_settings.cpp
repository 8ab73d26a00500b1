// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson_settings.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace KeyMedia;

namespace {

// The settings as letters: capitals, full screen, child lock, the game; '-' off.
QByteArray text(const LessonSettings &s)
{
    return QByteArray(s.capitals ? "M" : "-") + (s.fullScreen ? "S" : "-") + (s.childLock ? "B" : "-")
        + (s.activity == Activity::Listen ? "A" : "-");
}

void write(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    QVERIFY(file.commit());
}

} // namespace

class TestLessonSettings : public QObject
{
    Q_OBJECT

private slots:
    void filesFollowTheEnvironment();
    void read_data();
    void read();
    void saveKeepsTheRest();
    void saveRefused();
    void watch_data();
    void watch();
};

void TestLessonSettings::filesFollowTheEnvironment()
{
    qputenv("XDG_CONFIG_HOME", "/home/bimba/conf");
    qputenv("XDG_CONFIG_DIRS", "/etc/scuola:relative:/etc/xdg");
    QCOMPARE(settingsFiles(), QStringList({u"/home/bimba/conf/quilloro/quilloro.conf"_s,
                                           u"/etc/scuola/quilloro/quilloro.conf"_s,
                                           u"/etc/xdg/quilloro/quilloro.conf"_s}));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");
    qputenv("HOME", "/home/bimbo");
    QCOMPARE(settingsFiles(), QStringList({u"/home/bimbo/.config/quilloro/quilloro.conf"_s,
                                           u"/etc/xdg/quilloro/quilloro.conf"_s}));
}

void TestLessonSettings::read_data()
{
    QTest::addColumn<QByteArray>("family");
    QTest::addColumn<QByteArray>("school");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray all = "[lezione]\nmaiuscole=true\nschermo_intero=true\nblocco_bambino=true\n";
    QTest::newRow("no file") << QByteArray() << QByteArray() << QByteArray("----");
    QTest::newRow("family's") << QByteArray("[lezione]\nmaiuscole=true\n") << QByteArray() << QByteArray("M---");
    QTest::newRow("school's") << QByteArray() << all << QByteArray("MSB-");
    QTest::newRow("family over school")
        << QByteArray("[lezione]\nschermo_intero=false\nblocco_bambino=0\n") << all << QByteArray("M---");
    QTest::newRow("Italian and other words")
        << QByteArray("[lezione]\nmaiuscole = Sì\nschermo_intero=yes\nblocco_bambino=NO\n") << all
        << QByteArray("MS--");
    QTest::newRow("not a yes or a no")
        << QByteArray("[lezione]\nmaiuscole=forse\nschermo_intero=\nblocco_bambino=2\n") << all
        << QByteArray("MSB-");
    QTest::newRow("another section") << QByteArray("[altro]\nmaiuscole=true\n") << QByteArray() << QByteArray("----");
    QTest::newRow("damaged") << QByteArray("\0\xff\xfe[lez\x01ione\n=\n\n[[[", 16) << QByteArray() << QByteArray("----");
    QTest::newRow("damaged family, school's") << QByteArray("\xff\xfe\0\0garbage=\"", 12) << all << QByteArray("MSB-");
    QTest::newRow("too big to be one")
        << QByteArray("[lezione]\nmaiuscole=true\n") + QByteArray(100'000, '#') << QByteArray() << QByteArray("----");
    QTest::newRow("a folder in its place") << QByteArray("folder") << all << QByteArray("MSB-");
    QTest::newRow("the game") << QByteArray("[lezione]\nattivita=ascolta\n") << QByteArray() << QByteArray("---A");
    QTest::newRow("the game, as a person types it")
        << QByteArray("[lezione]\nattivita = Ascolta \n") << QByteArray() << QByteArray("---A");
    QTest::newRow("the school's game") << QByteArray() << all + "attivita=ascolta\n" << QByteArray("MSBA");
    QTest::newRow("the family's lesson over the school's game")
        << QByteArray("[lezione]\nattivita=esplora\n") << all + "attivita=ascolta\n" << QByteArray("MSB-");
    QTest::newRow("not an activity")
        << QByteArray("[lezione]\nattivita=gioca\n") << QByteArray("[lezione]\nattivita=ascolta\n")
        << QByteArray("---A");
}

void TestLessonSettings::read()
{
    QFETCH(QByteArray, family);
    QFETCH(QByteArray, school);
    QFETCH(QByteArray, expected);

    const QTemporaryDir dir;
    const QString familyFile = dir.filePath(u"home/quilloro/quilloro.conf"_s);
    const QString schoolFile = dir.filePath(u"etc/quilloro/quilloro.conf"_s);
    if (family == "folder")
        QVERIFY(QDir().mkpath(familyFile));
    else if (!family.isEmpty())
        write(familyFile, family);
    if (!school.isEmpty())
        write(schoolFile, school);

    QCOMPARE(text(readLessonSettings({familyFile, schoolFile})), expected);
}

// The recorder writes one choice at a time; the others, and whatever else a
// grown-up or a later version put in the file, stay as they were.
void TestLessonSettings::saveKeepsTheRest()
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"new/folder/quilloro.conf"_s);
    const QString school = dir.filePath(u"school.conf"_s);
    write(school, "[lezione]\nschermo_intero=true\nblocco_bambino=true\n");
    QString reason;
    QVERIFY2(saveLessonChoice(LessonChoice::FullScreen, false, reason, file), qPrintable(reason));
    QCOMPARE(text(readLessonSettings({file, school})), "--B-");

    write(file, "[lezione]\nattivita=ascolta\nmaiuscole=false\n\n[scuola]\nclasse=1A\n");
    QVERIFY2(saveLessonChoice(LessonChoice::Capitals, true, reason, file), qPrintable(reason));
    QVERIFY2(saveLessonChoice(LessonChoice::ChildLock, false, reason, file), qPrintable(reason));
    QCOMPARE(text(readLessonSettings({file})), "M--A");
    // The choice the family did not make there is the school's.
    QCOMPARE(text(readLessonSettings({file, school})), "MS-A");
    const QSettings ini(file, QSettings::IniFormat);
    QCOMPARE(ini.value(u"lezione/attivita"_s).toString(), u"ascolta"_s);
    QCOMPARE(ini.value(u"scuola/classe"_s).toString(), u"1A"_s);

    // The activity is saved the same way, and read back as the word it is.
    QVERIFY2(saveActivity(Activity::Explore, reason, file), qPrintable(reason));
    QCOMPARE(text(readLessonSettings({file, school})), "MS--");
    QVERIFY2(saveActivity(Activity::Listen, reason, file), qPrintable(reason));
    QCOMPARE(text(readLessonSettings({file, school})), "MS-A");
    QCOMPARE(QSettings(file, QSettings::IniFormat).value(u"lezione/attivita"_s).toString(), u"ascolta"_s);
    QCOMPARE(QSettings(file, QSettings::IniFormat).value(u"scuola/classe"_s).toString(), u"1A"_s);
}

void TestLessonSettings::saveRefused()
{
    const QTemporaryDir dir;
    write(dir.filePath(u"blocked"_s), "a file where a folder should be");
    QString reason;
    QVERIFY(!saveLessonChoice(LessonChoice::ChildLock, true, reason, dir.filePath(u"blocked/quilloro/quilloro.conf"_s)));
    QVERIFY2(reason.contains(u"blocked"_s), qPrintable(reason));
    QVERIFY(!saveLessonChoice(LessonChoice::ChildLock, true, reason, QString()));
    QVERIFY(!reason.isEmpty());
}

// A change while the child's program runs is followed within two seconds,
// however it is made.
void TestLessonSettings::watch_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("saved by the recorder") << u"save"_s << QByteArray("M-B-");
    QTest::newRow("file and folder made after the start") << u"fresh"_s << QByteArray("-S--");
    QTest::newRow("edited in place") << u"edit"_s << QByteArray("--B-");
    QTest::newRow("family's removed, school's again") << u"remove"_s << QByteArray("MSB-");
    QTest::newRow("school's changed") << u"school"_s << QByteArray("M---");
    QTest::newRow("the game chosen in the recorder") << u"game"_s << QByteArray("---A");
}

void TestLessonSettings::watch()
{
    QFETCH(QString, change);
    QFETCH(QByteArray, expected);

    const QTemporaryDir dir;
    const QString familyFile = dir.filePath(u"home/quilloro/quilloro.conf"_s);
    const QString schoolFile = dir.filePath(u"etc/quilloro/quilloro.conf"_s);
    write(schoolFile, "[lezione]\nmaiuscole=true\nschermo_intero=true\nblocco_bambino=true\n");
    if (change != u"fresh")
        write(familyFile, "[lezione]\nmaiuscole=false\nschermo_intero=false\nblocco_bambino=false\n");
    else
        write(schoolFile, "[lezione]\n");

    LessonSettingsWatcher watcher({familyFile, schoolFile});
    QSignalSpy changed(&watcher, &LessonSettingsWatcher::changed);
    QCOMPARE(text(watcher.settings()), "----");

    QString reason;
    if (change == u"save") {
        QVERIFY2(saveLessonChoice(LessonChoice::Capitals, true, reason, familyFile), qPrintable(reason));
        QVERIFY2(saveLessonChoice(LessonChoice::ChildLock, true, reason, familyFile), qPrintable(reason));
    } else if (change == u"fresh") {
        write(familyFile, "[lezione]\nschermo_intero=true\n");
    } else if (change == u"edit") {
        QFile file(familyFile);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[lezione]\nblocco_bambino=true\nmaiuscole=0\nschermo_intero=0\n");
    } else if (change == u"remove") {
        QVERIFY(QFile::remove(familyFile));
    } else if (change == u"game") {
        QVERIFY2(saveActivity(Activity::Listen, reason, familyFile), qPrintable(reason));
    } else if (change == u"school") {
        QVERIFY(QFile::remove(familyFile));
        QTRY_COMPARE_WITH_TIMEOUT(text(watcher.settings()), "MSB-", 2000);
        write(schoolFile, "[lezione]\nmaiuscole=true\n");
    }
    QTRY_COMPARE_WITH_TIMEOUT(text(watcher.settings()), expected, 2000);
    QCOMPARE(text(changed.last().first().value<LessonSettings>()), expected);

    // Nothing more is told while nothing changes.
    const qsizetype told = changed.size();
    QTest::qWait(300);
    QCOMPARE(changed.size(), told);
}

QTEST_GUILESS_MAIN(TestLessonSettings)
#include "tst_lesson_settings.moc"

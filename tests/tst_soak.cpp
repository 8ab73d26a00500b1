// SPDX-License-Identifier: GPL-3.0-or-later
// A toddler at the keyboard for a long while: thousands of keys, held keys
// repeating, letters mixed with keys that open a box. Nothing may crash, stick
// or grow.
#include "main_window.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <ctime>

using namespace TestSupport;

namespace {

long residentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Processor time this thread has used: unlike the wall clock, it does not
// run on while other programs on a busy machine have the processor.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

const QString Recognized = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
const QString Others = QStringLiteral("AQZ .,;!?è+-\r\b");

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tenThousandKeys();

private:
    UnansweredBoxGuard m_unanswered;
};

void TestSoak::initTestCase()
{
    // No sound server: every recognized key also exercises the player's
    // attempt to reach one.
    qputenv("PULSE_SERVER", "unix:/nonexistent/quilloro-soak");
    QVERIFY(QDir().mkpath(imgDir()));
    for (int i = 0; i < Recognized.size(); ++i) {
        // Each key's picture has its own hue, and its own size.
        QVERIFY(writeFile(imgDir() + u'/' + Recognized[i] + QStringLiteral(".jpg"),
                          picture(QSize(100 + i, 80 + i), i * 10)));
        QVERIFY(writeFile(imgDir() + u'/' + Recognized[i] + QStringLiteral(".wav"), recording(2205)));
    }
}

void TestSoak::cleanupTestCase()
{
    QDir(imgDir()).removeRecursively();
}

void TestSoak::tenThousandKeys()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    BoxAnswerer answerer;
    QRandomGenerator random(20261206);

    long memoryAt100 = 0;
    int lastRecognized = -1;
    // What a plain letter or digit costs early in the session and at its end.
    QList<qint64> earlyCosts, lateCosts;
    for (int key = 1; key <= 10000; ++key) {
        // One key in twenty is not a letter or digit; one in ten is held
        // down and repeats a few times.
        const bool other = random.bounded(20) == 0;
        const QString text = other ? QString(Others[random.bounded(Others.size())])
                                   : QString(Recognized[random.bounded(Recognized.size())]);
        const int repeats = random.bounded(10) == 0 ? 1 + random.bounded(4) : 0;
        const qint64 start = threadCpuNs();
        for (int r = 0; r <= repeats; ++r) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text, r > 0);
            QApplication::sendEvent(form.text1(), &press);
        }
        if (!other && repeats == 0) {
            if (key > 100 && key <= 500)
                earlyCosts << threadCpuNs() - start;
            else if (key > 9500)
                lateCosts << threadCpuNs() - start;
        }
        if (!other)
            lastRecognized = int(Recognized.indexOf(text));
        if (key == 100) {
            QCoreApplication::processEvents();
            memoryAt100 = residentKB();
        }
    }
    QCoreApplication::processEvents();
    const long memoryAt10000 = residentKB();
    qInfo("resident memory: %ld KB after 100 keys, %ld KB after 10000 keys", memoryAt100, memoryAt10000);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory back to catch late uses of it, so
    // resident memory says nothing here; LeakSanitizer checks at exit instead.
    Q_UNUSED(memoryAt10000)
#else
    QVERIFY2(memoryAt10000 - memoryAt100 < 5 * 1024, "memory grew by more than 5 MB");
#endif

    // A key must not cost more the longer the child plays: anything that
    // piles up with each key makes the last keys slower than the first. A
    // threefold slowdown is well beyond the noise of a busy machine.
    const qint64 early = median(earlyCosts);
    const qint64 late = median(lateCosts);
    qInfo("processor time per key (median): %lld us early, %lld us late", early / 1000, late / 1000);
    QVERIFY2(late < 3 * early, qPrintable(QStringLiteral("the last keys cost %1 times as much as the first ones")
                                              .arg(double(late) / double(early), 0, 'f', 1)));

    QVERIFY(!answerer.boxes.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
    // The picture on show is the last recognized key's own, unless the
    // last key was another one, which hides it.
    if (form.label1()->text() == Recognized[lastRecognized]) {
        QVERIFY(form.picture1()->isVisible());
        QCOMPARE(form.picture1()->pixmap().size(), QSize(100 + lastRecognized, 80 + lastRecognized));
    } else {
        QVERIFY(!form.picture1()->isVisible());
    }
    QTRY_COMPARE(QApplication::focusWidget(), form.text1());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"

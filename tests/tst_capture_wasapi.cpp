// SPDX-License-Identifier: GPL-3.0-or-later
// The WASAPI capture where there is no microphone (the unit tests run under
// Wine with no sound server, so Wine lists none): it says so, hands back
// nothing and leaves nothing running. Given arguments, it is a small recorder for the
// end-to-end check instead:
//     tst_capture_wasapi record FILE SECONDS
// records a take of SECONDS from the default microphone into FILE (a WAV),
// writing "progress FRAMES" lines to standard output as it goes, then
// "recorded FRAMES" or "failed FAILURE FRAMES"; the status is 0 for a take
// recorded to its end, 3 for a failure, 1 if FILE cannot be written.
#include "capture_wasapi.h"

#include <QMetaEnum>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sndfile.h>
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>

namespace {

// The recorder's rate: what every take is converted to.
constexpr int TakeRate = 22050;

// The threads of this process now.
int threadCount()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

} // namespace

class TestCaptureWasapi : public QObject
{
    Q_OBJECT

private slots:
    void noMicrophone();
};

void TestCaptureWasapi::noMicrophone()
{
    WasapiCapture capture(TakeRate, 10);
    QSignalSpy failed(&capture, &Capture::failed);
    QSignalSpy progress(&capture, &Capture::progress);
    capture.start();
    QVERIFY(failed.wait(30000));
    QCOMPARE(failed.at(0).at(0).value<Capture::Failure>(), Capture::Failure::NoMicrophone);
    QVERIFY(capture.stop().empty());
    // Reported once, and nothing of the take reaches the window afterwards.
    QCoreApplication::processEvents();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(progress.count(), 0);
    // Harmless when idle.
    QVERIFY(capture.stop().empty());

    // The first take loaded what COM and the audio system keep for the
    // process; later takes must add nothing of their own.
    const int threads = threadCount();
    QVERIFY(threads > 0);
    for (int take = 0; take < 20; ++take) {
        capture.start();
        // Stopped at once or after its failure: either way all of it ends.
        if (take % 2 == 0)
            QVERIFY(failed.wait(30000));
        capture.stop();
    }
    QVERIFY2(threadCount() <= threads, qPrintable(QStringLiteral("%1 > %2").arg(threadCount()).arg(threads)));
}

// The recorder for the end-to-end check.
static int record(const char *path, int seconds)
{
    WasapiCapture capture(TakeRate, 10);
    QString failure;
    qint64 lastFrames = 0;
    QObject::connect(&capture, &Capture::progress, [&](double, qint64 frames) {
        lastFrames = frames;
        std::printf("progress %lld\n", static_cast<long long>(frames));
        std::fflush(stdout);
        if (frames >= qint64(seconds) * TakeRate)
            QCoreApplication::quit();
    });
    QObject::connect(&capture, &Capture::failed, [&](Capture::Failure why) {
        failure = QString::fromLatin1(QMetaEnum::fromType<Capture::Failure>().valueToKey(int(why)));
        QCoreApplication::quit();
    });
    // Bounded, should the device neither record nor fail.
    QTimer::singleShot((seconds + 60) * 1000, [&] {
        failure = QStringLiteral("Timeout");
        QCoreApplication::quit();
    });
    capture.start();
    QCoreApplication::exec();
    const std::vector<std::int16_t> samples = capture.stop();

    SF_INFO info{};
    info.samplerate = TakeRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path, SFM_WRITE, &info);
    if (!file || sf_write_short(file, samples.data(), sf_count_t(samples.size())) != sf_count_t(samples.size())) {
        std::printf("cannot write %s\n", path);
        return 1;
    }
    sf_close(file);
    if (failure.isEmpty())
        std::printf("recorded %zu\n", samples.size());
    else
        std::printf("failed %s %zu\n", qPrintable(failure), samples.size());
    std::fflush(stdout);
    return failure.isEmpty() ? 0 : 3;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "record") == 0)
        return record(argv[2], std::atoi(argv[3]));
    TestCaptureWasapi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_capture_wasapi.moc"

#include "AudioCapture.h"
#include "SoundOutput.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

[[nodiscard]] int loudest(const qint16 *first, const qint16 *last)
{
    int peak = 0;
    for (; first != last; ++first)
        peak = std::max(peak, std::abs(static_cast<int>(*first)));
    return peak;
}

[[nodiscard]] int msToSamples(int ms)
{
    return ms * clipSampleRate / 1000;
}

// Sends the process's stderr to a file while it lives; ALSA writes straight to the descriptor.
class StderrToFile {
public:
    explicit StderrToFile(const QString &path)
        : saved(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
    }
    StderrToFile(const StderrToFile &) = delete;
    StderrToFile &operator=(const StderrToFile &) = delete;

private:
    int saved;
};

} // namespace

// Unloads the program's clips and brings them back; the macros must be used outside any namespace.
static void unloadClips()
{
    Q_CLEANUP_RESOURCE(clips);
}

static void reloadClips()
{
    Q_INIT_RESOURCE(clips);
}

class TestSound : public QObject {
    Q_OBJECT
private slots:
    void clipFiles_data();
    void clipFiles();
    void deviceOutput_data();
    void deviceOutput();
    void withoutDevice_data();
    void withoutDevice();
    void alsaKeepsQuiet();
    void copiesReuseChannels();
    void missingClipIsFatal();
};

void TestSound::clipFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<int>("dataBytes");
    QTest::newRow("1") << "1" << 49766 << 49720;
    QTest::newRow("2") << "2" << 79246 << 79200;
    QTest::newRow("3") << "3" << 89366 << 89320;
    QTest::newRow("4") << "4" << 89806 << 89760;
    QTest::newRow("5") << "5" << 112246 << 112200;
}

void TestSound::clipFiles()
{
    QFETCH(QString, name);
    QFETCH(int, fileSize);
    QFETCH(int, dataBytes);

    const QByteArray wave = clipFile(name);
    QCOMPARE(wave.size(), fileSize);

    // Field by field, named, so a mismatch says which one.
    const auto u16 = [&wave](int at) { return QString::number(qFromLittleEndian<quint16>(wave.constData() + at)); };
    const auto u32 = [&wave](int at) { return QString::number(qFromLittleEndian<quint32>(wave.constData() + at)); };
    const QStringList header{
        u"id="_qs + QString::fromLatin1(wave.mid(0, 4)),
        u"riffSize="_qs + u32(4),
        u"form="_qs + QString::fromLatin1(wave.mid(8, 4)),
        u"fmtId="_qs + QString::fromLatin1(wave.mid(12, 4)),
        u"fmtSize="_qs + u32(16),
        u"formatTag="_qs + u16(20),
        u"channels="_qs + u16(22),
        u"samplesPerSec="_qs + u32(24),
        u"avgBytesPerSec="_qs + u32(28),
        u"blockAlign="_qs + u16(32),
        u"bitsPerSample="_qs + u16(34),
        u"extraBytes="_qs + u16(36),
        u"dataId="_qs + QString::fromLatin1(wave.mid(38, 4)),
        u"dataSize="_qs + u32(42),
    };
    const QStringList expected{
        u"id=RIFF"_qs,
        u"riffSize="_qs + QString::number(fileSize - 8),
        u"form=WAVE"_qs,
        u"fmtId=fmt "_qs,
        u"fmtSize=18"_qs,
        u"formatTag=1"_qs,
        u"channels=1"_qs,
        u"samplesPerSec=22050"_qs,
        u"avgBytesPerSec=44100"_qs,
        u"blockAlign=2"_qs,
        u"bitsPerSample=16"_qs,
        u"extraBytes=0"_qs,
        u"dataId=data"_qs,
        u"dataSize="_qs + QString::number(dataBytes),
    };
    QCOMPARE(header, expected);
    QCOMPARE(46 + dataBytes, fileSize);

    // Headroom below full scale so a copy sounding beside another rarely clips; no click at
    // either end.
    const std::vector<qint16> samples = clipSamples(name);
    const int edge = msToSamples(20);
    QCOMPARE_LE(loudest(samples.data(), samples.data() + samples.size()), 32767 * 7 / 10);
    QCOMPARE_LT(loudest(samples.data(), samples.data() + edge), 100);
    QCOMPARE_LT(loudest(samples.data() + samples.size() - edge, samples.data() + samples.size()), 100);
}

void TestSound::deviceOutput_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("startsMs"); // when each is played, from the first

    QTest::newRow("one clip") << QStringList{"3"} << QList<int>{0};
    QTest::newRow("replay while sounding") << QStringList{"3", "3"} << QList<int>{0, 300};
    QTest::newRow("different clips") << QStringList{"2", "5"} << QList<int>{0, 200};
}

// SDL's disk driver writes the mixed output to a file in real time. The device runs at the clips'
// own format, so the output must be exactly the clips added at the moments they were started.
void TestSound::deviceOutput()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, startsMs);

    QTemporaryDir dir;
    const QString outPath = dir.filePath(u"out.raw"_qs);
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(outPath));
    {
        SoundOutput output;
        QVERIFY(output.isOpen());
        WaveList waves(&output);
        int longestEndMs = 0;
        for (qsizetype i = 0; i < names.size(); ++i) {
            QTest::qWait(startsMs[i] - (i ? startsMs[i - 1] : 0));
            waves.play(names[i]);
            longestEndMs = std::max(longestEndMs, startsMs[i] + clipLengthMs(names[i]));
        }
        QTest::qWait(longestEndMs - startsMs.back() + 400);
    }

    const std::vector<qint16> out = capturedSamples(outPath);
    std::vector<std::size_t> onsets;
    const QString mismatch = matchMix(out, names, onsets);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // Started when asked (the device plays in 46 ms blocks), so a replay overlapped the first copy
    // and the exact match above shows the first copy played to its end.
    for (qsizetype i = 1; i < names.size(); ++i) {
        const auto gap = static_cast<int>(onsets[i] - onsets[0]);
        QCOMPARE_GE(gap, msToSamples(startsMs[i] - 100));
        QCOMPARE_LE(gap, msToSamples(startsMs[i] + 400));
    }
}

void TestSound::withoutDevice_data()
{
    QTest::addColumn<QByteArray>("driver");
    QTest::addColumn<QString>("diskFile"); // under a temporary folder

    QTest::newRow("no such driver") << QByteArray("no-such-driver") << QString();
    QTest::newRow("device fails to open") << QByteArray("disk") << u"missing/out.raw"_qs;
}

void TestSound::withoutDevice()
{
    QFETCH(QByteArray, driver);
    QFETCH(QString, diskFile);

    QTemporaryDir dir;
    const ScopedEnv driverEnv("SDL_AUDIODRIVER", driver);
    const ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath(diskFile)));
    SoundOutput output;
    QVERIFY(!output.isOpen());
    WaveList waves(&output);
    waves.play(u"1"_qs);
    QCOMPARE(waves.channelCount(), 0);
}

// Without a sound card ALSA would print a screenful of probes at every start.
void TestSound::alsaKeepsQuiet()
{
    QTemporaryDir dir;
    const QString errPath = dir.filePath(u"stderr.txt"_qs);
    const ScopedEnv driver("SDL_AUDIODRIVER", "alsa");
    {
        const StderrToFile redirect(errPath);
        const SoundOutput output; // ALSA speaks up while the device is being opened
    }
    QFile err(errPath);
    QVERIFY(err.open(QIODevice::ReadOnly));
    const QByteArray printed = err.readAll();
    QVERIFY2(!printed.contains("ALSA lib"), printed.constData());
}

void TestSound::copiesReuseChannels()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    SoundOutput output;
    QVERIFY(output.isOpen());
    WaveList waves(&output);

    const int before = waves.channelCount();
    const int copies = before + 4;
    for (int i = 0; i < copies; ++i)
        waves.play(u"1"_qs);
    QCOMPARE(waves.channelCount(), copies); // one channel per copy sounding, no more

    QTest::qWait(clipLengthMs(u"1"_qs) + 400);
    for (int i = 0; i < copies; ++i)
        waves.play(u"1"_qs);
    waves.play(u"2"_qs); // a different clip still needs a channel of its own
    QCOMPARE(waves.channelCount(), copies + 1);
}

void TestSound::missingClipIsFatal()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    SoundOutput output;
    QVERIFY(output.isOpen());

    unloadClips();
    const auto restore = qScopeGuard(reloadClips);
    try {
        WaveList waves(&output);
        QFAIL("WaveList was built without its clips");
    } catch (const FatalSoundError &error) {
        QCOMPARE(error.message(), u"1 を作成できません"_qs);
    }
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"

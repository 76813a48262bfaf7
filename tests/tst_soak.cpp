// Hundreds of whole games in one window, as fast as they can be played: the score must always
// match the answers given, the mixer must not gain a channel for every game, and memory must
// stay flat once the window has warmed up.
#include "AudioCapture.h"
#include "ModalBoxes.h"
#include "SoundOutput.h"
#include "TForm1.h"
#include "TickSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <string>

#include <malloc.h>

namespace {

constexpr int gameCount = 500;
constexpr int warmGames = 50;
constexpr int limitSeconds = 3;
constexpr long rssSlackKiB = 2 * 1024;

const QStringList answerBoxes{u"Edit3"_qs, u"Edit8"_qs, u"Edit12"_qs, u"Edit16"_qs, u"Edit20"_qs};
const QStringList rightMarks{u"Image1"_qs, u"Image3"_qs, u"Image5"_qs, u"Image7"_qs, u"Image9"_qs};
const QStringList wrongMarks{u"Image2"_qs, u"Image4"_qs, u"Image6"_qs, u"Image8"_qs, u"Image10"_qs};

// Resident memory of live data: heap pages glibc keeps cached after a free are handed back
// first, so only memory still held counts.
[[nodiscard]] long residentKiB()
{
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// The longest clip, in ms: a copy started longer ago than this has stopped sounding.
[[nodiscard]] qint64 longestClipMs()
{
    int longest = 0;
    for (const QString &name : {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"5"_qs})
        longest = std::max(longest, clipLengthMs(name));
    return longest;
}

} // namespace

class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void manyGamesInOneWindow();
};

void SoakTest::manyGamesInOneWindow()
{
    QTemporaryDir dir;
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QFile data(u"Data.txt"_qs);
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write(QByteArray::number(limitSeconds));
    data.close();

    ModalBoxes boxes;
    TForm1 form;
    auto *source = form.findChild<TickSource *>(u"DXTimer1"_qs);
    auto *waves = form.findChild<WaveList *>(u"DXWaveList1"_qs);
    QVERIFY(source && waves);
    source->suspend(); // the test delivers the ticks that run a game out
    form.show();
    QVERIFY2(waves->channelCount() > 0, "the sound output did not open on SDL's dummy driver");

    // A copy keeps a channel only while it sounds; the audio thread may run a little late.
    const qint64 soundingMs = longestClipMs() + 500;
    QVERIFY(soundingMs > 500);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> playedAtMs;

    std::mt19937 random(20261211);
    long rssAfterWarmUp = 0;
    for (int game = 1; game <= gameCount; ++game) {
        boxes.records.clear();
        QTest::mouseClick(form.findChild<QPushButton *>(game == 1 ? u"Button1"_qs : u"Button3"_qs),
                          Qt::LeftButton);
        QCOMPARE(form.drill().GameRunning, 1);

        int right = 0;
        QString pattern;
        for (int k = 0; k < 5; ++k) {
            const std::int32_t product = form.drill().Slots[k].Product;
            const bool answerRight = random() % 2 == 0;
            right += answerRight;
            pattern += answerRight ? u'R' : u'W';
            // Wrong answers: a near miss, a leading zero, or no answer at all.
            const QString wrong = std::array{QString::number(product + 1),
                                             u"0"_qs + QString::number(product), QString()}[random() % 3];
            QTest::keyClicks(form.findChild<QLineEdit *>(answerBoxes[k]),
                             answerRight ? QString::number(product) : wrong);
        }

        const bool byTimeUp = random() % 2 == 0;
        if (byTimeUp) {
            for (int t = 0; t < limitSeconds; ++t)
                emit source->timer();
        } else {
            QTest::mouseClick(form.findChild<QPushButton *>(u"Button2"_qs), Qt::LeftButton);
        }
        playedAtMs << clock.elapsed();

        QStringList expected{u"よーい……"_qs, u"はじめ！"_qs};
        if (byTimeUp)
            expected << u"じかんぎれ"_qs;
        expected << QString::number(right * 20) + u"点でした。"_qs;
        QVERIFY2(boxes.texts() == expected,
                 qPrintable(u"game %1: %2"_qs.arg(game).arg(boxes.texts().join(u" / "_qs))));
        QCOMPARE(form.drill().CorrectCount, right);
        QString marks;
        for (int k = 0; k < 5; ++k) {
            const bool r = form.findChild<QLabel *>(rightMarks[k])->isVisible();
            const bool w = form.findChild<QLabel *>(wrongMarks[k])->isVisible();
            marks += r && w ? u'!' : r ? u'R' : w ? u'W' : u'-';
        }
        QCOMPARE(marks, pattern);

        // One channel per copy still sounding, at least one per clip: never one per game.
        const qsizetype recentPlays = std::count_if(playedAtMs.cbegin(), playedAtMs.cend(),
                                                    [&](qint64 at) { return at >= playedAtMs.back() - soundingMs; });
        QVERIFY2(waves->channelCount() <= std::max<qsizetype>(5, recentPlays),
                 qPrintable(u"game %1: %2 channels for %3 recent clips"_qs.arg(game)
                                .arg(waves->channelCount()).arg(recentPlays)));

        if (game == warmGames)
            rssAfterWarmUp = residentKiB();
    }

#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory in quarantine, so resident size says nothing here;
    // its leak check at exit stands in.
    Q_UNUSED(rssAfterWarmUp);
#else
    const long rssAtEnd = residentKiB();
    qInfo("%d games: %d mixer channels; resident %ld KiB after game %d, %ld KiB after the last",
          gameCount, waves->channelCount(), rssAfterWarmUp, warmGames, rssAtEnd);
    QVERIFY2(rssAtEnd - rssAfterWarmUp <= rssSlackKiB,
             qPrintable(u"resident memory grew from %1 KiB after game %2 to %3 KiB after game %4"_qs
                            .arg(rssAfterWarmUp).arg(warmGames).arg(rssAtEnd).arg(gameCount)));
#endif
    QDir::setCurrent(startDir);
}

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"

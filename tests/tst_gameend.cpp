// How a game ends: the countdown, the answer check, the score and the clip actually played.
#include "AudioCapture.h"
#include "DrillTestCase.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>


namespace {
const QStringList answerBoxes{u"Edit3"_qs, u"Edit8"_qs, u"Edit12"_qs, u"Edit16"_qs, u"Edit20"_qs};
const QStringList rightMarks{u"Image1"_qs, u"Image3"_qs, u"Image5"_qs, u"Image7"_qs, u"Image9"_qs};
const QStringList wrongMarks{u"Image2"_qs, u"Image4"_qs, u"Image6"_qs, u"Image8"_qs, u"Image10"_qs};
} // namespace

class GameEndTest : public DrillTestCase {
    Q_OBJECT
private slots:
    void countdownLabel_data();
    void countdownLabel();
    void timeRunsOut_data();
    void timeRunsOut();
    void doneJustBeforeZeroChecksOnce();
    void ticksDuringMessagesDoNotCount();
    void checkPlaysTheClipOfItsResult_data();
    void checkPlaysTheClipOfItsResult();
    void twoQuickChecksAreBothHeard();
    void wholeGameWithoutSoundDevice();

private:
    void openWithLimit(const QByteArray &limit);
    void startGame() const;
    void answer(int rightCount) const;
    [[nodiscard]] QString markPattern() const;
    [[nodiscard]] QString remaining() const;
};

void GameEndTest::openWithLimit(const QByteArray &limit)
{
    writeDataFile(limit + "\r\n");
    openForm();
}

void GameEndTest::startGame() const
{
    QTest::mouseClick(control<QPushButton>(u"Button1"_qs), Qt::LeftButton);
}

// Types the product into the first `rightCount` answer boxes and a wrong number into the rest.
void GameEndTest::answer(int rightCount) const
{
    for (int k = 0; k < 5; ++k) {
        const std::int32_t product = form->drill().Slots[k].Product;
        auto *box = control<QLineEdit>(answerBoxes[k]);
        box->clear();
        QTest::keyClicks(box, QString::number(k < rightCount ? product : product + 1));
    }
}

// One letter per column: R right mark shown, W wrong mark shown, - neither.
QString GameEndTest::markPattern() const
{
    QString pattern;
    for (int k = 0; k < 5; ++k) {
        const bool right = control<QLabel>(rightMarks[k])->isVisible();
        const bool wrong = control<QLabel>(wrongMarks[k])->isVisible();
        pattern += right && wrong ? u'!' : right ? u'R' : wrong ? u'W' : u'-';
    }
    return pattern;
}

QString GameEndTest::remaining() const
{
    return control<QLabel>(u"Label3"_qs)->text();
}

void GameEndTest::countdownLabel_data()
{
    QTest::addColumn<QByteArray>("limit");
    QTest::addColumn<QStringList>("afterEachTick");
    QTest::newRow("60") << QByteArray("60")
                        << QStringList{u"のこり時間：59秒"_qs, u"のこり時間：58秒"_qs};
    QTest::newRow("0 counts into negatives") << QByteArray("0")
                                             << QStringList{u"のこり時間：-1秒"_qs, u"のこり時間：-2秒"_qs};
    QTest::newRow("-5") << QByteArray("-5") << QStringList{u"のこり時間：-6秒"_qs, u"のこり時間：-7秒"_qs};
    QTest::newRow("smallest wraps") << QByteArray("-2147483648")
                                    << QStringList{u"のこり時間：2147483647秒"_qs,
                                                   u"のこり時間：2147483646秒"_qs};
}

void GameEndTest::countdownLabel()
{
    QFETCH(QByteArray, limit);
    QFETCH(QStringList, afterEachTick);
    openWithLimit(limit);
    tick(); // before the game: nothing counts
    startGame();
    QCOMPARE(form->drill().TimeLeft, limit.toInt());
    QStringList shown;
    for (qsizetype i = 0; i < afterEachTick.size(); ++i) {
        tick();
        shown << remaining();
    }
    QCOMPARE(shown, afterEachTick);
    QCOMPARE(boxes->records.size(), 2); // only the start messages
    QCOMPARE(form->drill().GameRunning, 1);
}

void GameEndTest::timeRunsOut_data()
{
    QTest::addColumn<int>("limit");
    QTest::newRow("limit 1 ends at the first tick") << 1;
    QTest::newRow("limit 60 ends at the 60th") << 60;
}

void GameEndTest::timeRunsOut()
{
    QFETCH(int, limit);
    openWithLimit(QByteArray::number(limit));
    startGame();
    for (int i = 1; i < limit; ++i)
        tick();
    QCOMPARE(boxes->records.size(), 2);

    QString labelAtTimeUp;
    QString marksAtScore;
    bool doneShownAtScore = false;
    boxes->onBox = [&](const BoxRecord &box) {
        if (box.text == u"じかんぎれ"_qs) {
            labelAtTimeUp = remaining();
            QCOMPARE(form->drill().GameRunning, 0);
        } else {
            marksAtScore = markPattern();
            doneShownAtScore = control<QPushButton>(u"Button2"_qs)->isVisible();
        }
    };
    control<QLineEdit>(u"Edit3"_qs)->setText(QString::number(form->drill().Slots[0].Product));
    tick();

    QCOMPARE(boxes->texts().mid(2), (QStringList{u"じかんぎれ"_qs, u"20点でした。"_qs}));
    QCOMPARE(labelAtTimeUp, u"のこり時間：0秒"_qs);
    QCOMPARE(marksAtScore, u"RWWWW"_qs); // empty boxes are wrong
    QVERIFY(doneShownAtScore);
    QVERIFY(!control<QPushButton>(u"Button2"_qs)->isVisible());
    QVERIFY(control<QPushButton>(u"Button3"_qs)->isVisible());
    QVERIFY(control<QPushButton>(u"Button4"_qs)->isVisible());
}

void GameEndTest::doneJustBeforeZeroChecksOnce()
{
    openWithLimit("2");
    startGame();
    tick();
    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton);
    QCOMPARE(boxes->records.size(), 3);
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(boxes->records.size(), 3);
    QCOMPARE(form->drill().TimeLeft, 1);
    QCOMPARE(remaining(), u"のこり時間：1秒"_qs);
}

void GameEndTest::ticksDuringMessagesDoNotCount()
{
    openWithLimit("3");
    QList<std::int32_t> timeLeftAfterTickInBox;
    boxes->onBox = [&](const BoxRecord &) {
        tick();
        timeLeftAfterTickInBox << form->drill().TimeLeft;
    };
    startGame(); // two start messages
    tick();
    tick();
    tick(); // reaches 0: "じかんぎれ", then the score box
    QCOMPARE(boxes->records.size(), 4);
    // The start messages see the limit read at start-up, the end boxes see 0.
    QCOMPARE(timeLeftAfterTickInBox, (QList<std::int32_t>{3, 3, 0, 0}));

    timeLeftAfterTickInBox.clear();
    QTest::mouseClick(control<QPushButton>(u"Button3"_qs), Qt::LeftButton);
    QCOMPARE(timeLeftAfterTickInBox, (QList<std::int32_t>{3, 3}));
    QCOMPARE(form->drill().GameRunning, 1);
}

void GameEndTest::checkPlaysTheClipOfItsResult_data()
{
    QTest::addColumn<int>("rightCount");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("score");
    QTest::addColumn<QString>("marks");
    QTest::newRow("none right") << 0 << u"1"_qs << u"0点でした。"_qs << u"WWWWW"_qs;
    QTest::newRow("one right") << 1 << u"2"_qs << u"20点でした。"_qs << u"RWWWW"_qs;
    QTest::newRow("two right") << 2 << u"3"_qs << u"40点でした。"_qs << u"RRWWW"_qs;
    QTest::newRow("three right") << 3 << u"4"_qs << u"60点でした。"_qs << u"RRRWW"_qs;
    QTest::newRow("four right") << 4 << u"4"_qs << u"80点でした。"_qs << u"RRRRW"_qs;
    QTest::newRow("all right") << 5 << u"5"_qs << u"100点でした。"_qs << u"RRRRR"_qs;
}

// SDL's disk driver writes the mixed output to a file in real time: the clip is already
// sounding while the score box is open, and the whole output is exactly that clip.
void GameEndTest::checkPlaysTheClipOfItsResult()
{
    QFETCH(int, rightCount);
    QFETCH(QString, clip);
    QFETCH(QString, score);
    QFETCH(QString, marks);
    const QString capture = dir->filePath(u"out.raw"_qs);
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(capture));
    openWithLimit("60");
    startGame();
    answer(rightCount);

    QString marksAtScore;
    bool soundingAtScore = false;
    boxes->onBox = [&](const BoxRecord &) {
        marksAtScore = markPattern();
        QTest::qWait(300);
        const std::vector<qint16> sofar = capturedSamples(capture);
        soundingAtScore = std::ranges::any_of(sofar, [](qint16 s) { return s != 0; });
    };
    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton);
    QCOMPARE(boxes->texts().mid(2), QStringList{score});
    QCOMPARE(marksAtScore, marks);
    QVERIFY(soundingAtScore);

    QTest::qWait(clipLengthMs(clip) + 300);
    form.reset(); // closes the device
    std::vector<std::size_t> onsets;
    const QString mismatch = matchMix(capturedSamples(capture), {clip}, onsets);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

// "もう一回" then "できた！" at once: the second clip starts while the first still sounds.
void GameEndTest::twoQuickChecksAreBothHeard()
{
    const QString capture = dir->filePath(u"out.raw"_qs);
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(capture));
    openWithLimit("60");
    startGame();
    answer(5);
    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton);
    QTest::qWait(300); // apart by more than one mixing block, so each clip's start can be told
    QTest::mouseClick(control<QPushButton>(u"Button3"_qs), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton); // all empty: none right
    QCOMPARE(boxes->texts().mid(2), (QStringList{u"100点でした。"_qs, u"よーい……"_qs, u"はじめ！"_qs,
                                                 u"0点でした。"_qs}));

    QTest::qWait(clipLengthMs(u"5"_qs) + 300);
    form.reset();
    std::vector<std::size_t> onsets;
    const QString mismatch = matchMix(capturedSamples(capture), {u"5"_qs, u"1"_qs}, onsets);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(onsets[1] - onsets[0] < clipSamples(u"5"_qs).size());
}

void GameEndTest::wholeGameWithoutSoundDevice()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    openWithLimit("1");
    startGame();
    answer(3);
    tick();
    QCOMPARE(boxes->texts().mid(2), (QStringList{u"じかんぎれ"_qs, u"60点でした。"_qs}));
    QCOMPARE(markPattern(), u"RRRWW"_qs);
    QVERIFY(control<QPushButton>(u"Button3"_qs)->isVisible());
}

QTEST_MAIN(GameEndTest)
#include "tst_gameend.moc"

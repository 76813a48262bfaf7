// The drill's rules that need no window.
#include "Answers.h"
#include "Countdown.h"
#include "DrillError.h"
#include "Problems.h"

#include <QTest>

#include <limits>

class DrillTest : public QObject {
    Q_OBJECT
private slots:
    void drawsMultiplicandThenMultiplierPerSlot();
    void randomDrawsStayBelowTheBoundAndReachIt();
    void answerComparison_data();
    void answerComparison();
    void resultTable_data();
    void resultTable();
    void countdownStep_data();
    void countdownStep();
    void fullStop_data();
    void fullStop();
    void applicationTitleRule_data();
    void applicationTitleRule();
};

void DrillTest::drawsMultiplicandThenMultiplierPerSlot()
{
    QList<std::int32_t> bounds;
    std::int32_t next = 90;
    const auto problems = drawProblems([&](std::int32_t bound) {
        bounds << bound;
        return next++ % bound;
    });
    QCOMPARE(bounds, (QList<std::int32_t>{100, 10, 100, 10, 100, 10, 100, 10, 100, 10}));
    // Draws 90, 91, ... taken modulo the bound: slot k gets 90+2k and (91+2k) % 10.
    for (int k = 0; k < 5; ++k) {
        QCOMPARE(problems[k].Multiplicand, 90 + 2 * k);
        QCOMPARE(problems[k].Multiplier, (91 + 2 * k) % 10);
        QCOMPARE(problems[k].Product, problems[k].Multiplicand * problems[k].Multiplier);
    }
}

void DrillTest::randomDrawsStayBelowTheBoundAndReachIt()
{
    seedRandomFromClock();
    QList<int> seen(100, 0);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t value = randomBelow(100);
        QVERIFY(value >= 0 && value < 100);
        ++seen[value];
    }
    // Uniform: each value near 200 times; far outside that means a biased or stuck draw.
    for (int count : seen)
        QVERIFY2(count > 120 && count < 290, qPrintable(QString::number(count)));
}

void DrillTest::answerComparison_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::int32_t>("product");
    QTest::addColumn<bool>("right");
    QTest::newRow("the product itself") << u"891"_qs << 891 << true;
    QTest::newRow("single digit") << u"7"_qs << 7 << true;
    QTest::newRow("zero") << u"0"_qs << 0 << true;
    QTest::newRow("leading zero") << u"07"_qs << 7 << false;
    QTest::newRow("two zeros for zero") << u"00"_qs << 0 << false;
    QTest::newRow("space before") << u" 7"_qs << 7 << false;
    QTest::newRow("space after") << u"7 "_qs << 7 << false;
    QTest::newRow("full-width digit") << u"７"_qs << 7 << false;
    QTest::newRow("plus sign") << u"+7"_qs << 7 << false;
    QTest::newRow("empty for zero") << QString() << 0 << false;
    QTest::newRow("empty") << QString() << 56 << false;
    QTest::newRow("wrong number") << u"54"_qs << 56 << false;
}

void DrillTest::answerComparison()
{
    QFETCH(QString, typed);
    QFETCH(std::int32_t, product);
    QFETCH(bool, right);
    QCOMPARE(isRightAnswer(typed, product), right);
}

void DrillTest::resultTable_data()
{
    QTest::addColumn<std::int32_t>("correct");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<std::int32_t>("score");
    QTest::newRow("none right") << 0 << u"1"_qs << 0;
    QTest::newRow("one right") << 1 << u"2"_qs << 20;
    QTest::newRow("two right") << 2 << u"3"_qs << 40;
    QTest::newRow("three right") << 3 << u"4"_qs << 60;
    QTest::newRow("four right") << 4 << u"4"_qs << 80;
    QTest::newRow("all right") << 5 << u"5"_qs << 100;
}

void DrillTest::resultTable()
{
    QFETCH(std::int32_t, correct);
    QFETCH(QString, clip);
    QFETCH(std::int32_t, score);
    const GameResult result = resultFor(correct);
    QCOMPARE(result.clip, clip);
    QCOMPARE(result.score, score);
}

void DrillTest::countdownStep_data()
{
    QTest::addColumn<std::int32_t>("before");
    QTest::addColumn<std::int32_t>("after");
    QTest::newRow("reaches zero") << 1 << 0;
    QTest::newRow("past zero") << 0 << -1;
    QTest::newRow("negative limit") << -5 << -6;
    QTest::newRow("largest limit") << std::numeric_limits<std::int32_t>::max()
                                   << std::numeric_limits<std::int32_t>::max() - 1;
    QTest::newRow("smallest wraps to largest") << std::numeric_limits<std::int32_t>::min()
                                               << std::numeric_limits<std::int32_t>::max();
}

void DrillTest::countdownStep()
{
    QFETCH(std::int32_t, before);
    QFETCH(std::int32_t, after);
    QCOMPARE(oneSecondLess(before), after);
}

void DrillTest::fullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Japanese ending") << u"ファイル Data.txt は開けません"_qs
                                     << u"ファイル Data.txt は開けません."_qs;
    QTest::newRow("closing parenthesis") << u"範囲を超えています (0)"_qs << u"範囲を超えています (0)"_qs;
    QTest::newRow("already a full stop") << u"done."_qs << u"done."_qs;
    QTest::newRow("comma sorts before") << u"a,"_qs << u"a,"_qs;
    QTest::newRow("slash sorts after") << u"a/"_qs << u"a/."_qs;
    QTest::newRow("letter") << u"failed"_qs << u"failed."_qs;
    QTest::newRow("empty") << QString() << QString();
}

void DrillTest::fullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(withFullStop(message), shown);
}

void DrillTest::applicationTitleRule_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << u"/usr/bin/kerunopi"_qs << u"kerunopi"_qs;
    QTest::newRow("upper case with extension") << u"/opt/KERUNOPI.EXE"_qs << u"Kerunopi"_qs;
    QTest::newRow("cut at first dot") << u"Drill.Game.bin"_qs << u"Drill"_qs;
    QTest::newRow("directory dots ignored") << u"/a.b/KeRu"_qs << u"Keru"_qs;
    QTest::newRow("leading dot") << u"/tmp/.Hidden"_qs << QString();
    QTest::newRow("non-ASCII") << u"/tmp/ＫＥＲＵ"_qs << u"Ｋｅｒｕ"_qs;
}

void DrillTest::applicationTitleRule()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(applicationTitle(path), title);
}

QTEST_APPLESS_MAIN(DrillTest)
#include "tst_drill.moc"

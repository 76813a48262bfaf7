// Starting, repeating and ending games through the real window, with every box answered.
#include "Application.h"
#include "MessageBoxes.h"
#include "DrillTestCase.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <optional>

namespace {
const QStringList startMessages{u"よーい……"_qs, u"はじめ！"_qs};
const QStringList multiplicandBoxes{u"Edit1"_qs, u"Edit6"_qs, u"Edit10"_qs, u"Edit14"_qs, u"Edit18"_qs};
const QStringList multiplierBoxes{u"Edit2"_qs, u"Edit7"_qs, u"Edit11"_qs, u"Edit15"_qs, u"Edit19"_qs};
const QStringList answerBoxes{u"Edit3"_qs, u"Edit8"_qs, u"Edit12"_qs, u"Edit16"_qs, u"Edit20"_qs};
const QStringList signBoxes{u"Edit5"_qs, u"Edit4"_qs, u"Edit9"_qs, u"Edit13"_qs, u"Edit17"_qs};
} // namespace

// Takes the program's clips away, so the sound output can't be built; puts them back after.
static void unloadClips()
{
    Q_CLEANUP_RESOURCE(clips);
}

static void reloadClips()
{
    Q_INIT_RESOURCE(clips);
}

class GameFlowTest : public DrillTestCase {
    Q_OBJECT
private slots:
    void firstDisplay();
    void startMessagesComeBeforeTheGameOpens();
    void onceMoreKeepsTheOldGameOnScreenUntilTheNewOneOpens();
    void onceMoreReadsTheLimitKeptInMemory();
    void failingTimeLimitFile_data();
    void failingTimeLimitFile();
    void titleFollowsTheProgramFileName();
    void endingTheProgram_data();
    void endingTheProgram();
    void windowThatCannotBeBuiltEndsTheRun();
    void terminationSignalEndsTheProgram();
    void noDisplaySaysSoInOneLine();

private:
    [[nodiscard]] QStringList texts(const QStringList &names) const;
    [[nodiscard]] QStringList visibleMarks() const;
};

QStringList GameFlowTest::texts(const QStringList &names) const
{
    QStringList result;
    for (const QString &name : names)
        result << control<QLineEdit>(name)->text();
    return result;
}

QStringList GameFlowTest::visibleMarks() const
{
    QStringList result;
    for (int i = 1; i <= 10; ++i) {
        if (control<QLabel>(u"Image%1"_qs.arg(i))->isVisible())
            result << u"Image%1"_qs.arg(i);
    }
    return result;
}

void GameFlowTest::firstDisplay()
{
    writeDataFile("60\r\n");
    openForm();
    QVERIFY(boxes->records.isEmpty());
    QCOMPARE(form->windowTitle(), u"ケルノピ"_qs);
    QCOMPARE(control<QLabel>(u"Label1"_qs)->text(), u"ケルノピ"_qs);
    QCOMPARE(control<QLabel>(u"Label2"_qs)->text(), u"せいげん時間："_qs);
    QCOMPARE(control<QLabel>(u"Label3"_qs)->text(), u"のこり時間："_qs);
    QCOMPARE(texts(signBoxes), QStringList(5, u"×"_qs));
    QCOMPARE(texts(multiplicandBoxes + multiplierBoxes + answerBoxes), QStringList(15));
    for (const QString &name : answerBoxes)
        QVERIFY(control<QLineEdit>(name)->isReadOnly());
    QVERIFY(visibleMarks().isEmpty());
    QVERIFY(control<QPushButton>(u"Button1"_qs)->isVisible());
    for (const QString &name : {u"Button2"_qs, u"Button3"_qs, u"Button4"_qs})
        QVERIFY(!control<QPushButton>(name)->isVisible());
    QCOMPARE(form->drill().TimeLeft, 60);
    QCOMPARE(form->drill().GameRunning, 0);

    // Column k is column 1 shifted right by 152 px per column.
    for (int k = 0; k < 5; ++k) {
        QCOMPARE(control<QLineEdit>(answerBoxes[k])->geometry(),
                 control<QLineEdit>(answerBoxes[0])->geometry().translated(152 * k, 0));
        QCOMPARE(control<QLineEdit>(signBoxes[k])->geometry().topLeft(), QPoint(16 + 152 * k, 104));
    }
}

void GameFlowTest::startMessagesComeBeforeTheGameOpens()
{
    writeDataFile("60");
    openForm();
    boxes->onBox = [&](const BoxRecord &) {
        QCOMPARE(form->drill().GameRunning, 0);
        QVERIFY(control<QPushButton>(u"Button1"_qs)->isVisible());
        QCOMPARE(texts(multiplicandBoxes + multiplierBoxes), QStringList(10));
        QVERIFY(control<QLineEdit>(u"Edit3"_qs)->isReadOnly());
    };
    click(u"Button1"_qs);

    QCOMPARE(boxes->texts(), startMessages);
    for (const BoxRecord &box : std::as_const(boxes->records)) {
        QCOMPARE(box.title, currentApplicationTitle());
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QStringList{u"OK"_qs});
    }
    const DrillState &drill = form->drill();
    QCOMPARE(drill.GameRunning, 1);
    for (int k = 0; k < 5; ++k) {
        QCOMPARE(control<QLineEdit>(multiplicandBoxes[k])->text(),
                 QString::number(drill.Slots[k].Multiplicand));
        QCOMPARE(control<QLineEdit>(multiplierBoxes[k])->text(),
                 QString::number(drill.Slots[k].Multiplier));
        QVERIFY(!control<QLineEdit>(answerBoxes[k])->isReadOnly());
    }
    QVERIFY(!control<QPushButton>(u"Button1"_qs)->isVisible());
    QVERIFY(control<QPushButton>(u"Button2"_qs)->isVisible());
    QCOMPARE(control<QLabel>(u"Label2"_qs)->text(), u"せいげん時間：60秒"_qs);
    QCOMPARE(control<QLabel>(u"Label3"_qs)->text(), u"のこり時間60秒"_qs);
}

void GameFlowTest::onceMoreKeepsTheOldGameOnScreenUntilTheNewOneOpens()
{
    writeDataFile("45\n");
    openForm();
    click(u"Button1"_qs);
    QTest::keyClicks(control<QLineEdit>(u"Edit3"_qs), QString::number(form->drill().Slots[0].Product));
    QTest::keyClicks(control<QLineEdit>(u"Edit8"_qs), u"x"_qs);
    click(u"Button2"_qs);
    QCOMPARE(form->drill().CorrectCount, 1);
    QCOMPARE(visibleMarks().size(), 5);

    const QStringList oldProblems = texts(multiplicandBoxes + multiplierBoxes);
    const QStringList oldAnswers = texts(answerBoxes);
    boxes->records.clear();
    boxes->onBox = [&](const BoxRecord &) {
        QCOMPARE(form->drill().GameRunning, 0);
        QCOMPARE(form->drill().CorrectCount, 0);
        QVERIFY(visibleMarks().isEmpty());
        QCOMPARE(texts(multiplicandBoxes + multiplierBoxes), oldProblems);
        QCOMPARE(texts(answerBoxes), oldAnswers);
        QVERIFY(control<QPushButton>(u"Button3"_qs)->isVisible());
        QVERIFY(control<QPushButton>(u"Button4"_qs)->isVisible());
    };
    click(u"Button3"_qs);

    QCOMPARE(boxes->texts(), startMessages);
    QCOMPARE(form->drill().GameRunning, 1);
    QCOMPARE(form->drill().TimeLeft, 45);
    QCOMPARE(texts(answerBoxes), QStringList(5));
    QVERIFY(texts(multiplicandBoxes + multiplierBoxes) != oldProblems);
    QVERIFY(control<QPushButton>(u"Button2"_qs)->isVisible());
    QVERIFY(!control<QPushButton>(u"Button3"_qs)->isVisible());
    QVERIFY(!control<QPushButton>(u"Button4"_qs)->isVisible());
    QCOMPARE(control<QLabel>(u"Label3"_qs)->text(), u"のこり時間45秒"_qs);
}

void GameFlowTest::onceMoreReadsTheLimitKeptInMemory()
{
    writeDataFile("30\r\n");
    openForm();
    QVERIFY(QFile::remove(u"Data.txt"_qs));
    click(u"Button1"_qs);
    click(u"Button2"_qs);
    click(u"Button3"_qs);
    QCOMPARE(boxes->texts().mid(3), startMessages);
    QCOMPARE(form->drill().TimeLeft, 30);
}

void GameFlowTest::failingTimeLimitFile_data()
{
    QTest::addColumn<std::optional<QByteArray>>("content");
    QTest::addColumn<QString>("atStartUp");
    QTest::addColumn<QString>("atOnceMore");
    const QString listIndex = u"リストのインデックスが範囲を超えています (0)"_qs;
    QTest::newRow("missing") << std::optional<QByteArray>() << u"ファイル Data.txt は開けません."_qs
                             << listIndex;
    QTest::newRow("empty") << std::optional<QByteArray>("") << listIndex << listIndex;
    QTest::newRow("not an integer") << std::optional<QByteArray>("abc\r\n60")
                                    << u"'abc' は整数ではありません."_qs
                                    << u"'abc' は整数ではありません."_qs;
}

void GameFlowTest::failingTimeLimitFile()
{
    QFETCH(std::optional<QByteArray>, content);
    QFETCH(QString, atStartUp);
    QFETCH(QString, atOnceMore);
    if (content)
        writeDataFile(*content);

    openForm();
    // The error box came while the window was being created, before it was shown.
    QCOMPARE(boxes->texts(), QStringList{atStartUp});
    const BoxRecord &error = boxes->records.constFirst();
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, QStringList{u"OK"_qs});
    QCOMPARE(error.title, currentApplicationTitle());
    QCOMPARE(form->drill().TimeLeft, 0);
    QVERIFY(form->drill().TimeLimitList.has_value());

    // The window still works: a game with limit 0 opens and is ended by the done button.
    click(u"Button1"_qs);
    QCOMPARE(control<QLabel>(u"Label2"_qs)->text(), u"せいげん時間：0秒"_qs);
    QCOMPARE(control<QLabel>(u"Label3"_qs)->text(), u"のこり時間0秒"_qs);
    click(u"Button2"_qs);
    QCOMPARE(visibleMarks().size(), 5);

    boxes->records.clear();
    const QStringList problems = texts(multiplicandBoxes);
    click(u"Button3"_qs);
    QCOMPARE(boxes->texts(), QStringList{atOnceMore});
    QCOMPARE(boxes->records.constFirst().icon, QMessageBox::Critical);
    QCOMPARE(form->drill().CorrectCount, 0);
    QCOMPARE(form->drill().GameRunning, 0);
    QVERIFY(visibleMarks().isEmpty());
    QCOMPARE(texts(multiplicandBoxes), problems);
    QVERIFY(control<QPushButton>(u"Button3"_qs)->isVisible());
    QVERIFY(control<QPushButton>(u"Button4"_qs)->isVisible());
    QVERIFY(!control<QPushButton>(u"Button2"_qs)->isVisible());
}

// Run as a copy of this test program under another name: every box is titled after that name.
void GameFlowTest::titleFollowsTheProgramFileName()
{
    const QByteArray expected = qgetenv("EXPECTED_BOX_TITLE");
    if (!expected.isEmpty()) {
        openForm();
        QCOMPARE(boxes->records.size(), 1);
        QCOMPARE(boxes->records.constFirst().title, QString::fromUtf8(expected));
        return;
    }
    const QString copy = dir->filePath(u"GameFLOW.Copy.bin"_qs);
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"EXPECTED_BOX_TITLE"_qs, u"Gameflow"_qs);
    child.setProcessEnvironment(environment);
    child.start(copy, {u"titleFollowsTheProgramFileName"_qs});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
}

void GameFlowTest::endingTheProgram_data()
{
    QTest::addColumn<bool>("byFinishButton");
    QTest::addColumn<QStringList>("lastMessages");
    QTest::newRow("finish button") << true << QStringList{u"かけ算は楽しいかい？"_qs};
    QTest::newRow("window frame") << false << QStringList{};
}

// The whole program run: play a game, then end it; the run returns the exit code 0.
void GameFlowTest::endingTheProgram()
{
    QFETCH(bool, byFinishButton);
    QFETCH(QStringList, lastMessages);
    writeDataFile("60");
    QTimer::singleShot(0, this, [&] {
        TForm1 *window = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *drill = qobject_cast<TForm1 *>(widget))
                window = drill;
        }
        QVERIFY(window && window->isVisible());
        QTest::mouseClick(window->findChild<QPushButton *>(u"Button1"_qs), Qt::LeftButton);
        QTest::mouseClick(window->findChild<QPushButton *>(u"Button2"_qs), Qt::LeftButton);
        if (byFinishButton)
            QTest::mouseClick(window->findChild<QPushButton *>(u"Button4"_qs), Qt::LeftButton);
        else
            window->close();
    });
    QCOMPARE(runDrill(), 0);
    QCOMPARE(boxes->texts().size(), 3 + lastMessages.size());
    QCOMPARE(boxes->texts().mid(3), lastMessages);
}

void GameFlowTest::windowThatCannotBeBuiltEndsTheRun()
{
    writeDataFile("60");
    unloadClips();
    const auto restore = qScopeGuard(reloadClips);
    QCOMPARE(runDrill(), 1);
    QCOMPARE(boxes->records.size(), 1);
    const BoxRecord &box = boxes->records.constFirst();
    QCOMPARE(box.title, u"アプリケーション エラー"_qs);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QStringList{u"OK"_qs});
    const QRegularExpression text(u"^FatalSoundErrorがモジュール tst_gameflow の [0-9A-F]{16} で発生しました。\n"
                                  "1 を作成できません\\.$"_qs);
    QVERIFY2(text.match(box.text).hasMatch(), qPrintable(box.text));
    QVERIFY(std::ranges::none_of(QApplication::topLevelWidgets(),
                                 [](QWidget *widget) { return qobject_cast<TForm1 *>(widget); }));
}

// A logout or a plain kill sends SIGTERM; the sound library must not swallow it.
void GameFlowTest::terminationSignalEndsTheProgram()
{
    writeDataFile("60");
    QProcess drill;
    drill.start(QStringLiteral(KERUNOPI_PROGRAM), {});
    QVERIFY(drill.waitForStarted());
    QTest::qWait(1500); // the window is up and the sound output open
    QCOMPARE(drill.state(), QProcess::Running);
    drill.terminate();
    QVERIFY(drill.waitForFinished(3000));
    QCOMPARE(drill.exitStatus(), QProcess::CrashExit);
}

void GameFlowTest::noDisplaySaysSoInOneLine()
{
    QProcess drill;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs, u"QT_QPA_PLATFORM"_qs})
        environment.remove(name);
    drill.setProcessEnvironment(environment);
    drill.start(QStringLiteral(KERUNOPI_PROGRAM), {});
    QVERIFY(drill.waitForFinished(5000));
    QCOMPARE(drill.exitCode(), 1);
    const QByteArray said = drill.readAllStandardError();
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.contains("no display"), said.constData());
}

QTEST_MAIN(GameFlowTest)
#include "tst_gameflow.moc"

// The once-a-second tick, in real time: never early, paused in the background, held back by
// error boxes but not by the drill's own messages.
#include "ModalBoxes.h"
#include "TForm1.h"
#include "TickSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <qpa/qwindowsysteminterface.h>

class TickSourceTest : public QObject {
    Q_OBJECT
private slots:
    void lateTickIsFollowedByAFullInterval();
    void pausesWhileTheApplicationIsInactive();
    void keepsTickingDuringMessagesButNotDuringErrorBoxes();
};

void TickSourceTest::lateTickIsFollowedByAFullInterval()
{
    QElapsedTimer clock;
    clock.start();
    TickSource source;
    QList<qint64> ticksAtNs;
    connect(&source, &TickSource::timer, this, [&] { ticksAtNs << clock.nsecsElapsed(); });
    // Keep the event loop busy across the first tick's due time, so it comes late.
    QTimer::singleShot(600, this, [] { QThread::msleep(900); });
    QVERIFY(QTest::qWaitFor([&] { return ticksAtNs.size() >= 3; }, 5000));

    QVERIFY2(ticksAtNs[0] >= 1400'000'000, "the first tick was not delayed");
    for (int i = 1; i < ticksAtNs.size(); ++i) {
        const qint64 interval = ticksAtNs[i] - ticksAtNs[i - 1];
        QVERIFY2(interval >= 1000'000'000, qPrintable(QString::number(interval)));
    }
}

// The platform reports the switch to another application and back as it would from the desktop.
void TickSourceTest::pausesWhileTheApplicationIsInactive()
{
    QWindowSystemInterface::handleApplicationStateChanged(Qt::ApplicationActive);
    QTRY_COMPARE(QGuiApplication::applicationState(), Qt::ApplicationActive);
    TickSource source;
    QSignalSpy ticks(&source, &TickSource::timer);
    QVERIFY(ticks.wait(1500));

    QWindowSystemInterface::handleApplicationStateChanged(Qt::ApplicationInactive);
    QTRY_COMPARE(QGuiApplication::applicationState(), Qt::ApplicationInactive);
    QTest::qWait(1500);
    QCOMPARE(ticks.size(), 1);

    QWindowSystemInterface::handleApplicationStateChanged(Qt::ApplicationActive);
    QTRY_COMPARE(QGuiApplication::applicationState(), Qt::ApplicationActive);
    QElapsedTimer sinceActive;
    sinceActive.start();
    QVERIFY(ticks.wait(2000));
    QVERIFY2(sinceActive.elapsed() >= 990, qPrintable(QString::number(sinceActive.elapsed())));
}

void TickSourceTest::keepsTickingDuringMessagesButNotDuringErrorBoxes()
{
    QTemporaryDir dir;
    const QString startDir = QDir::currentPath();
    QDir::setCurrent(dir.path()); // no Data.txt: "もう一回" will fail with an error box
    ModalBoxes boxes;
    TForm1 form;
    form.show();
    auto *source = form.findChild<TickSource *>(u"DXTimer1"_qs);
    QSignalSpy ticks(source, &TickSource::timer);
    int ticksDuringStartMessage = -1;
    int ticksDuringErrorBox = -1;
    boxes.onBox = [&](const BoxRecord &box) {
        const auto before = ticks.size();
        if (box.text == u"よーい……"_qs) {
            QTest::qWait(1200);
            ticksDuringStartMessage = int(ticks.size() - before);
        } else if (box.icon == QMessageBox::Critical && box.text.startsWith(u"リスト"_qs)) {
            QTest::qWait(2200);
            ticksDuringErrorBox = int(ticks.size() - before);
        }
    };
    QTest::mouseClick(form.findChild<QPushButton *>(u"Button1"_qs), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton *>(u"Button2"_qs), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton *>(u"Button3"_qs), Qt::LeftButton);
    QDir::setCurrent(startDir);

    QVERIFY(ticksDuringStartMessage >= 1);
    QCOMPARE(ticksDuringErrorBox, 0);
    // The tick that fell due while the error box was open comes at once, and only one.
    const auto afterBox = ticks.size();
    QTest::qWait(300);
    QCOMPARE(ticks.size(), afterBox + 1);
}

QTEST_MAIN(TickSourceTest)
#include "tst_ticksource.moc"

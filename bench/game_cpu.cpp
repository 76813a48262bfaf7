// One timed game through the real drill window, driven from inside: reports the CPU the whole
// process used while the countdown ran and the intervals between its ticks.
//
//   game_cpu [--limit N]     (default 30 s; Data.txt is written to a temporary directory)
// Prints one line: "cpu_percent=… wall_s=… ticks_ms=…".
//
// Boxes are answered from their Show event, never by polling, so the measurement sees only
// the drill's own work.
#include "BenchMeasure.h"
#include "TForm1.h"
#include "TickSource.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <private/qmetaobject_p.h>
#include <private/qobject_p.h>

#include <cstdio>
#include <functional>

namespace {

// Calls back with every message box as it opens, then clicks its first button.
class BoxAnswerer : public QObject {
public:
    std::function<void(const QString &text)> onBox;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            if (onBox)
                onBox(box->text());
            // Queued: the box's own event loop runs it once the box is up.
            QMetaObject::invokeMethod(box, [box] { box->buttons().constFirst()->click(); },
                                      Qt::QueuedConnection);
        }
        return false;
    }
};

// The drill's own handler runs first among the tick's connections and holds the last tick in
// its message boxes, so a slot connected here would see that tick late. Qt's signal-spy hook
// sees every tick as it is emitted, before any slot.
QObject *tickSource = nullptr;
int tickSignal = -1;
QElapsedTimer sinceStart;
QList<qint64> ticksNs;

void onSignal(QObject *caller, int signalIndex, void **)
{
    if (caller == tickSource && signalIndex == tickSignal)
        ticksNs << sinceStart.nsecsElapsed();
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "game_cpu: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int limit = 30;
    const QStringList args = QApplication::arguments();
    if (const qsizetype at = args.indexOf(u"--limit"_qs); at >= 0 && at + 1 < args.size())
        limit = args[at + 1].toInt();

    QTemporaryDir dir;
    QFile data(dir.filePath(u"Data.txt"_qs));
    if (!dir.isValid() || !data.open(QIODevice::WriteOnly) || data.write(QByteArray::number(limit)) < 0)
        fail("cannot write Data.txt");
    data.close();
    QDir::setCurrent(dir.path());

    BoxAnswerer answerer;
    app.installEventFilter(&answerer);
    TForm1 form;
    form.show();

    sinceStart.start();
    tickSource = form.findChild<TickSource *>(u"DXTimer1"_qs);
    tickSignal = QMetaObjectPrivate::signalIndex(QMetaMethod::fromSignal(&TickSource::timer));
    QSignalSpyCallbackSet hooks{onSignal, nullptr, nullptr, nullptr};
    qt_register_signal_spy_callbacks(&hooks);
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            std::fprintf(stderr, "game_cpu: the application went to the background (%.1f s)\n",
                         double(sinceStart.nsecsElapsed()) / 1e9);
    });

    CpuMeter meter;
    double cpuPercent = -1;
    double wallSeconds = 0;
    qsizetype firstGameTick = -1;
    qsizetype lastGameTick = -1;
    answerer.onBox = [&](const QString &text) {
        if (text == u"じかんぎれ"_qs) {
            cpuPercent = meter.percentOfOneCore();
            wallSeconds = meter.wallSeconds();
            lastGameTick = ticksNs.size() - 1; // the tick that ran out is already recorded
        } else if (text.endsWith(u"点でした。"_qs)) {
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
    };

    // The window is brought to the front first: coming back to the front restarts the tick
    // interval by design, which must not fall inside the game. After a settling time the game
    // starts the way a child starts it: the start button, then a click into the first answer
    // box (the blinking cursor there is part of a game's cost).
    form.activateWindow();
    QTimer::singleShot(1500, &form, [&] {
        form.findChild<QPushButton *>(u"Button1"_qs)->click();
        form.activateWindow();
        form.findChild<QLineEdit *>(u"Edit3"_qs)->setFocus();
        firstGameTick = ticksNs.size();
        meter.start();
    });
    QTimer::singleShot((limit + 15) * 1000, qApp, [] { fail("the game did not end in time"); });
    QApplication::exec();

    if (cpuPercent < 0 || firstGameTick < 0 || lastGameTick - firstGameTick + 1 != limit)
        fail("the game did not run its full count of ticks");
    // The gaps between the game's own ticks.
    std::printf("cpu_percent=%.4f wall_s=%.3f ticks_ms=%s\n", cpuPercent, wallSeconds,
                qPrintable(intervalsMs(ticksNs.mid(firstGameTick, limit))));
    return 0;
}

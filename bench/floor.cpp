// The floor the drill is measured against: a bare Qt Widgets window with the drill's widget
// count (20 line edits, 3 labels, 4 buttons, 10 picture labels, 5 progress bars) and a
// 1-second timer, nothing else.
//
//   floor                    shows the window until it is closed or killed
//   floor --cpu-seconds N    also reports its own CPU use and timer intervals over N seconds
//                            (after 1 s to settle) and quits: "cpu_percent=… ticks_ms=…"
#include "BenchMeasure.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int cpuSeconds = 0;
    const QStringList args = QApplication::arguments();
    if (const qsizetype at = args.indexOf(u"--cpu-seconds"_qs); at >= 0 && at + 1 < args.size())
        cpuSeconds = args[at + 1].toInt();

    QWidget window;
    window.setWindowTitle(u"floor"_qs);
    window.resize(776, 370);
    for (int i = 0; i < 20; ++i)
        (new QLineEdit(&window))->setGeometry(8 + 38 * i, 56, 36, 45);
    for (int i = 0; i < 3; ++i)
        (new QLabel(u"label"_qs, &window))->move(24, 16 + 40 * i);
    for (int i = 0; i < 4; ++i)
        (new QPushButton(u"button"_qs, &window))->setGeometry(520 + 120 * (i % 2), 280 + 40 * (i / 2), 121, 41);
    for (int i = 0; i < 10; ++i)
        (new QLabel(&window))->setGeometry(16 + 76 * i, 168, 33, 33);
    for (int i = 0; i < 5; ++i)
        (new QProgressBar(&window))->setGeometry(8 + 152 * i, 152, 145, 1);

    QTimer second;
    second.start(1000);
    window.show();
    if (cpuSeconds <= 0)
        return QApplication::exec();

    QElapsedTimer clock;
    clock.start();
    CpuMeter meter;
    QList<qint64> ticksNs;
    QObject::connect(&second, &QTimer::timeout, [&] { ticksNs << clock.nsecsElapsed(); });
    QTimer::singleShot(1000, [&] {
        ticksNs.clear();
        meter.start();
        QTimer::singleShot(cpuSeconds * 1000, [&] {
            std::printf("cpu_percent=%.4f ticks_ms=%s\n", meter.percentOfOneCore(),
                        qPrintable(intervalsMs(ticksNs)));
            QApplication::quit();
        });
    });
    return QApplication::exec();
}

#include "TickSource.h"

#include <QGuiApplication>

namespace {
constexpr qint64 nsPerMs = 1000000;
}

TickSource::TickSource(QObject *parent)
    : QObject(parent)
{
    // Re-armed from every tick: a repeating timer would keep its first schedule and follow a
    // late tick with a short interval.
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    connect(&wakeUp, &QTimer::timeout, this, &TickSource::onTimeout);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            &TickSource::onApplicationStateChanged);
    sincePreviousTick.start();
    wakeUp.start(intervalMs);
}

void TickSource::suspend()
{
    wakeUp.stop();
}

void TickSource::resume()
{
    armForRemainder();
}

void TickSource::onTimeout()
{
    if (sincePreviousTick.nsecsElapsed() < intervalMs * nsPerMs) {
        armForRemainder();
        return;
    }
    // Armed before the tick is delivered: a handler waiting in a message box keeps ticking.
    sincePreviousTick.start();
    wakeUp.start(intervalMs);
    emit timer();
}

void TickSource::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state != Qt::ApplicationActive) {
        wakeUp.stop();
        return;
    }
    sincePreviousTick.start();
    wakeUp.start(intervalMs);
}

void TickSource::armForRemainder()
{
    const qint64 remainingNs = intervalMs * nsPerMs - sincePreviousTick.nsecsElapsed();
    wakeUp.start(static_cast<int>(qMax<qint64>(0, (remainingNs + nsPerMs - 1) / nsPerMs)));
}

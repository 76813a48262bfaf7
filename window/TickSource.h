#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// A once-a-second tick that is never early: each tick comes at least one interval after the
// previous one, late ticks are not caught up, and nothing runs between ticks. It pauses while
// the application is in the background and restarts the interval when it comes back.
class TickSource : public QObject {
    Q_OBJECT
public:
    explicit TickSource(QObject *parent = nullptr);

    static constexpr int intervalMs = 1000;

    // Holds the ticks back (an error box is open); resume() lets the one that fell due come at once.
    void suspend();
    void resume();

signals:
    void timer();

private:
    void onTimeout();
    void onApplicationStateChanged(Qt::ApplicationState state);
    void armForRemainder();

    QTimer wakeUp;
    QElapsedTimer sincePreviousTick;
};

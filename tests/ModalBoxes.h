#pragma once

#include <QMessageBox>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

struct BoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QStringList buttons;
};

// Answers every modal message box as soon as it opens and records it, so that no test can
// hang on a box; any other modal window left open ends the test program within seconds. onBox runs while the box is still open: the place to look at the window then.
class ModalBoxes : public QObject {
    Q_OBJECT
public:
    ModalBoxes();

    std::function<void(const BoxRecord &)> onBox;
    QList<BoxRecord> records;

    [[nodiscard]] QStringList texts() const;
    // Waits (running events) until `count` boxes have been answered; false after a few seconds.
    [[nodiscard]] bool waitFor(qsizetype count, int timeoutMs = 5000) const;

private:
    void answerOpenBox();

    QTimer poll;
    QElapsedTimer stuckSince;
};

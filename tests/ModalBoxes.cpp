#include "ModalBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

ModalBoxes::ModalBoxes()
{
    connect(&poll, &QTimer::timeout, this, &ModalBoxes::answerOpenBox);
    poll.start(5);
}

QStringList ModalBoxes::texts() const
{
    QStringList result;
    for (const BoxRecord &record : records)
        result << record.text;
    return result;
}

bool ModalBoxes::waitFor(qsizetype count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return records.size() >= count; }, timeoutMs);
}

void ModalBoxes::answerOpenBox()
{
    QWidget *modal = QApplication::activeModalWidget();
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!modal || (box && !box->property("answered").toBool())) {
        stuckSince.invalidate();
    } else if (!stuckSince.isValid()) {
        stuckSince.start();
    } else if (stuckSince.elapsed() > 5000) {
        // A window nobody can answer would hang the test run: end it now, loudly.
        qFatal("a modal %s stayed open and could not be answered", modal->metaObject()->className());
    }
    if (!box || !box->isVisible() || box->property("answered").toBool())
        return;
    box->setProperty("answered", true);
    BoxRecord record{box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton *button : box->buttons())
        record.buttons << button->text();
    records << record;
    if (onBox)
        onBox(record);
    box->buttons().constFirst()->click();
}

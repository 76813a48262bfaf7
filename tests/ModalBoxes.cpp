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
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
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

#include "DrillTestCase.h"

#include "TickSource.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

void DrillTestCase::init()
{
    startDir = QDir::currentPath();
    dir.emplace();
    QVERIFY(QDir::setCurrent(dir->path()));
    boxes = std::make_unique<ModalBoxes>();
}

void DrillTestCase::cleanup()
{
    form.reset();
    boxes.reset();
    QDir::setCurrent(startDir);
    dir.reset();
}

void DrillTestCase::writeDataFile(const QByteArray &content) const
{
    QFile file(QDir::current().filePath(u"Data.txt"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

TForm1 &DrillTestCase::openForm()
{
    form = std::make_unique<TForm1>();
    form->findChild<TickSource *>(u"DXTimer1"_qs)->suspend();
    form->show();
    return *form;
}

void DrillTestCase::tick() const
{
    emit form->findChild<TickSource *>(u"DXTimer1"_qs)->timer();
}

void DrillTestCase::click(const QString &button) const
{
    QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
}

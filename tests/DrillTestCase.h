#pragma once

#include "ModalBoxes.h"
#include "TForm1.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// Where every window test starts: a working folder of its own (the drill reads Data.txt from
// the current folder), every message box answered and recorded, and the window once opened.
class DrillTestCase : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

protected:
    void writeDataFile(const QByteArray &content) const;
    // The window as the program shows it, with its own ticks held back: the tests deliver them.
    TForm1 &openForm();
    void tick() const;
    void click(const QString &button) const;
    template <typename T = QWidget> T *control(const QString &name) const
    {
        T *widget = form->findChild<T *>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }

    std::optional<QTemporaryDir> dir;
    QString startDir;
    std::unique_ptr<ModalBoxes> boxes;
    std::unique_ptr<TForm1> form;
};

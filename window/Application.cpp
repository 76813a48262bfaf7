#include "Application.h"

#include "MessageBoxes.h"
#include "TForm1.h"

#include <QApplication>

#include <memory>

int runDrill()
{
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>();
    } catch (const std::exception &error) {
        showLastChanceBox(error);
        return 1;
    }
    form->show();
    return QApplication::exec();
}

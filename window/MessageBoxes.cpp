#include "MessageBoxes.h"

#include "DrillError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <cxxabi.h>

#include <memory>
#include <typeinfo>

namespace {

void showBox(const QString &title, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, title, text);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton *ok = box.addButton(u"OK"_qs, QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

QString className(const std::exception &error)
{
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), &std::free);
    return QString::fromUtf8(status == 0 ? demangled.get() : typeid(error).name());
}

} // namespace

QString currentApplicationTitle()
{
    return applicationTitle(QCoreApplication::applicationFilePath());
}

void ShowMessage(const QString &text)
{
    showBox(currentApplicationTitle(), text, QMessageBox::NoIcon);
}

void showErrorBox(const QString &message)
{
    showBox(currentApplicationTitle(), withFullStop(message), QMessageBox::Critical);
}

void showLastChanceBox(const std::exception &error)
{
    const auto *drillError = dynamic_cast<const DrillError *>(&error);
    const QString message = drillError ? drillError->message() : QString::fromUtf8(error.what());
    const void *address = drillError ? drillError->address() : nullptr;
    const QString text = u"%1がモジュール %2 の %3 で発生しました。\n%4"_qs.arg(
        className(error), QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
        QString::number(reinterpret_cast<quintptr>(address), 16).toUpper().rightJustified(
            2 * sizeof(void *), u'0'),
        withFullStop(message));
    showBox(u"アプリケーション エラー"_qs, text, QMessageBox::Critical);
}

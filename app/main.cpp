#include "Application.h"

#include <QApplication>

#include <cstdio>

namespace {
// Qt's own report of a missing display is a multi-line plugin dump; say it plainly instead.
bool displayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("kerunopi: no display to show the window on (DISPLAY is not set)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    // Lets Wayland desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(u"io.github.kerunopi.Kerunopi"_qs);
    return runDrill();
}

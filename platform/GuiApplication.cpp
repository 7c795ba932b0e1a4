#include "platform/Gdi.h"

#include <QApplication>

#include <cstdlib>

void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "quillmere";
    static char* argv[] = {name, nullptr};
    // Lives for the rest of the process: fonts and images created from it stay valid.
    new QApplication(argc, argv);
}

#include "platform/Gdi.h"

#include <QApplication>

#include <cstdlib>

namespace {
constexpr const char* NoShmVariable = "QT_XCB_NO_MITSHM";
}

void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // On X the toolkit hands window pixels to the server through shared memory, and before it
    // draws over pixels it handed over it waits for the server to answer: a round trip that
    // wakes two threads. Windows here change a few small areas at a time (the splash moves a
    // picture twice a second), which go over the connection as cheaply.
    // The toolkit reads the setting once, when it connects to the display; the programs this
    // one starts (the browser showing the read-me) must not inherit it. A value the user set
    // is theirs, and stays.
    const bool ownShmSetting = !std::getenv(NoShmVariable);
    if (ownShmSetting)
        setenv(NoShmVariable, "1", 1);
    static int argc = 1;
    static char name[] = "quillmere";
    static char* argv[] = {name, nullptr};
    // Lives for the rest of the process: fonts and images created from it stay valid.
    new QApplication(argc, argv);
    if (ownShmSetting)
        unsetenv(NoShmVariable);
}

#include "platform/Windowing.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(r);
    return a;
}

// A modal window of the toolkit's own (a file, colour or print dialog, a message box) ends
// as its close box would end it, as the program's own dialogs end on such a request. False
// when the modal window is the program's.
bool CloseToolkitModal(QWindow* modal)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == modal && !WindowFromWidget(w)) {
            QPointer<QWidget> dialog(w);
            QTimer::singleShot(0, w, [dialog] {
                if (dialog)
                    dialog->close();
            });
            return true;
        }
    return false;
}

// The toolkit drops the window manager's close request for a window that a modal one blocks;
// the program hears it as WM_CLOSE all the same, and the form decides (it ends the modal one).
class BlockedCloseFilter : public QAbstractNativeEventFilter {
public:
    BlockedCloseFilter(xcb_connection_t* c) : FProtocols(Atom(c, "WM_PROTOCOLS")), FDelete(Atom(c, "WM_DELETE_WINDOW")) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto* e = static_cast<xcb_generic_event_t*>(message);
        if ((e->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        auto* cm = reinterpret_cast<xcb_client_message_event_t*>(e);
        if (cm->format != 32 || cm->type != FProtocols || cm->data.data32[0] != FDelete)
            return false;
        QWindow* modal = QGuiApplication::modalWindow();
        if (!modal || modal->winId() == cm->window)
            return false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->internalWinId() == cm->window)
                if (HWND h = WindowFromWidget(w)) {
                    if (!CloseToolkitModal(modal))
                        PostMessage(h, WM_CLOSE, 0, 0);
                    return true;
                }
        return false;
    }

private:
    xcb_atom_t FProtocols;
    xcb_atom_t FDelete;
};

} // namespace

void WatchBlockedCloseRequests()
{
    static bool installed = false;
    if (installed)
        return;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    installed = true;
    qGuiApp->installNativeEventFilter(new BlockedCloseFilter(x11->connection()));
}

bool CloseToolkitModalWindow()
{
    QWindow* modal = qGuiApp ? QGuiApplication::modalWindow() : nullptr;
    return modal && CloseToolkitModal(modal);
}

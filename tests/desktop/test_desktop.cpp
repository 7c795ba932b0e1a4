// The program's windows on a real X server with a window manager (Xvfb and openbox, both
// started here in a temporary home, on a display the server picks or the first free one of
// those QM_TEST_DISPLAYS names), as a user meets them.
#include <gtest/gtest.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include "app/AppTestSupport.h"
#include "common/TempFolder.h"
#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

namespace {
using namespace apptest;

// Started with the test process's environment; ends when the test process does, however it ends.
pid_t Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid < 0 ? 0 : pid;
}

void Stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

template <class Pred> bool WaitFor(Pred done, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// The display number an X server writes on fd once it is ready, as ":N"; empty when it writes
// none within ms.
std::string ReadDisplayName(int fd, int ms)
{
    std::string number;
    pollfd p{fd, POLLIN, 0};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        char c[16];
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
            return {};
        const ssize_t n = read(fd, c, sizeof c);
        if (n <= 0)
            return {};
        number.append(c, std::size_t(n));
    }
    number.erase(number.find('\n'));
    return number.empty() ? number : ":" + number;
}

// The displays an X server is started on, one after another until one is free: the server's
// own choice (the first free display) unless a range is named, as "200-299" or "200", for a
// host that other X servers share. None for a text that names no range.
std::vector<std::string> DisplaysToTry(const std::string& range)
{
    if (range.empty())
        return {""};
    int first = -1, last = -1;
    char dash = 0, rest = 0;
    const int parts = std::sscanf(range.c_str(), "%d%c%d%c", &first, &dash, &last, &rest);
    if (parts == 1)
        last = first;
    else if (parts != 3 || dash != '-')
        return {};
    std::vector<std::string> displays;
    for (int d = first; first >= 0 && d <= last; ++d)
        displays.push_back(":" + std::to_string(d));
    return displays;
}

struct XSession {
    std::filesystem::path Home;
    std::string Display;
    pid_t Server = 0;
    pid_t Manager = 0;
};

XSession& Session()
{
    static XSession s;
    return s;
}

std::vector<QPointer<QTimer>>& Polls()
{
    static std::vector<QPointer<QTimer>> polls;
    return polls;
}

// Ends every poll still running: they refer to the caller's variables and forms.
void StopPolls()
{
    for (QPointer<QTimer>& t : Polls())
        delete t.data();
    Polls().clear();
}

// Runs check on the event loop every 20 ms until it returns true or ms pass; then gives up.
void Poll(std::function<bool()> check, int ms, std::function<void()> onTimeout)
{
    auto* t = new QTimer;
    Polls().push_back(t);
    const DWORD start = EventLoopTicks();
    QObject::connect(t, &QTimer::timeout, [t, start, ms, check = std::move(check), onTimeout = std::move(onTimeout)] {
        if (check()) {
            t->deleteLater();
            t->stop();
        } else if (EventLoopTicks() - start > static_cast<DWORD>(ms)) {
            t->stop();
            t->deleteLater();
            onTimeout();
        }
    });
    t->start(20);
}

// Pumps the program's messages and the toolkit's events until done() or ms pass.
bool WaitUntil(const std::function<bool()>& done, int ms)
{
    const DWORD start = EventLoopTicks();
    while (!done()) {
        if (EventLoopTicks() - start > static_cast<DWORD>(ms))
            return false;
        WaitAndPumpMessages(EventLoopTicks() + 20);
    }
    return true;
}

QWidget* Widget(TWinControl* c) { return WindowWidget(c->Handle()); }

xcb_connection_t* Connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

xcb_atom_t Atom(const char* name)
{
    xcb_connection_t* c = Connection();
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(r);
    return a;
}

// True once the window manager has dealt with every request made before the call, and the
// toolkit with what the manager did to its windows then. The manager answers a request for the
// frame a window would get (as the desktop conventions oblige it to) in turn with the others,
// and its answer reaches the toolkit's connection after the events those others caused.
bool WindowManagerCaughtUp()
{
    struct Answer : QAbstractNativeEventFilter {
        xcb_window_t Probe = 0;
        xcb_atom_t Extents = XCB_ATOM_NONE;
        bool Seen = false;
        bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override
        {
            const auto* e = static_cast<const xcb_property_notify_event_t*>(message);
            if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && e->window == Probe && e->atom == Extents)
                Seen = true;
            return false;
        }
    };
    static Answer answer;
    xcb_connection_t* c = Connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!answer.Probe) {
        // A window of the test's own, never mapped: the manager answers for it without managing it.
        answer.Probe = xcb_generate_id(c);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, answer.Probe, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
        answer.Extents = Atom("_NET_FRAME_EXTENTS");
        qApp->installNativeEventFilter(&answer);
    }
    answer.Seen = false;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = answer.Probe;
    ev.type = Atom("_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    if (!WaitUntil([] { return answer.Seen; }, 10000))
        return false;
    // The toolkit hands what those events changed to its windows on the next pass of its loop.
    QCoreApplication::processEvents();
    return true;
}

// A form counts as on screen when its window is mapped and exposed and has the keyboard, and
// stays so: a window shown, hidden and shown again (the print settings, laid out before they
// are shown) is mapped by the window manager and taken back again before it is mapped for good.
bool OnScreen(TCustomForm* f)
{
    const auto shown = [f] {
        QWidget* w = f->HandleAllocated() ? Widget(f) : nullptr;
        return w && w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed() &&
               QGuiApplication::focusWindow() == w->windowHandle();
    };
    return shown() && WindowManagerCaughtUp() && shown();
}

class DesktopTest : public ProgramTest {
public:
    // One X session for the whole run: the toolkit keeps its connection to the end.
    static void SetUpTestSuite()
    {
        XSession& s = Session();
        if (s.Server)
            return;
        std::atexit(StopSession);
        s.Home = commontest::MakeTempDir("quillmere-desktop");
        ASSERT_FALSE(s.Home.empty());
        for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            setenv(var, s.Home.c_str(), 1);
        std::filesystem::create_directories(s.Home / "run");
        std::filesystem::permissions(s.Home / "run", std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (s.Home / "run").c_str(), 1);
        const char* range = std::getenv("QM_TEST_DISPLAYS");
        const std::vector<std::string> displays = DisplaysToTry(range ? range : "");
        ASSERT_FALSE(displays.empty()) << "QM_TEST_DISPLAYS=" << range << " names no displays (as 200-299 or 200)";
        for (const std::string& display : displays) {
            // The server names its display once it accepts connections, and ends at once when
            // the display is taken: a display found free here could be taken before it starts.
            int named[2];
            ASSERT_EQ(pipe(named), 0);
            fcntl(named[0], F_SETFD, FD_CLOEXEC);
            std::vector<std::string> args{"Xvfb"};
            if (!display.empty())
                args.push_back(display);
            // Without -noreset the server starts over each time its last client leaves (a probe
            // below that ends before the window manager has connected), and refuses a client
            // that connects meanwhile.
            args.insert(args.end(), {"-displayfd", std::to_string(named[1]), "-noreset", "-nolisten", "tcp",
                                     "-screen", "0", "1280x1024x24"});
            s.Server = Spawn(args);
            close(named[1]);
            s.Display = ReadDisplayName(named[0], 10000);
            close(named[0]);
            if (!s.Display.empty())
                break;
            Stop(s.Server);
        }
        ASSERT_FALSE(s.Display.empty()) << "no X server started"
                                        << (range ? std::string(" on a display of ") + range : std::string());
        setenv("DISPLAY", s.Display.c_str(), 1);
        // A manager that gave up at its start (the machine too busy to answer it) is started
        // again, a few times at most.
        bool managing = false;
        for (int attempt = 0; attempt < 3 && !managing; ++attempt) {
            const pid_t manager = Spawn({"openbox", "--sm-disable"});
            ASSERT_NE(manager, 0) << "no window manager";
            bool exited = false;
            managing = WaitFor(
                [&] {
                    exited = waitpid(manager, nullptr, WNOHANG) == manager;
                    return exited || Capture("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") !=
                                         std::string::npos;
                },
                10000) &&
                       !exited;
            s.Manager = exited ? 0 : manager;
            if (!managing)
                Stop(s.Manager);
        }
        ASSERT_TRUE(managing) << "the window manager did not start";
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }

    static void StopSession()
    {
        XSession& s = Session();
        Stop(s.Manager);
        Stop(s.Server);
        std::error_code ec;
        std::filesystem::remove_all(s.Home, ec);
    }

protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Form1->Show();
        ASSERT_TRUE(WaitUntil([] { return OnScreen(Form1); }, 5000));
    }

    // Runs the menu handler; once form is on screen, act runs; a form that never gets there,
    // or that act does not end, is cancelled so the handler returns. True when act ran and the
    // form ended without that.
    static bool WhileOnScreen(TCustomForm* form, const std::function<void()>& handler,
                              const std::function<void()>& act)
    {
        bool ran = false;
        Poll([&] {
            if (!OnScreen(form))
                return false;
            ran = true;
            act();
            return true;
        },
             5000, [form] {
                 QWidget* w = Widget(form);
                 ADD_FAILURE() << form->Name() << " never on screen: visible " << w->isVisible() << ", exposed "
                               << (w->windowHandle() && w->windowHandle()->isExposed()) << ", active "
                               << (w->windowHandle() && w->windowHandle()->isActive());
                 form->SetModalResult(mrCancel);
             });
        // Whatever act did, the modal window must end within this time.
        bool forced = false;
        Poll([form] { return !form->Visible(); }, 15000, [form, &forced] {
            forced = true;
            form->SetModalResult(mrCancel);
        });
        handler();
        StopPolls();
        return ran && !forced;
    }
};

TEST_F(DesktopTest, PrintPreviewIsOnScreenEveryTimeAndAnswersEscape)
{
    int onScreen = 0;
    int endedByEscape = 0;
    for (int i = 0; i < 100; ++i) {
        bool escaped = false;
        if (WhileOnScreen(
                PrintMemForm, [] { Form1->PrintMenuClick(nullptr); },
                [&] {
                    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
                    escaped = !PrintMemForm->Visible() || PrintMemForm->ModalResult() == mrCancel;
                }))
            ++onScreen;
        if (escaped)
            ++endedByEscape;
    }
    EXPECT_EQ(onScreen, 100);
    EXPECT_EQ(endedByEscape, 100);
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(2)->Text(), "Printing canceled.");
}

// _MOTIF_WM_HINTS: flags, functions, decorations, ...
std::vector<unsigned long> MotifHints(const std::string& xprop)
{
    std::vector<unsigned long> v;
    size_t at = xprop.find('=');
    while (at != std::string::npos && (at = xprop.find("0x", at)) != std::string::npos) {
        v.push_back(std::stoul(xprop.substr(at), nullptr, 16));
        at += 2;
    }
    return v;
}

TEST_F(DesktopTest, ModalDialogIsTransientOffersCloseOnlyAndLeavesTheMainWindowsLook)
{
    std::string actions, motif, state, transient, mainId;
    bool mainLooksEnabled = false;
    bool checkBoxLooksEnabled = false;
    bool backAfterMinimise = false;
    ASSERT_TRUE(WhileOnScreen(FindForm, [] { Form1->FindMenuClick(nullptr); }, [&] {
        const std::string id = std::to_string(Widget(FindForm)->winId());
        actions = Capture("xprop -id " + id + " _NET_WM_ALLOWED_ACTIONS");
        motif = Capture("xprop -id " + id + " _MOTIF_WM_HINTS");
        state = Capture("xprop -id " + id + " _NET_WM_STATE");
        transient = Capture("xprop -id " + id + " WM_TRANSIENT_FOR");
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(Widget(Form1)->winId()));
        mainId = hex;
        mainLooksEnabled = Widget(Form1)->isEnabled();
        checkBoxLooksEnabled = Form1->MenuValue_setting->NativeWidget()->isEnabled();
        // Minimised all the same (by a key of the window manager), it comes back to be answered.
        Widget(FindForm)->windowHandle()->showMinimized();
        Poll([&] {
            if (!OnScreen(FindForm) || (Widget(FindForm)->windowState() & Qt::WindowMinimized))
                return false;
            backAfterMinimise = true;
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
            return true;
        },
             5000, [] {});
    }));
    const std::vector<unsigned long> hints = MotifHints(motif);
    ASSERT_GE(hints.size(), 3u) << motif;
    EXPECT_EQ(hints[1] & 0x38, 0x20u) << motif;        // functions: close, no minimise or maximise
    EXPECT_EQ(hints[2] & 0x60, 0u) << motif;           // decorations: no minimise or maximise button
    EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
    EXPECT_NE(state.find("_NET_WM_STATE_MODAL"), std::string::npos) << state;
    EXPECT_NE(transient.find(mainId), std::string::npos) << transient << " main " << mainId;
    EXPECT_TRUE(backAfterMinimise);
    EXPECT_TRUE(mainLooksEnabled);
    EXPECT_TRUE(checkBoxLooksEnabled);
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(2)->Text(), "Search action canceled.");
}

// A message of the given type about window w, with a first value and the current time: sent
// to w itself, or to the root window, where the window manager hears requests.
void SendClientMessage(QWidget* w, const char* type, uint32_t first, bool toRoot)
{
    xcb_connection_t* c = Connection();
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(w->winId());
    ev.type = Atom(type);
    ev.data.data32[0] = first;
    ev.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_window_t to = toRoot ? xcb_setup_roots_iterator(xcb_get_setup(c)).data->root : ev.window;
    xcb_send_event(c, 0, to,
                   toRoot ? XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY : XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

// The message a window manager sends when the user closes the window (Alt+F4, the close box).
void RequestClose(QWidget* w)
{
    SendClientMessage(w, "WM_PROTOCOLS", Atom("WM_DELETE_WINDOW"), false);
}

TEST_F(DesktopTest, CloseRequestForTheMainWindowEndsTheModalWindow)
{
    FileChanged = true;
    ASSERT_TRUE(WhileOnScreen(PrintMemForm, [] { Form1->PrintMenuClick(nullptr); }, [] { RequestClose(Widget(Form1)); }));
    EXPECT_FALSE(PrintMemForm->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(ShownBoxes().empty()) << ShownBoxes().front().Text;
    EXPECT_FALSE(Form1->CloseAfterAction());
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(2)->Text(), "Printing canceled.");
}

TEST_F(DesktopTest, HintsShowAsTooltipsAndAltLetterMovesTheFocus)
{
    auto tipOver = [](TWinControl* parent, const TControl* c) {
        POINT p{c->Left() + c->Width() / 2, c->Top() + c->Height() / 2};
        if (c == parent)
            p = POINT{c->Width() / 2, c->Height() / 2};
        ClientToScreen(parent->Handle(), &p);
        QToolTip::hideText();
        WaitUntil([] { return !QToolTip::isVisible(); }, 2000);
        QCursor::setPos(p.x + 1, p.y);
        QCursor::setPos(p.x, p.y);
        std::string shown;
        WaitUntil(
            [&] {
                shown = QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
                return !shown.empty();
            },
            4000);
        return shown;
    };
    EXPECT_EQ(tipOver(Form1->MemChanRXButton->Parent(), Form1->MemChanRXButton), "Get memory channels from radio");
    const std::string gridTip = tipOver(Form1->MemGrid, Form1->MemGrid);
    EXPECT_EQ(gridTip, Form1->MemGrid->Hint());
    EXPECT_EQ(gridTip.rfind("Use right mouse button for more options", 0), 0u) << gridTip;

    Form1->Description->SetFocus();
    ASSERT_TRUE(WaitUntil([] { return GetFocus() == Form1->Description->Handle(); }, 2000));
    const std::string description = Form1->Description->Text();
    const std::string memory = Form1->MemEdit->Text();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
    WaitUntil([] { return GetFocus() == Form1->MemEdit->Handle(); }, 2000);
    EXPECT_EQ(GetFocus(), Form1->MemEdit->Handle());
    EXPECT_EQ(Form1->Description->Text(), description);
    EXPECT_EQ(Form1->MemEdit->Text(), memory);
}

// What a user sees of a control: its pixels on the X screen, once everything is drawn.
QImage OnScreenPixels(TWinControl* c)
{
    QWidget* w = Widget(c);
    w->window()->repaint();
    // Placed relative to its own window, which the server places: the toolkit may not yet know
    // where the window manager has moved the window, and would name pixels beside it.
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height())
        .toImage();
}

TWinControl* ControlOf(TCustomForm* form, HWND h)
{
    std::vector<TWinControl*> all;
    form->GetTabOrderList(all);
    for (TWinControl* c : all)
        if (c->HandleAllocated() && c->Handle() == h)
            return c;
    return nullptr;
}

// A control as a failure names it: a radio group's buttons by their place in the group.
std::vector<std::string> Names(const std::vector<TWinControl*>& controls)
{
    std::vector<std::string> names;
    for (const TWinControl* c : controls)
        names.push_back(!c->Name().empty() ? c->Name() : c->Parent()->Name() + "/" + std::to_string(c->TabOrder()));
    return names;
}

TEST_F(DesktopTest, DialogsOpenedByKeysShowTheFocusAndTabVisitsEachGroupOnce)
{
    using KeyList = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;
    struct Dialog {
        const char* Name;
        KeyList Open;
        std::function<TCustomForm*()> Form;
        // The Tab stops in order, the first one focused at once.
        std::function<std::vector<TWinControl*>()> Stops;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Dialog dialogs[] = {
        {"Find", {{Qt::Key_F, Qt::ControlModifier}}, [] { return FindForm; },
         [] {
             return std::vector<TWinControl*>{FindForm->SearchStr, FindForm->RadioGroup1->Buttons(0),
                                              FindForm->RadioGroup2->Buttons(0), FindForm->BitBtn1, FindForm->BitBtn2};
         }},
        {"Communication", {{Qt::Key_E, Qt::AltModifier}, {Qt::Key_C, none}}, [] { return ComportSettingsForm; },
         [] {
             auto* f = ComportSettingsForm;
             return std::vector<TWinControl*>{f->ComPortSelect, f->BaudRateSelect, f->DataBitsSelect, f->StopBitsSelect,
                                              f->ParitySelect, f->HardwareRadioButton, f->OKButton, f->CancelButton};
         }},
        {"Options", {{Qt::Key_E, Qt::AltModifier}, {Qt::Key_O, none}}, [] { return OptionsForm; },
         [] {
             auto* f = OptionsForm;
             std::vector<TWinControl*> stops{f->Edit1,    f->BrowseButton2, f->OnStartup,   f->RadioButton2,
                                             f->OKButton, f->CancelButton,  f->SplashScreenCheckBox};
             if (f->FileAssociationCheckBox->Enabled())
                 stops.push_back(f->FileAssociationCheckBox);
             return stops;
         }},
        {"Radio Type", {{Qt::Key_E, Qt::AltModifier}, {Qt::Key_Return, none}}, [] { return RadioTypeForm; },
         [] {
             auto* f = RadioTypeForm;
             return std::vector<TWinControl*>{f->TypeSelect,        f->AutoDetectRadio, f->HelpRxDelayButton,
                                              f->RxDelaySelect,     f->AutoDetectRxDelay, f->HelpTxDelayButton,
                                              f->TxDelaySelect,     f->OKButton,        f->CancelButton};
         }},
        {"Print Settings", {{Qt::Key_P, Qt::ControlModifier}}, [] { return PrintMemForm; },
         [] { return std::vector<TWinControl*>{PrintMemForm->PageControl1, PrintMemForm->MainFontComboBox}; }},
        {"About", {{Qt::Key_I, Qt::AltModifier}, {Qt::Key_A, none}}, [] { return AboutForm; },
         [] { return std::vector<TWinControl*>{AboutForm->OkButton, AboutForm->Memo1}; }},
        {"Disclaimer", {{Qt::Key_I, Qt::AltModifier}, {Qt::Key_D, none}}, [] { return DisclaimForm; },
         [] { return std::vector<TWinControl*>{DisclaimForm->BitBtn1}; }},
    };
    // Keys typed at the active window; after Alt and a letter the menu it opens has the next.
    auto type = [](const KeyList& keys) {
        for (const auto& [key, mods] : keys) {
            if (QWidget* popup = QApplication::activePopupWidget())
                QTest::keyClick(popup, key, mods);
            else
                QTest::keyClick(QGuiApplication::focusWindow(), key, mods);
            if (mods == Qt::AltModifier)
                WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 2000);
        }
    };
    // Once the dialog is on screen: the stops from the one focused at once, round by Tab.
    auto tabRound = [](TCustomForm* form, std::vector<TWinControl*>& visited) {
        // The window manager makes the window active first; the focus reaches the control after.
        if (!WaitUntil([form] { return ControlOf(form, GetFocus()) != nullptr; }, 5000)) {
            QWidget* active = QApplication::activeWindow();
            QWidget* popup = QApplication::activePopupWidget();
            QWidget* focus = QApplication::focusWidget();
            ADD_FAILURE() << form->Name() << " is active but no control of it has the focus: active window "
                          << (active ? active->metaObject()->className() : "none") << (active == Widget(form) ? " (it)" : "")
                          << ", popup " << (popup ? popup->metaObject()->className() : "none") << ", focus "
                          << (focus ? focus->metaObject()->className() : "none") << ", its focus child "
                          << (Widget(form)->focusWidget() ? Widget(form)->focusWidget()->metaObject()->className() : "none");
            return;
        }
        std::vector<QImage> focused;
        for (TWinControl* c = ControlOf(form, GetFocus()); c && visited.size() < 20; c = ControlOf(form, GetFocus())) {
            if (!visited.empty() && c == visited.front())
                break;
            visited.push_back(c);
            // Not cut off at its bottom edge (as by two rows of tabs above it).
            EXPECT_TRUE(c->Top() >= 0 && c->Top() + c->Height() <= c->Parent()->ClientHeight())
                << Names({c})[0] << " cut off by " << c->Parent()->Name();
            focused.push_back(OnScreenPixels(c));
            const HWND was = GetFocus();
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
            WaitUntil([was] { return GetFocus() != was; }, 500);
        }
        // The same controls without the focus anywhere: a marked stop looks different.
        QWidget* focus = QApplication::focusWidget();
        if (!focus) {
            ADD_FAILURE() << form->Name() << " lost the focus during the Tab round";
            return;
        }
        focus->clearFocus();
        for (size_t i = 0; i < visited.size(); ++i)
            if (OnScreenPixels(visited[i]) == focused[i])
                ADD_FAILURE() << "no focus mark on " << Names({visited[i]})[0];
        // In a group the arrows move the check and the focus; back again, all is as it was.
        for (TWinControl* c : visited)
            if (auto* r = dynamic_cast<TRadioButton*>(c)) {
                r->SetFocus();
                QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Right);
                auto* to = dynamic_cast<TRadioButton*>(ControlOf(form, GetFocus()));
                EXPECT_TRUE(to && to->Parent() == r->Parent() && to->Checked() && !r->Checked())
                    << "Right from " << Names({r})[0];
                QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Left);
                EXPECT_TRUE(r->Checked() && r->Focused()) << "Left back to " << Names({r})[0];
            }
    };
    // A steady caret: a text field's focus mark must not be caught between two blinks.
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    // The start-up choices can be reached only when a start-up action is on; the second is chosen.
    AutoVink = true;
    AutoLoadOption = 2;
    // Twice: a dialog opens at its first stop again, wherever the focus was when it closed.
    for (int round = 1; round <= 2; ++round)
        for (const Dialog& d : dialogs) {
            SCOPED_TRACE(std::string(d.Name) + ", round " + std::to_string(round));
            TCustomForm* form = d.Form();
            std::vector<TWinControl*> visited;
            bool ran = false;
            Poll([&] {
                if (!OnScreen(form))
                    return false;
                ran = true;
                tabRound(form, visited);
                QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
                return true;
            },
                 10000, [form] {
                     ADD_FAILURE() << form->Name() << " never on screen";
                     form->SetModalResult(mrCancel);
                 });
            ASSERT_TRUE(WaitUntil([] { return OnScreen(Form1); }, 10000));
            type(d.Open);
            WaitUntil([&] { return ran; }, 12000);
            StopPolls();
            if (form->Visible())
                form->Close();
            EXPECT_TRUE(ran);
            EXPECT_EQ(Names(visited), Names(d.Stops()));
        }
    QApplication::setCursorFlashTime(flash);
}

TEST_F(DesktopTest, CloseRequestDuringTheFileDialogEndsTheDialogNotTheProgram)
{
    IFileDialogService* fake = InstallFileDialogService(&QtFileDialogService());
    bool up = false;
    bool endedByRequest = false;
    Poll([&] {
        QPointer<QWidget> dialog = QApplication::activeModalWidget();
        if (!dialog || WindowFromWidget(dialog) || !dialog->windowHandle()->isExposed() || !dialog->isActiveWindow())
            return false;
        up = true;
        RequestClose(Widget(Form1));
        // As the program's own dialogs do, it ends at once; else the user presses Escape.
        endedByRequest = WaitUntil([&] { return !dialog || !dialog->isVisible(); }, 2000);
        if (!endedByRequest)
            QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
    },
         5000, [] {
             ADD_FAILURE() << "no file dialog on screen";
             if (QWidget* w = QApplication::activeModalWidget())
                 w->close();
         });
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F2);
    StopPolls();
    // Whatever the request left behind has had its time to act.
    WaitUntil([] { return false; }, 500);
    InstallFileDialogService(fake);
    EXPECT_TRUE(up);
    EXPECT_TRUE(endedByRequest);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Application->Terminated());
    EXPECT_TRUE(ShownBoxes().empty()) << ShownBoxes().front().Text;
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(2)->Text(), "Load file canceled.");
}


// A window's id as xprop writes it.
std::string HexId(TCustomForm* f)
{
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(Widget(f)->winId()));
    return hex;
}

// Where xprop's text names the window id (not an id that merely begins with it); npos if nowhere.
size_t WholeIdAt(const std::string& text, const std::string& id)
{
    for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at + 1))
        if (at + id.size() == text.size() || !std::isxdigit(static_cast<unsigned char>(text[at + id.size()])))
            return at;
    return std::string::npos;
}

// The toolkit's file dialog once it is on screen and has the keyboard; else null.
QWidget* ActiveFileDialog()
{
    QWidget* dialog = QApplication::activeModalWidget();
    const bool up = dialog && !WindowFromWidget(dialog) && dialog->windowHandle()->isExposed() && dialog->isActiveWindow();
    return up ? dialog : nullptr;
}

// After the toolkit's file dialog, opened by File > Open or Save As and cancelled, a typed key
// lands in the control that had the focus, where its caret was.
TEST_F(DesktopTest, CancelledFileDialogGivesTheFocusBack)
{
    IFileDialogService* fake = InstallFileDialogService(&QtFileDialogService());
    const ScopeExit putBack([fake] { InstallFileDialogService(fake); });
    const std::pair<const char*, void (TForm1::*)(TObject*)> menus[] = {{"Open", &TForm1::LoadMenuClick},
                                                                        {"Save As", &TForm1::SaveAsClick}};
    Form1->Description->SetText("club");
    for (const auto& [name, handler] : menus) {
        SCOPED_TRACE(name);
        Form1->Description->SetFocus();
        ASSERT_TRUE(WaitUntil([] { return GetFocus() == Form1->Description->Handle(); }, 2000));
        const std::string before = Form1->Description->Text();
        Form1->Description->SetSelStart(static_cast<int>(before.size()));
        bool up = false;
        std::string transient;
        Poll([&up, &transient] {
            QWidget* dialog = ActiveFileDialog();
            if (dialog) {
                up = true;
                transient = Capture("xprop -id " + std::to_string(dialog->winId()) + " WM_TRANSIENT_FOR");
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
            return up;
        },
             5000, [] {
                 if (QWidget* w = QApplication::activeModalWidget())
                     w->close();
             });
        (Form1->*handler)(nullptr);
        StopPolls();
        EXPECT_TRUE(up);
        EXPECT_NE(WholeIdAt(transient, HexId(Form1)), std::string::npos) << "the dialog belongs to the main window: " << transient;
        ASSERT_TRUE(WaitUntil([] { return OnScreen(Form1); }, 5000));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_S);
        EXPECT_EQ(Form1->Description->Text(), before + "s");
    }
}

// What a click on a window does, asked of the window manager as a pager asks it (source 2:
// the user's own request).
void RequestActivation(QWidget* w) { SendClientMessage(w, "_NET_ACTIVE_WINDOW", 2, true); }


// About, Disclaimer and the splash belong to the main window: the window manager keeps each
// above it, also once the main window is made active again (as by a click on it).
TEST_F(DesktopTest, InfoWindowsStayAboveTheMainWindow)
{
    Application->SetMainForm(Form1);
    const ScopeExit noMain([] { Application->SetMainForm(nullptr); });
    const std::pair<void (TForm1::*)(TObject*), TCustomForm*> windows[] = {
        {&TForm1::AboutMenuClick, AboutForm}, {&TForm1::Disclaimer1Click, DisclaimForm}, {&TForm1::SplashMenuClick, SplashForm}};
    const std::string main = HexId(Form1);
    for (const auto& [handler, shown] : windows) {
        TCustomForm* const form = shown; // a lambda may not capture a structured binding
        SCOPED_TRACE(form->Name());
        (Form1->*handler)(nullptr);
        ASSERT_TRUE(WaitUntil([form] { return OnScreen(form); }, 5000));
        const std::string id = HexId(form);
        const std::string transient = Capture("xprop -id " + id + " WM_TRANSIENT_FOR");
        EXPECT_NE(WholeIdAt(transient, main), std::string::npos) << transient << " main " << main;
        RequestActivation(Widget(Form1));
        ASSERT_TRUE(WaitUntil([] { return OnScreen(Form1); }, 5000));
        const std::string stacking = Capture("xprop -root _NET_CLIENT_LIST_STACKING");
        ASSERT_NE(WholeIdAt(stacking, id), std::string::npos) << stacking << " this " << id;
        EXPECT_GT(WholeIdAt(stacking, id), WholeIdAt(stacking, main)) << stacking << " main " << main << " this " << id;
        form->Close();
    }
}

} // namespace

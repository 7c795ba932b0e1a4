#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/Messages.h"
#include "platform/Windowing.h"

namespace {
// Replaces the process-wide hooks for one test and gives the adaptor its own back after.
struct HookScope {
    ~HookScope()
    {
        SetWindowProcChangedHook(nullptr);
        SetWindowDestroyedHook(nullptr);
        if (QCoreApplication::instance())
            InitWindowAdaptor();
    }
};
} // namespace

TEST(WindowHooks, ProcChangeAndDestroyReachTheHooks)
{
    HookScope scope;
    std::vector<std::string> log;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_NCDESTROY)
            log.push_back("ncdestroy");
        return DefWindowProc(w, m, wp, lp);
    }));
    SetWindowProcChangedHook([&](HWND w) { log.push_back(w == h ? "changed" : "changed other"); });
    SetWindowDestroyedHook([&](HWND w) { log.push_back(IsWindow(w) ? "destroyed valid" : "destroyed invalid"); });

    WNDPROC old = GetWindowLong(h, GWL_WNDPROC);
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc(DefWindowProc));
    // Failed installs are not changes.
    EXPECT_EQ(SetWindowLong(h, GWL_WNDPROC, WNDPROC()), nullptr);
    HWND gone = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    DestroyWindow(gone);
    log.clear();
    SetWindowLong(gone, GWL_WNDPROC, old);
    EXPECT_TRUE(log.empty());

    SetWindowLong(h, GWL_WNDPROC, old);
    DestroyWindow(h);
    EXPECT_EQ(log, (std::vector<std::string>{"changed", "ncdestroy", "destroyed valid"}));
    EXPECT_FALSE(IsWindow(h));
}

TEST(WindowHooks, ThrowingHooksNeverReachTheCaller)
{
    HookScope scope;
    SetWindowProcChangedHook([](HWND) { throw std::runtime_error("hook"); });
    SetWindowDestroyedHook([](HWND) { throw std::runtime_error("hook"); });
    HWND h = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    EXPECT_NO_THROW(SetWindowLong(h, GWL_WNDPROC, MakeWindowProc(DefWindowProc)));
    EXPECT_NO_THROW(DestroyWindow(h));
    EXPECT_FALSE(IsWindow(h));
}

TEST(WindowHooks, SubclassMinMaxAnswerAppliesAtOnce)
{
    EnsureGuiApplication();
    HWND h = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    WindowCreateInfo info;
    info.Bounds = RECT{10, 10, 310, 210};
    ASSERT_TRUE(AttachWindowWidget(h, info));
    ShowWindow(h, SW_SHOWNORMAL);
    MINMAXINFO mm{};
    ASSERT_TRUE(GetMinMaxInfo(h, &mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 0);

    WNDPROC old = GetWindowLong(h, GWL_WNDPROC);
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc([old](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      LRESULT r = CallWindowProc(old, w, m, wp, lp);
                      if (m == WM_GETMINMAXINFO) {
                          auto* p = reinterpret_cast<MINMAXINFO*>(lp);
                          p->ptMinTrackSize = POINT{400, 260};
                      }
                      return r;
                  }));
    // No show, move or resize in between: the install alone asked the new chain.
    ASSERT_TRUE(GetMinMaxInfo(h, &mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 400);
    EXPECT_EQ(mm.ptMinTrackSize.y, 260);
    EXPECT_EQ(WindowWidget(h)->minimumWidth(), 400);

    SetWindowLong(h, GWL_WNDPROC, old);
    ASSERT_TRUE(GetMinMaxInfo(h, &mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 0);
    EXPECT_EQ(WindowWidget(h)->minimumWidth(), 0);
    DestroyWindow(h);
}

TEST(WindowHooks, DestroyingTheHandleFreesItsWidgets)
{
    EnsureGuiApplication();
    HWND top = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    HWND child = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    WindowCreateInfo info;
    info.Bounds = RECT{0, 0, 200, 100};
    ASSERT_TRUE(AttachWindowWidget(top, info));
    info.Parent = top;
    info.Bounds = RECT{5, 5, 50, 50};
    ASSERT_TRUE(AttachWindowWidget(child, info));
    QPointer<QWidget> topWidget = WindowWidget(top);
    QPointer<QWidget> childWidget = WindowWidget(child);
    ShowWindow(top, SW_SHOWNORMAL);

    // Not through the adaptor: the plain window call.
    DestroyWindow(top);
    EXPECT_TRUE(topWidget.isNull());
    EXPECT_TRUE(childWidget.isNull());
    EXPECT_FALSE(HasWindowWidget(top));
    // The child handle outlives its widget and can still be destroyed cleanly.
    EXPECT_FALSE(HasWindowWidget(child));
    EXPECT_TRUE(DestroyWindow(child));
}

// Measures the processor time a five-second message-pumping wait costs, once on the plain
// condition-variable loop and once inside the toolkit's event loop, with a 100 ms timer
// running and a post from another thread every 250 ms so that both wake-up paths are used.
// The last run has the whole window adaptor up: a shown window with a blinking caret.
#include "platform/Caret.h"
#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/Messages.h"
#include "platform/Windowing.h"


#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return secs(u.ru_utime) + secs(u.ru_stime);
}

void Measure(const char* label)
{
    std::atomic<int> timerRuns{0};
    std::atomic<int> posts{0};
    HWND h = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_TIMER)
            ++timerRuns;
        else if (m.Msg == WM_USER)
            ++posts;
    });
    SetTimer(h, 1, 100, nullptr);
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            PostMessage(h, WM_USER, 0, 0);
        }
    });

    double cpu0 = CpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    DelayWithMessages(5000);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    double cpu = CpuSeconds() - cpu0;

    stop = true;
    poster.join();
    PumpMessages();
    DeallocateHWnd(h);
    std::printf("%-8s wall %.3f s, cpu %.4f s (%.2f%% of a core), %d timer messages, %d posts\n", label, wall, cpu,
                100.0 * cpu / wall, timerRuns.load(), posts.load());
}

} // namespace

int main(int argc, char** argv)
{
    SetMainThread();
    Measure("plain");
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    (void)argc;
    (void)argv;
    EnsureGuiApplication();
    Measure("toolkit");

    InitWindowAdaptor();
    HWND w = CreateWindowHandle(MakeWindowProc(DefWindowProc));
    WindowCreateInfo info;
    info.Bounds = RECT{40, 40, 440, 340};
    info.Caption = "deadline wait";
    AttachWindowWidget(w, info);
    ShowWindow(w, SW_SHOWNORMAL);
    SetFocus(w);
    CreateCaret(w, nullptr, 2, 14);
    SetCaretPos(10, 10);
    ShowCaret(w);
    Measure("adaptor");
    DestroyCaret();
    DetachWindowWidget(w);
    DestroyWindow(w);
    return 0;
}

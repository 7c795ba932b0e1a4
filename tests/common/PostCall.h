#pragma once
// Calls posted to the message loop, so that a test can act once a modal dialog is showing.
// The hidden windows that carry them are freed by FreePostWindows after each test.
#include <functional>
#include <vector>

#include "platform/Messages.h"
#include "platform/Windowing.h"

namespace posttest {

inline std::vector<HWND>& PostWindows()
{
    static std::vector<HWND> windows;
    return windows;
}

inline void PostCall(std::function<void()> fn)
{
    HWND h = AllocateHWnd([fn = std::move(fn)](TMessage& M) {
        if (M.Msg == WM_USER)
            fn();
    });
    PostWindows().push_back(h);
    PostMessage(h, WM_USER, 0, 0);
}

inline void FreePostWindows()
{
    for (HWND h : PostWindows())
        DeallocateHWnd(h);
    PostWindows().clear();
}

} // namespace posttest

#include "platform/Caret.h"

#include <utility>

#include "platform/Messages.h"

namespace {
struct CaretState {
    HWND Window = nullptr;
    int Width = 0;
    int Height = 0;
    POINT Pos;
    int HideCount = 0;
    bool On = false; // blink phase
    UINT_PTR Timer = 0;
};

thread_local CaretState tCaret;
UINT gBlinkTime = 530;

std::function<void(HWND, const RECT&)>& ChangeHandler()
{
    static std::function<void(HWND, const RECT&)> h;
    return h;
}

RECT CaretRect(const CaretState& c)
{
    return RECT{c.Pos.x, c.Pos.y, c.Pos.x + c.Width, c.Pos.y + c.Height};
}

void Changed(const CaretState& c)
{
    if (c.Window && ChangeHandler())
        ChangeHandler()(c.Window, CaretRect(c));
}

void BlinkTimer(HWND, UINT, UINT_PTR, DWORD) { BlinkCaret(); }

void StopTimer(CaretState& c)
{
    if (c.Timer) {
        KillTimer(nullptr, c.Timer);
        c.Timer = 0;
    }
}

void StartTimer(CaretState& c)
{
    if (!c.Timer && gBlinkTime > 0)
        c.Timer = SetTimer(nullptr, 0, gBlinkTime, &BlinkTimer);
}

bool Owns(HWND hwnd) { return tCaret.Window && (!hwnd || hwnd == tCaret.Window); }
} // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height)
{
    if (!IsWindow(hwnd))
        return FALSE;
    DestroyCaret();
    tCaret.Window = hwnd;
    tCaret.Width = width > 0 ? width : 1;
    tCaret.Height = height > 0 ? height : 1;
    tCaret.Pos = POINT{};
    tCaret.HideCount = 1;
    tCaret.On = false;
    return TRUE;
}

BOOL DestroyCaret()
{
    if (!tCaret.Window)
        return FALSE;
    StopTimer(tCaret);
    CaretState old = tCaret;
    tCaret = CaretState{};
    if (old.On)
        Changed(old);
    return TRUE;
}

BOOL SetCaretPos(int x, int y)
{
    if (!tCaret.Window)
        return FALSE;
    if (tCaret.Pos.x == x && tCaret.Pos.y == y)
        return TRUE;
    bool wasOn = tCaret.On;
    if (wasOn) {
        tCaret.On = false;
        Changed(tCaret);
    }
    tCaret.Pos = POINT{x, y};
    if (tCaret.HideCount == 0) {
        // A moved caret shows at once, as a typing user expects.
        tCaret.On = true;
        Changed(tCaret);
    }
    return TRUE;
}

BOOL GetCaretPos(POINT* pt)
{
    if (!pt || !tCaret.Window)
        return FALSE;
    *pt = tCaret.Pos;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd)
{
    if (!Owns(hwnd) || tCaret.HideCount == 0)
        return FALSE;
    if (--tCaret.HideCount == 0) {
        tCaret.On = true;
        StartTimer(tCaret);
        Changed(tCaret);
    }
    return TRUE;
}

BOOL HideCaret(HWND hwnd)
{
    if (!Owns(hwnd))
        return FALSE;
    if (tCaret.HideCount++ == 0) {
        StopTimer(tCaret);
        if (tCaret.On) {
            tCaret.On = false;
            Changed(tCaret);
        }
    }
    return TRUE;
}


HWND GetCaretWindow() { return tCaret.Window; }

bool IsCaretShown() { return tCaret.Window && tCaret.HideCount == 0; }

bool GetCaretOverlay(HWND hwnd, RECT* rect)
{
    if (!tCaret.Window || hwnd != tCaret.Window || tCaret.HideCount != 0 || !tCaret.On)
        return false;
    if (rect)
        *rect = CaretRect(tCaret);
    return true;
}

void SetCaretChangeHandler(std::function<void(HWND, const RECT&)> handler)
{
    ChangeHandler() = std::move(handler);
}

void BlinkCaret()
{
    if (!tCaret.Window || tCaret.HideCount != 0)
        return;
    if (!IsWindow(tCaret.Window)) {
        DestroyCaret();
        return;
    }
    tCaret.On = !tCaret.On;
    Changed(tCaret);
}

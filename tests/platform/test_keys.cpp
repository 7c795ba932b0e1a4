#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QWidget>
#include <vector>

#include "platform/Caret.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

TEST(KeyMapping, LettersDigitsAndFunctionKeys)
{
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_A + i, 0), 'A' + i);
    // Shift or Ctrl do not change the key's code, only the character.
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Q, KEYMOD_SHIFT | KEYMOD_CONTROL), 'Q');
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_0 + i, 0), '0' + i);
        EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_0 + i, KEYMOD_KEYPAD), VK_NUMPAD0 + i);
    }
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F1, 0), VK_F1);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F10, 0), VK_F1 + 9);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F12, KEYMOD_SHIFT), VK_F1 + 11);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F24, 0), VK_F1 + 23);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F25, 0), 0);
}

TEST(KeyMapping, NavigationEditingAndKeypad)
{
    struct Case {
        int key;
        unsigned mods;
        WORD vk;
    };
    const Case cases[] = {
        {Qt::Key_Left, 0, VK_LEFT},         {Qt::Key_Right, 0, VK_RIGHT},      {Qt::Key_Up, 0, VK_UP},
        {Qt::Key_Down, KEYMOD_SHIFT, VK_DOWN}, {Qt::Key_Home, 0, VK_HOME},     {Qt::Key_End, KEYMOD_CONTROL, VK_END},
        {Qt::Key_PageUp, 0, VK_PRIOR},      {Qt::Key_PageDown, 0, VK_NEXT},    {Qt::Key_Insert, 0, VK_INSERT},
        {Qt::Key_Delete, 0, VK_DELETE},     {Qt::Key_Return, 0, VK_RETURN},    {Qt::Key_Enter, KEYMOD_KEYPAD, VK_RETURN},
        {Qt::Key_Escape, 0, VK_ESCAPE},     {Qt::Key_Backspace, 0, VK_BACK},   {Qt::Key_Tab, 0, VK_TAB},
        {Qt::Key_Backtab, KEYMOD_SHIFT, VK_TAB}, {Qt::Key_Space, 0, VK_SPACE},
        {Qt::Key_Plus, KEYMOD_KEYPAD, VK_ADD}, {Qt::Key_Minus, KEYMOD_KEYPAD, VK_SUBTRACT},
        {Qt::Key_Asterisk, KEYMOD_KEYPAD, VK_MULTIPLY}, {Qt::Key_Slash, KEYMOD_KEYPAD, VK_DIVIDE},
        {Qt::Key_Period, KEYMOD_KEYPAD, VK_DECIMAL}, {Qt::Key_Period, 0, 0xBE}, {Qt::Key_Minus, 0, 0xBD},
        {Qt::Key_Shift, KEYMOD_SHIFT, VK_SHIFT}, {Qt::Key_Control, KEYMOD_CONTROL, VK_CONTROL},
        {Qt::Key_unknown, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtKeyToVirtualKey(c.key, c.mods), c.vk) << std::hex << c.key << " mods " << c.mods;
}

TEST(KeyMapping, CharacterCodes)
{
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Return, 0, U'\r'), 13);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Enter, KEYMOD_KEYPAD, U'\r'), 13);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Backspace, 0, U'\b'), 8);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Escape, 0, 0x1B), 27);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Tab, 0, U'\t'), 9);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Backtab, KEYMOD_SHIFT, 0), 9);
    // Ctrl+letter gives the control code whatever the toolkit put in the text.
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(KeyPressCharCode(Qt::Key_A + i, KEYMOD_CONTROL, 0), 1 + i);
        EXPECT_EQ(KeyPressCharCode(Qt::Key_A + i, KEYMOD_CONTROL | KEYMOD_SHIFT, U'A' + i), 1 + i);
    }
    EXPECT_EQ(KeyPressCharCode(Qt::Key_BracketLeft, KEYMOD_CONTROL, 0), 27);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Backslash, KEYMOD_CONTROL, 0), 28);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_BracketRight, KEYMOD_CONTROL, 0), 29);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_1, KEYMOD_CONTROL, U'1'), -1);
    // Alt+Ctrl is AltGr on many layouts: the typed character counts.
    EXPECT_EQ(KeyPressCharCode(Qt::Key_E, KEYMOD_CONTROL | KEYMOD_ALT, U'\u20AC'), 0x80);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_A, KEYMOD_SHIFT, U'A'), 'A');
    EXPECT_EQ(KeyPressCharCode(Qt::Key_A, 0, U'a'), 'a');
    EXPECT_EQ(KeyPressCharCode(Qt::Key_5, KEYMOD_KEYPAD, U'5'), '5');
    EXPECT_EQ(KeyPressCharCode(Qt::Key_E, 0, U'\u00E9'), 0xE9);
    // Keys that type nothing, and characters Windows-1252 cannot hold.
    EXPECT_EQ(KeyPressCharCode(Qt::Key_F5, 0, 0), -1);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Left, 0, 0), -1);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_Delete, 0, 0x7F), -1);
    EXPECT_EQ(KeyPressCharCode(Qt::Key_unknown, 0, U'\u4E2D'), -1);
}

namespace {
struct KeyWindow : ::testing::Test {
    struct Msg {
        UINT msg;
        WPARAM wp;
        bool operator==(const Msg&) const = default;
    };
    std::vector<Msg> log;
    LRESULT dlgCode = 0;
    HWND h = nullptr;
    void SetUp() override
    {
        EnsureGuiApplication();
        h = CreateWindowHandle(MakeWindowProc([this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_GETDLGCODE)
                return dlgCode;
            if (m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR || m == WM_SYSKEYDOWN || m == WM_SYSCHAR)
                log.push_back({m, wp});
            return DefWindowProc(w, m, wp, lp);
        }));
        WindowCreateInfo info;
        info.Bounds = RECT{0, 0, 120, 80};
        ASSERT_TRUE(AttachWindowWidget(h, info));
    }
    void TearDown() override { DestroyWindow(h); }
    void Press(int key, Qt::KeyboardModifiers mods, const QString& text)
    {
        QKeyEvent down(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(WindowWidget(h), &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(WindowWidget(h), &up);
    }
};
} // namespace

TEST_F(KeyWindow, ToolkitEventsBecomeKeyAndCharMessages)
{
    Press(Qt::Key_A, Qt::ShiftModifier, "A");
    Press(Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
    Press(Qt::Key_F3, Qt::NoModifier, "");
    Press(Qt::Key_7, Qt::KeypadModifier, "7");
    Press(Qt::Key_Return, Qt::NoModifier, "\r");
    Press(Qt::Key_X, Qt::AltModifier, "x");
    EXPECT_EQ(log, (std::vector<Msg>{{WM_KEYDOWN, 'A'},
                                     {WM_CHAR, 'A'},
                                     {WM_KEYUP, 'A'},
                                     {WM_KEYDOWN, 'C'},
                                     {WM_CHAR, 3},
                                     {WM_KEYUP, 'C'},
                                     {WM_KEYDOWN, VK_F1 + 2},
                                     {WM_KEYUP, VK_F1 + 2},
                                     {WM_KEYDOWN, VK_NUMPAD0 + 7},
                                     {WM_CHAR, '7'},
                                     {WM_KEYUP, VK_NUMPAD0 + 7},
                                     {WM_KEYDOWN, VK_RETURN},
                                     {WM_CHAR, 13},
                                     {WM_KEYUP, VK_RETURN},
                                     {WM_SYSKEYDOWN, 'X'},
                                     {WM_SYSCHAR, 'x'}}));
}

TEST_F(KeyWindow, TabIsADialogKeyUnlessTheWindowAsks)
{
    Press(Qt::Key_Tab, Qt::NoModifier, "\t");
    // The key reaches the window for the form's dialog handling, but types nothing.
    EXPECT_EQ(log, (std::vector<Msg>{{WM_KEYDOWN, VK_TAB}, {WM_KEYUP, VK_TAB}}));
    log.clear();
    dlgCode = DLGC_WANTTAB;
    Press(Qt::Key_Backtab, Qt::ShiftModifier, "");
    EXPECT_EQ(log, (std::vector<Msg>{{WM_KEYDOWN, VK_TAB}, {WM_CHAR, 9}, {WM_KEYUP, VK_TAB}}));
    // The modifier state follows the events: down while Shift is held, up once released.
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    QApplication::sendEvent(WindowWidget(h), &up);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(KeyWindow, CaretIsDrawnInvertedAndRestoredWhenHidden)
{
    HDC dc = GetDC(h);
    RECT all{0, 0, 120, 80};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
    ReleaseDC(h, dc);
    ShowWindow(h, SW_SHOWNORMAL);
    ASSERT_TRUE(CreateCaret(h, nullptr, 2, 14));
    SetCaretPos(10, 20);
    ShowCaret(h);
    RECT overlay;
    if (!GetCaretOverlay(h, &overlay))
        BlinkCaret();
    ASSERT_TRUE(GetCaretOverlay(h, &overlay));
    QImage on = WindowWidget(h)->grab().toImage();
    EXPECT_EQ(on.pixel(10, 20) & 0xFFFFFF, 0u);
    EXPECT_EQ(on.pixel(11, 33) & 0xFFFFFF, 0u);
    // Only the caret's cells: its neighbours stay white.
    EXPECT_EQ(on.pixel(12, 20) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(on.pixel(10, 34) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(on.pixel(9, 25) & 0xFFFFFF, 0xFFFFFFu);
    HideCaret(h);
    QImage off = WindowWidget(h)->grab().toImage();
    EXPECT_EQ(off.pixel(10, 20) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(off.pixel(11, 33) & 0xFFFFFF, 0xFFFFFFu);
    // The surface under the caret was never touched.
    ShowCaret(h);
    DestroyCaret();
    QImage gone = WindowWidget(h)->grab().toImage();
    EXPECT_EQ(gone.pixel(10, 20) & 0xFFFFFF, 0xFFFFFFu);
}

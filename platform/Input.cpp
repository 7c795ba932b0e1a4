#include "platform/Input.h"

#include <Qt>
#include <atomic>
#include <utility>

#include "platform/Codepage.h"
#include "platform/WinMessages.h"

unsigned KeyModifiers(int qtModifiers)
{
    static constexpr std::pair<int, unsigned> kBits[] = {
        {Qt::ShiftModifier, KEYMOD_SHIFT},
        {Qt::ControlModifier, KEYMOD_CONTROL},
        {Qt::AltModifier, KEYMOD_ALT},
        {Qt::KeypadModifier, KEYMOD_KEYPAD},
    };
    unsigned mods = 0;
    for (const auto& [qt, bit] : kBits)
        if (qtModifiers & qt)
            mods |= bit;
    return mods;
}

WORD QtKeyToVirtualKey(int qtKey, unsigned modifiers)
{
    const bool keypad = (modifiers & KEYMOD_KEYPAD) != 0;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<WORD>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? static_cast<WORD>(VK_NUMPAD0 + (qtKey - Qt::Key_0)) : static_cast<WORD>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<WORD>(VK_F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Asterisk: return keypad ? VK_MULTIPLY : 0;
    case Qt::Key_Plus: return keypad ? VK_ADD : 0xBB;
    case Qt::Key_Minus: return keypad ? VK_SUBTRACT : 0xBD;
    case Qt::Key_Period: return keypad ? VK_DECIMAL : 0xBE;
    case Qt::Key_Slash: return keypad ? VK_DIVIDE : 0xBF;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Semicolon: return 0xBA;
    case Qt::Key_Equal: return 0xBB;
    case Qt::Key_QuoteLeft: return 0xC0;
    case Qt::Key_BracketLeft: return 0xDB;
    case Qt::Key_Backslash: return 0xDC;
    case Qt::Key_BracketRight: return 0xDD;
    case Qt::Key_Apostrophe: return 0xDE;
    default: return 0;
    }
}

int KeyPressCharCode(int qtKey, unsigned modifiers, char32_t text)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    default: break;
    }
    if ((modifiers & KEYMOD_CONTROL) && !(modifiers & KEYMOD_ALT)) {
        if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
            return 1 + (qtKey - Qt::Key_A);
        switch (qtKey) {
        case Qt::Key_BracketLeft: return 27;
        case Qt::Key_Backslash: return 28;
        case Qt::Key_BracketRight: return 29;
        default: return -1;
        }
    }
    if (text == 0 || text == 0x7F || (text < 0x20))
        return -1;
    unsigned char b = UnicodeToCp1252(text, 0);
    if (b == 0)
        return -1;
    return b;
}

namespace {
std::atomic<unsigned char> gDown[256];
}

short GetKeyState(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    return gDown[vk].load() ? static_cast<short>(0x8000) : 0;
}

void SetKeyStateDown(int vk, bool down)
{
    if (vk >= 0 && vk <= 255)
        gDown[vk].store(down ? 1 : 0);
}

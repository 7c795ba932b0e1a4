#pragma once
// Keys of the toolkit as virtual key codes, and the character a key press types as the
// Windows character code WM_CHAR carries.
#include "platform/WinTypes.h"

// Modifier bits for the functions below.
constexpr unsigned KEYMOD_SHIFT = 1;
constexpr unsigned KEYMOD_CONTROL = 2;
constexpr unsigned KEYMOD_ALT = 4;
constexpr unsigned KEYMOD_KEYPAD = 8;

// The modifier bits of a toolkit event's Qt::KeyboardModifiers (as an int).
unsigned KeyModifiers(int qtModifiers);

// A Qt::Key value as a virtual key code; 0 when the key has none.
WORD QtKeyToVirtualKey(int qtKey, unsigned modifiers);
// The WM_CHAR code of a key press: Enter 13, Backspace 8, Esc 27, Tab 9, Ctrl+letter its
// control code, otherwise the typed character (text, a code point; 0 for none) in
// Windows-1252. -1 when the press types nothing.
int KeyPressCharCode(int qtKey, unsigned modifiers, char32_t text);

// Key state as GetKeyState reports it (high bit set while down), kept from the key and
// mouse events the adaptor sees.
short GetKeyState(int vk);
void SetKeyStateDown(int vk, bool down);

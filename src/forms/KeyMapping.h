#pragma once

#include <Qt>

#include <cstdint>

class QKeyEvent;

namespace ziffa {

// The keys that the windows' shortcuts test, independent of the keyboard layout and of what
// Shift does to the symbol of a key.
enum class ShortcutKey { None, R, Digit1, Digit2, F1, F5, F6, Escape, Enter };

// Where a key event comes from: the native codes mean different things on each platform.
enum class KeyPlatform { Windows, Xkb };

// What a shortcut test needs of a key event.
struct KeyFacts {
    int key = 0;                                      // Qt::Key
    Qt::KeyboardModifiers modifiers = Qt::NoModifier; // held at the moment of the event
    std::uint32_t nativeScanCode = 0;                 // X11/Wayland keycode
    std::uint32_t nativeVirtualKey = 0;               // Windows virtual-key code
    bool printable = false;                           // the event's text is a printable character
};

KeyFacts FactsOf(const QKeyEvent &event);

// The platform this program runs on.
KeyPlatform CurrentKeyPlatform();

// Maps a key event to a shortcut key. The digits 1 and 2 count only on the main row of the
// keyboard and are recognised by the physical key: virtual keys '1'/'2' on Windows, keycodes 10
// and 11 under X11 and Wayland; an event without native codes (synthesised) falls back to the Qt
// key. Keypad keys (Qt::KeypadModifier) are never digits; keypad Enter is Enter.
ShortcutKey MapShortcutKey(const KeyFacts &facts, KeyPlatform platform);
ShortcutKey MapShortcutKey(const QKeyEvent &event);

// The modifier tests of the shortcut tables; Alt is never looked at.
inline bool CtrlHeld(Qt::KeyboardModifiers m) {
    return m.testFlag(Qt::ControlModifier);
}
inline bool ShiftHeld(Qt::KeyboardModifiers m) {
    return m.testFlag(Qt::ShiftModifier);
}

// Whether a key press with Ctrl held would type its character into a line edit. A line edit
// leaves the text of Ctrl and Ctrl+Shift alone (those are its shortcuts), but types it when
// another modifier comes with them: the keypad's (Ctrl with the keypad's 1), Alt or Meta. On
// Windows, Ctrl+Alt is AltGr, which types the letters of many layouts, and keeps typing.
bool TypesUnderCtrl(const KeyFacts &facts, KeyPlatform platform);

// Whether any modifier that a dialog key (Enter, Escape) must not have is held: Shift, Ctrl,
// Alt or Meta. The keypad flag doesn't count.
bool HasDialogKeyModifier(Qt::KeyboardModifiers m);

} // namespace ziffa

#include "forms/KeyMapping.h"

#include <QKeyEvent>

namespace ziffa {

namespace {

constexpr std::uint32_t XkbKeycode1 = 10; // keycodes of the main row's "1" and "2"
constexpr std::uint32_t XkbKeycode2 = 11;
constexpr std::uint32_t WindowsVirtualKey1 = 0x31;
constexpr std::uint32_t WindowsVirtualKey2 = 0x32;

ShortcutKey DigitOf(const KeyFacts &facts, KeyPlatform platform) {
    if (platform == KeyPlatform::Windows && facts.nativeVirtualKey != 0) {
        if (facts.nativeVirtualKey == WindowsVirtualKey1)
            return ShortcutKey::Digit1;
        if (facts.nativeVirtualKey == WindowsVirtualKey2)
            return ShortcutKey::Digit2;
        return ShortcutKey::None;
    }
    if (platform == KeyPlatform::Xkb && facts.nativeScanCode != 0) {
        if (facts.nativeScanCode == XkbKeycode1)
            return ShortcutKey::Digit1;
        if (facts.nativeScanCode == XkbKeycode2)
            return ShortcutKey::Digit2;
        return ShortcutKey::None;
    }
    if (facts.key == Qt::Key_1)
        return ShortcutKey::Digit1;
    if (facts.key == Qt::Key_2)
        return ShortcutKey::Digit2;
    return ShortcutKey::None;
}

} // namespace

KeyFacts FactsOf(const QKeyEvent &event) {
    const QString text = event.text();
    return {event.key(), event.modifiers(), event.nativeScanCode(), event.nativeVirtualKey(),
            !text.isEmpty() && text.front().isPrint()};
}

KeyPlatform CurrentKeyPlatform() {
#ifdef _WIN32
    return KeyPlatform::Windows;
#else
    return KeyPlatform::Xkb;
#endif
}

ShortcutKey MapShortcutKey(const KeyFacts &facts, KeyPlatform platform) {
    switch (facts.key) {
    case Qt::Key_R:
        return ShortcutKey::R;
    case Qt::Key_F1:
        return ShortcutKey::F1;
    case Qt::Key_F5:
        return ShortcutKey::F5;
    case Qt::Key_F6:
        return ShortcutKey::F6;
    case Qt::Key_Escape:
        return ShortcutKey::Escape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ShortcutKey::Enter;
    default:
        break;
    }
    if (facts.modifiers.testFlag(Qt::KeypadModifier))
        return ShortcutKey::None;
    return DigitOf(facts, platform);
}

ShortcutKey MapShortcutKey(const QKeyEvent &event) {
    return MapShortcutKey(FactsOf(event), CurrentKeyPlatform());
}

bool TypesUnderCtrl(const KeyFacts &facts, KeyPlatform platform) {
    const Qt::KeyboardModifiers m = facts.modifiers;
    if (!facts.printable || !m.testFlag(Qt::ControlModifier))
        return false;
    if (platform == KeyPlatform::Windows && m.testFlag(Qt::AltModifier))
        return false;
    return (m & ~(Qt::ControlModifier | Qt::ShiftModifier)) != Qt::NoModifier;
}

bool HasDialogKeyModifier(Qt::KeyboardModifiers m) {
    return (m & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) !=
           Qt::NoModifier;
}

} // namespace ziffa

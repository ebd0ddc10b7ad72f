// The shortcut keys of the key events that each platform delivers.
#include "forms/KeyMapping.h"

#include <gtest/gtest.h>

namespace ziffa {
namespace {

struct MappingRow {
    const char *name;
    KeyPlatform platform;
    KeyFacts facts;
    ShortcutKey expected;
};

void PrintTo(const MappingRow &row, std::ostream *os) {
    *os << row.name;
}

class KeyMappingRows : public testing::TestWithParam<MappingRow> {};

TEST_P(KeyMappingRows, Map) {
    EXPECT_EQ(MapShortcutKey(GetParam().facts, GetParam().platform), GetParam().expected);
}

constexpr auto X = KeyPlatform::Xkb;
constexpr auto W = KeyPlatform::Windows;
const Qt::KeyboardModifiers CS = Qt::ControlModifier | Qt::ShiftModifier;
const Qt::KeyboardModifiers C = Qt::ControlModifier;
const Qt::KeyboardModifiers K = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyMappingRows,
    testing::Values(
        MappingRow{"X11Exclam", X, {Qt::Key_Exclam, CS, 10, 0x21}, ShortcutKey::Digit1},
        MappingRow{"X11At", X, {Qt::Key_At, CS, 11, 0x40}, ShortcutKey::Digit2},
        MappingRow{"X11Digit1", X, {Qt::Key_1, C, 10, 0x31}, ShortcutKey::Digit1},
        MappingRow{"X11Keypad1", X, {Qt::Key_1, C | K, 87, 0xffb1}, ShortcutKey::None},
        MappingRow{"X11OtherKeyWith1", X, {Qt::Key_1, C, 24, 0x31}, ShortcutKey::None},
        MappingRow{"X11Digit3", X, {Qt::Key_3, C, 12, 0x33}, ShortcutKey::None},
        MappingRow{"WindowsShift1", W, {Qt::Key_Exclam, CS, 2, 0x31}, ShortcutKey::Digit1},
        MappingRow{"WindowsShift2", W, {Qt::Key_At, CS, 3, 0x32}, ShortcutKey::Digit2},
        MappingRow{"WindowsKeypad1", W, {Qt::Key_1, C | K, 0x4f, 0x61}, ShortcutKey::None},
        MappingRow{"Synthesised1", X, {Qt::Key_1, C, 0, 0}, ShortcutKey::Digit1},
        MappingRow{"Synthesised2", W, {Qt::Key_2, C, 0, 0}, ShortcutKey::Digit2},
        MappingRow{"SynthesisedExclam", X, {Qt::Key_Exclam, CS, 0, 0}, ShortcutKey::None},
        MappingRow{"SynthesisedKeypad", X, {Qt::Key_1, K, 0, 0}, ShortcutKey::None},
        MappingRow{"LetterR", X, {Qt::Key_R, C, 27, 0x72}, ShortcutKey::R},
        MappingRow{"F1", X, {Qt::Key_F1, {}, 67, 0}, ShortcutKey::F1},
        MappingRow{"F5", W, {Qt::Key_F5, {}, 0x3f, 0x74}, ShortcutKey::F5},
        MappingRow{"F6", X, {Qt::Key_F6, {}, 72, 0}, ShortcutKey::F6},
        MappingRow{"Return", X, {Qt::Key_Return, {}, 36, 0}, ShortcutKey::Enter},
        MappingRow{"KeypadEnter", X, {Qt::Key_Enter, K, 104, 0}, ShortcutKey::Enter},
        MappingRow{"Escape", X, {Qt::Key_Escape, {}, 9, 0}, ShortcutKey::Escape}),
    [](const testing::TestParamInfo<MappingRow> &info) { return std::string(info.param.name); });

// Which presses with Ctrl held a line edit would type, and which the window so swallows.
TEST(TypesUnderCtrl, OnlyWhereAnEditWouldType) {
    const Qt::KeyboardModifiers A = Qt::AltModifier;
    const Qt::KeyboardModifiers M = Qt::MetaModifier;
    const struct {
        const char *name;
        KeyPlatform platform;
        Qt::KeyboardModifiers modifiers;
        bool printable;
        bool swallowed;
    } rows[] = {
        {"CtrlKeypad1", X, C | K, true, true},
        {"CtrlShiftKeypad", X, CS | K, true, true},
        {"CtrlAltOnX11", X, C | A, true, true},
        {"CtrlMeta", X, C | M, true, true},
        {"CtrlAltIsAltGrOnWindows", W, C | A, true, false},
        {"CtrlKeypadOnWindows", W, C | K, true, true},
        {"CtrlAloneIsAShortcut", X, C, true, false},
        {"CtrlShiftIsAShortcut", X, CS, true, false},
        {"NoCtrl", X, K, true, false},
        {"ControlCharacter", X, C | K, false, false},
    };
    for (const auto &row : rows) {
        const KeyFacts facts{Qt::Key_1, row.modifiers, 0, 0, row.printable};
        EXPECT_EQ(TypesUnderCtrl(facts, row.platform), row.swallowed) << row.name;
    }
}

TEST(DialogKeyModifiers, KeypadFlagDoesNotCount) {
    EXPECT_FALSE(HasDialogKeyModifier(Qt::NoModifier));
    EXPECT_FALSE(HasDialogKeyModifier(Qt::KeypadModifier));
    EXPECT_TRUE(HasDialogKeyModifier(Qt::ShiftModifier));
    EXPECT_TRUE(HasDialogKeyModifier(Qt::AltModifier | Qt::KeypadModifier));
}

} // namespace
} // namespace ziffa

#pragma once

// The keys of the settings file, in the one order in which the calculator window reads them at
// its first show and writes them at its close, with their types and defaults.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniStore.h"

namespace ziffa {

namespace section {
inline constexpr std::string_view Calculator = "Calculator";
inline constexpr std::string_view Variables = "Variables";
inline constexpr std::string_view Chart = "Chart";
inline constexpr std::string_view ChartEntries = "ChartEntries";
inline constexpr std::string_view CalculatorEntries = "CalculatorEntries";
} // namespace section

// The keys that every history section holds besides its items "0", "1", ...
inline constexpr std::string_view kHistoryCountKey = "Count";
inline constexpr std::string_view kHistoryCurrentKey = "Current";

enum class SettingType {
    Integer,
    Boolean,
    Text,
    HistoryItems, // the keys "0" to Count - 1 of a history section
};

// Where a key's value comes from when the key is absent or unreadable. The computed kinds depend
// on the windows and on values loaded before, so the window that loads resolves them
// (ResolveDefault).
enum class DefaultKind {
    Fixed,            // KeySpec::fixedDefault (0 or 1 for booleans; texts default to "")
    CalculatorWidth,  // the calculator window's width when the file is read
    LeftOfCalculator, // the calculator's left as loaded - the variables window's width - 2
    CalculatorLeft,   // the calculator's left as loaded
    BelowCalculator,  // the calculator window's height + 1
};

enum class SettingKey {
    CalculatorWidth,
    CalculatorLeft,
    CalculatorTop,
    VariablesLeft,
    VariablesTop,
    VariablesShowWindow,
    Variable01,
    Variable02,
    Variable03,
    Variable04,
    Variable05,
    Value01,
    Value02,
    Value03,
    Value04,
    Value05,
    ChartLeft,
    ChartTop,
    ChartWidth,
    ChartHeight,
    ChartWindowsState,
    ChartEntriesCount,
    ChartEntriesItems,
    ChartEntriesCurrent,
    CalculatorEntriesCount,
    CalculatorEntriesItems,
    CalculatorEntriesCurrent,
    CalculatorMemo1,
    CalculatorMemo2,
};

struct KeySpec {
    SettingKey id;
    std::string_view section;
    std::string_view key; // empty for HistoryItems: the items are named by position
    SettingType type;
    DefaultKind defaultKind;
    int fixedDefault;
};

namespace detail {

// The rows of the table by kind: an integer with a fixed or a computed default, a boolean, a text
// (empty by default), the items of a history section.
constexpr KeySpec Integer(SettingKey id, std::string_view section, std::string_view key,
                          int fixed) {
    return {id, section, key, SettingType::Integer, DefaultKind::Fixed, fixed};
}
constexpr KeySpec Computed(SettingKey id, std::string_view section, std::string_view key,
                           DefaultKind kind) {
    return {id, section, key, SettingType::Integer, kind, 0};
}
constexpr KeySpec Boolean(SettingKey id, std::string_view section, std::string_view key,
                          bool fixed) {
    return {id, section, key, SettingType::Boolean, DefaultKind::Fixed, fixed ? 1 : 0};
}
constexpr KeySpec Text(SettingKey id, std::string_view section, std::string_view key) {
    return {id, section, key, SettingType::Text, DefaultKind::Fixed, 0};
}
constexpr KeySpec Items(SettingKey id, std::string_view section) {
    return {id, section, "", SettingType::HistoryItems, DefaultKind::Fixed, 0};
}

constexpr std::array<KeySpec, 29> KeyTable() {
    using enum SettingKey;
    using namespace section;
    return {{
        Computed(CalculatorWidth, Calculator, "Width", DefaultKind::CalculatorWidth),
        Integer(CalculatorLeft, Calculator, "Left", 200),
        Integer(CalculatorTop, Calculator, "Top", 1),
        Computed(VariablesLeft, Variables, "Left", DefaultKind::LeftOfCalculator),
        Integer(VariablesTop, Variables, "Top", 1),
        Boolean(VariablesShowWindow, Variables, "ShowWindow", false),
        Text(Variable01, Variables, "Variable01"),
        Text(Variable02, Variables, "Variable02"),
        Text(Variable03, Variables, "Variable03"),
        Text(Variable04, Variables, "Variable04"),
        Text(Variable05, Variables, "Variable05"),
        Text(Value01, Variables, "Value01"),
        Text(Value02, Variables, "Value02"),
        Text(Value03, Variables, "Value03"),
        Text(Value04, Variables, "Value04"),
        Text(Value05, Variables, "Value05"),
        Computed(ChartLeft, Chart, "Left", DefaultKind::CalculatorLeft),
        Computed(ChartTop, Chart, "Top", DefaultKind::BelowCalculator),
        Integer(ChartWidth, Chart, "Width", 800),
        Integer(ChartHeight, Chart, "Height", 600),
        Integer(ChartWindowsState, Chart, "WindowsState", 0),
        Integer(ChartEntriesCount, ChartEntries, kHistoryCountKey, 0),
        Items(ChartEntriesItems, ChartEntries),
        Text(ChartEntriesCurrent, ChartEntries, kHistoryCurrentKey),
        Integer(CalculatorEntriesCount, CalculatorEntries, kHistoryCountKey, 0),
        Items(CalculatorEntriesItems, CalculatorEntries),
        Text(CalculatorEntriesCurrent, CalculatorEntries, kHistoryCurrentKey),
        Text(CalculatorMemo1, Calculator, "Memo1"),
        Text(CalculatorMemo2, Calculator, "Memo2"),
    }};
}

} // namespace detail

// Every key, in load and save order.
inline constexpr std::array<KeySpec, 29> kSettingKeys = detail::KeyTable();

namespace detail {
constexpr bool RowsMatchTheirIds() {
    for (std::size_t i = 0; i < kSettingKeys.size(); ++i) {
        if (static_cast<std::size_t>(kSettingKeys[i].id) != i) {
            return false;
        }
    }
    return true;
}
} // namespace detail
static_assert(detail::RowsMatchTheirIds(), "each row of kSettingKeys stands at its id");

constexpr const KeySpec &Row(SettingKey id) {
    return kSettingKeys[static_cast<std::size_t>(id)];
}

// The name and value keys of the variables window's rows 0 to 4 ("Variable01", "Value01", ...).
constexpr SettingKey VariableNameKey(int row) {
    return static_cast<SettingKey>(static_cast<int>(SettingKey::Variable01) + row);
}
constexpr SettingKey VariableValueKey(int row) {
    return static_cast<SettingKey>(static_cast<int>(SettingKey::Value01) + row);
}

// What the computed defaults are made of, taken from the windows at load time.
struct DefaultInputs {
    int calculatorWidth = 0;  // the calculator window's width before the load sets it
    int calculatorLeft = 0;   // the calculator window's left as loaded
    int calculatorHeight = 0; // the calculator window's (fixed) height
    int variablesWidth = 0;   // the variables window's (fixed) width
};

// The default of an integer or boolean key. Computed values beyond the int range (from an
// extreme position in the file) are clamped to it.
int ResolveDefault(const KeySpec &row, const DefaultInputs &inputs);

// Reads and writes of one key of the table by its type. Using a key with the wrong kind of
// call throws std::invalid_argument.
int ReadSettingInteger(const IniStore &store, SettingKey id, const DefaultInputs &inputs = {});
bool ReadSettingBool(const IniStore &store, SettingKey id);
std::string ReadSettingText(const IniStore &store, SettingKey id);
void WriteSettingInteger(IniStore &store, SettingKey id, int value);
void WriteSettingBool(IniStore &store, SettingKey id, bool value);
void WriteSettingText(IniStore &store, SettingKey id, std::string_view value);

// The most history entries read from one section. Far above the 200 entries the program keeps,
// and it keeps a damaged Count from stalling the start or exhausting memory.
inline constexpr int kMaxHistoryRead = 10000;

// A drop-down box's history: its items, newest first, and its edit text.
struct History {
    std::vector<std::string> items;
    std::string current;

    bool operator==(const History &) const = default;
};

// The key of the history item at a position: the position in decimal, no leading zeros.
std::string HistoryItemKey(std::size_t position);

// Reads Count (zero or negative reads none, at most kMaxHistoryRead), the items "0" to
// Count - 1 (a missing one reads as empty) and Current.
History ReadHistory(const IniStore &store, std::string_view section);

// Writes Count, the items "0", "1", ... and Current. Item keys beyond the new Count stay in the
// file; the next read stops at Count.
void WriteHistory(IniStore &store, std::string_view section, const std::vector<std::string> &items,
                  std::string_view current);

// The chart window's WindowsState: 0 normal, 1 minimised, 2 maximised; any other value is
// taken as normal.
enum class WindowShowState { Normal = 0, Minimised = 1, Maximised = 2 };
WindowShowState WindowShowStateFromSetting(int value);
int WindowShowStateToSetting(WindowShowState state);

} // namespace ziffa

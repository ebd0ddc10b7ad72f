#include "settings/SettingsKeys.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace ziffa {

namespace {

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

const KeySpec &SpecOfType(SettingKey id, SettingType type) {
    const KeySpec &row = Row(id);
    if (row.type != type) {
        throw std::invalid_argument("The settings key " + std::string(row.section) + "/" +
                                    std::string(row.key) + " is of another type");
    }
    return row;
}

} // namespace

int ResolveDefault(const KeySpec &row, const DefaultInputs &inputs) {
    switch (row.defaultKind) {
    case DefaultKind::Fixed:
        return row.fixedDefault;
    case DefaultKind::CalculatorWidth:
        return inputs.calculatorWidth;
    case DefaultKind::LeftOfCalculator:
        return ClampToInt(std::int64_t{inputs.calculatorLeft} - inputs.variablesWidth - 2);
    case DefaultKind::CalculatorLeft:
        return inputs.calculatorLeft;
    case DefaultKind::BelowCalculator:
        return ClampToInt(std::int64_t{inputs.calculatorHeight} + 1);
    }
    return row.fixedDefault;
}

int ReadSettingInteger(const IniStore &store, SettingKey id, const DefaultInputs &inputs) {
    const KeySpec &row = SpecOfType(id, SettingType::Integer);
    return store.ReadInteger(row.section, row.key, ResolveDefault(row, inputs));
}

bool ReadSettingBool(const IniStore &store, SettingKey id) {
    const KeySpec &row = SpecOfType(id, SettingType::Boolean);
    return store.ReadBool(row.section, row.key, row.fixedDefault != 0);
}

std::string ReadSettingText(const IniStore &store, SettingKey id) {
    const KeySpec &row = SpecOfType(id, SettingType::Text);
    return store.ReadString(row.section, row.key, "");
}

void WriteSettingInteger(IniStore &store, SettingKey id, int value) {
    const KeySpec &row = SpecOfType(id, SettingType::Integer);
    store.WriteInteger(row.section, row.key, value);
}

void WriteSettingBool(IniStore &store, SettingKey id, bool value) {
    const KeySpec &row = SpecOfType(id, SettingType::Boolean);
    store.WriteBool(row.section, row.key, value);
}

void WriteSettingText(IniStore &store, SettingKey id, std::string_view value) {
    const KeySpec &row = SpecOfType(id, SettingType::Text);
    store.WriteString(row.section, row.key, value);
}

std::string HistoryItemKey(std::size_t position) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), position).ptr;
    return std::string(digits, end);
}

History ReadHistory(const IniStore &store, std::string_view section) {
    const int count =
        std::clamp(store.ReadInteger(section, kHistoryCountKey, 0), 0, kMaxHistoryRead);
    History history;
    history.items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        history.items.push_back(
            store.ReadString(section, HistoryItemKey(static_cast<std::size_t>(i)), ""));
    }
    history.current = store.ReadString(section, kHistoryCurrentKey, "");
    return history;
}

void WriteHistory(IniStore &store, std::string_view section, const std::vector<std::string> &items,
                  std::string_view current) {
    const std::size_t count =
        std::min(items.size(), static_cast<std::size_t>(std::numeric_limits<int>::max()));
    store.WriteInteger(section, kHistoryCountKey, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
        store.WriteString(section, HistoryItemKey(i), items[i]);
    }
    store.WriteString(section, kHistoryCurrentKey, current);
}

WindowShowState WindowShowStateFromSetting(int value) {
    switch (value) {
    case 1:
        return WindowShowState::Minimised;
    case 2:
        return WindowShowState::Maximised;
    default:
        return WindowShowState::Normal;
    }
}

int WindowShowStateToSetting(WindowShowState state) {
    return static_cast<int>(state);
}

} // namespace ziffa

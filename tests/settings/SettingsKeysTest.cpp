#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace ziffa {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const History kFunctions{{"sin(x)", "cos(x)"}, "tg(x)"};
const History kExpressions{{"1+1", "2+2", "3+3"}, "4+4"};

// A save as the calculator window makes it: every key of the table, in the table's order.
void SaveEverything(IniStore &store) {
    int number = 0;
    for (const KeySpec &row : kSettingKeys) {
        ++number;
        switch (row.type) {
        case SettingType::Integer:
            if (row.id == SettingKey::ChartEntriesCount) {
                WriteHistory(store, row.section, kFunctions.items, kFunctions.current);
            } else if (row.id == SettingKey::CalculatorEntriesCount) {
                WriteHistory(store, row.section, kExpressions.items, kExpressions.current);
            } else {
                WriteSettingInteger(store, row.id, number);
            }
            break;
        case SettingType::Boolean:
            WriteSettingBool(store, row.id, true);
            break;
        case SettingType::Text:
            if (row.key != kHistoryCurrentKey) {
                WriteSettingText(store, row.id, "text" + std::to_string(number));
            }
            break;
        case SettingType::HistoryItems:
            break; // written with the Count
        }
    }
}

TEST(SettingsKeys, FileMadeFromNothingHasTheDocumentedOrder) {
    TempFolder folder;
    const auto file = folder / "ziffa.ini";
    IniStore store(file);
    SaveEverything(store);
    store.Save();
    EXPECT_EQ(ReadBytes(file), "[Calculator]\n"
                               "Width=1\n"
                               "Left=2\n"
                               "Top=3\n"
                               "Memo1=text28\n"
                               "Memo2=text29\n"
                               "\n"
                               "[Variables]\n"
                               "Left=4\n"
                               "Top=5\n"
                               "ShowWindow=1\n"
                               "Variable01=text7\n"
                               "Variable02=text8\n"
                               "Variable03=text9\n"
                               "Variable04=text10\n"
                               "Variable05=text11\n"
                               "Value01=text12\n"
                               "Value02=text13\n"
                               "Value03=text14\n"
                               "Value04=text15\n"
                               "Value05=text16\n"
                               "\n"
                               "[Chart]\n"
                               "Left=17\n"
                               "Top=18\n"
                               "Width=19\n"
                               "Height=20\n"
                               "WindowsState=21\n"
                               "\n"
                               "[ChartEntries]\n"
                               "Count=2\n"
                               "0=sin(x)\n"
                               "1=cos(x)\n"
                               "Current=tg(x)\n"
                               "\n"
                               "[CalculatorEntries]\n"
                               "Count=3\n"
                               "0=1+1\n"
                               "1=2+2\n"
                               "2=3+3\n"
                               "Current=4+4\n"
                               "\n");
    const IniStore loaded(file);
    EXPECT_EQ(ReadHistory(loaded, section::ChartEntries), kFunctions);
    EXPECT_EQ(ReadHistory(loaded, section::CalculatorEntries), kExpressions);
}

TEST(SettingsKeys, ExistingFileKeepsItsOrderAndForeignKeys) {
    TempFolder folder;
    const auto file = folder / "ziffa.ini";
    WriteBytes(file, "[chart]\nmine=1\nLEFT=3\n[calculator]\nmemo1=old\n");
    IniStore store(file);
    SaveEverything(store);
    const std::string text = store.Text();
    const std::string start = "[chart]\nmine=1\nLEFT=17\nTop=18\nWidth=19\nHeight=20\n"
                              "WindowsState=21\n\n"
                              "[calculator]\nmemo1=text28\nWidth=1\nLeft=2\nTop=3\nMemo2=text29\n\n"
                              "[Variables]\nLeft=4\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
}

TEST(SettingsKeys, DefaultsOfAFirstRun) {
    const IniStore empty;
    const DefaultInputs inputs{421, 200, 135, 250};
    const std::map<SettingKey, int> integers = {
        {SettingKey::CalculatorWidth, 421}, {SettingKey::CalculatorLeft, 200},
        {SettingKey::CalculatorTop, 1},     {SettingKey::VariablesLeft, 200 - 250 - 2},
        {SettingKey::VariablesTop, 1},      {SettingKey::ChartLeft, 200},
        {SettingKey::ChartTop, 136},        {SettingKey::ChartWidth, 800},
        {SettingKey::ChartHeight, 600},     {SettingKey::ChartWindowsState, 0},
        {SettingKey::ChartEntriesCount, 0}, {SettingKey::CalculatorEntriesCount, 0},
    };
    for (const KeySpec &row : kSettingKeys) {
        SCOPED_TRACE(std::string(row.section) + "/" + std::string(row.key));
        switch (row.type) {
        case SettingType::Integer:
            ASSERT_TRUE(integers.count(row.id));
            EXPECT_EQ(ReadSettingInteger(empty, row.id, inputs), integers.at(row.id));
            break;
        case SettingType::Boolean:
            EXPECT_FALSE(ReadSettingBool(empty, row.id));
            break;
        case SettingType::Text:
            EXPECT_EQ(ReadSettingText(empty, row.id), "");
            break;
        case SettingType::HistoryItems:
            break;
        }
    }
    EXPECT_EQ(ReadHistory(empty, section::ChartEntries), History{});
}

TEST(SettingsKeys, ComputedDefaultsStayInRange) {
    const IniStore empty;
    const DefaultInputs extreme{0, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_EQ(ReadSettingInteger(empty, SettingKey::VariablesLeft, extreme), INT_MIN);
    EXPECT_EQ(ReadSettingInteger(empty, SettingKey::ChartTop, extreme), INT_MAX);
    EXPECT_EQ(ReadSettingInteger(empty, SettingKey::ChartLeft, extreme), INT_MIN);
}

TEST(SettingsKeys, ReadsAHandWrittenFile) {
    struct Case {
        const char *text;
        bool showWindow;
        int width;
    };
    const std::vector<Case> cases = {
        {"[variables]\nSHOWWINDOW=5\n[CALCULATOR]\nwidth=500\n", true, 500},
        {"[Variables]\nShowWindow=yes\n[Calculator]\nWidth=wide\n", false, 421},
        {"[Variables]\nShowWindow=0x1\n[Calculator]\nWidth=0x200\n", true, 512},
        {"[Variables]\nShowWindow=-1\n[Calculator]\nWidth= 600 \n", true, 600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        TempFolder folder;
        WriteBytes(folder / "s.ini", c.text);
        const IniStore store(folder / "s.ini");
        EXPECT_EQ(ReadSettingBool(store, SettingKey::VariablesShowWindow), c.showWindow);
        EXPECT_EQ(ReadSettingInteger(store, SettingKey::CalculatorWidth, {421, 0, 0, 0}), c.width);
    }
}

TEST(SettingsKeys, WrongKindOfCallIsRefused) {
    IniStore store;
    EXPECT_THROW(ReadSettingText(store, SettingKey::CalculatorWidth), std::invalid_argument);
    EXPECT_THROW(ReadSettingInteger(store, SettingKey::VariablesShowWindow), std::invalid_argument);
    EXPECT_THROW(WriteSettingBool(store, SettingKey::CalculatorMemo1, true), std::invalid_argument);
    EXPECT_THROW(WriteSettingText(store, SettingKey::ChartEntriesItems, ""), std::invalid_argument);
    EXPECT_EQ(store.Text(), "");
}

struct CountCase {
    const char *count; // nullptr: no Count key
    int itemsInFile;
    std::size_t itemsRead;
};

TEST(History, ReadsCountItemsAtMostTheCap) {
    const std::vector<CountCase> cases = {
        {"3", 3, 3},
        {"3", 1, 3}, // missing items read as empty
        {"2", 5, 2}, // surplus items are not read
        {"0", 3, 0},
        {"-5", 3, 0},
        {"-2147483648", 3, 0},
        {"2147483647", 3, static_cast<std::size_t>(kMaxHistoryRead)},
        {"10001", 3, static_cast<std::size_t>(kMaxHistoryRead)},
        {"0x3", 3, 3},
        {"three", 3, 0},
        {nullptr, 3, 0},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(c.count ? c.count : "<absent>");
        std::string text = "[CalculatorEntries]\n";
        if (c.count) {
            text += std::string("Count=") + c.count + "\n";
        }
        for (int i = 0; i < c.itemsInFile; ++i) {
            text += std::to_string(i) + "=item" + std::to_string(i) + "\n";
        }
        text += "Current=now\n";
        TempFolder folder;
        WriteBytes(folder / "s.ini", text);
        const History history = ReadHistory(IniStore(folder / "s.ini"), section::CalculatorEntries);
        ASSERT_EQ(history.items.size(), c.itemsRead);
        for (std::size_t i = 0; i < history.items.size(); ++i) {
            const bool present = i < static_cast<std::size_t>(c.itemsInFile);
            EXPECT_EQ(history.items[i], present ? "item" + std::to_string(i) : "") << i;
        }
        EXPECT_EQ(history.current, "now");
    }
}

TEST(History, ReadsTenThousandEntries) {
    std::string text = "[ChartEntries]\nCount=10000\n";
    for (int i = 0; i < 10000; ++i) {
        text += std::to_string(i) + "=f" + std::to_string(i) + "\n";
    }
    const History history = ReadHistory(IniStore::FromText(text), section::ChartEntries);
    ASSERT_EQ(history.items.size(), 10000u);
    EXPECT_EQ(history.items.front(), "f0");
    EXPECT_EQ(history.items.back(), "f9999");
}

TEST(History, ShorterSaveKeepsTheSurplusItems) {
    IniStore store = IniStore::FromText("[ChartEntries]\nCount=3\n0=a\n1=b\n2=c\nCurrent=x\n");
    WriteHistory(store, section::ChartEntries, {"n"}, "");
    EXPECT_EQ(store.Text(), "[ChartEntries]\nCount=1\n0=n\n1=b\n2=c\nCurrent=\n\n");
    EXPECT_EQ(ReadHistory(store, section::ChartEntries), (History{{"n"}, ""}));
}

TEST(History, EntriesLoseSurroundingBlanksThroughTheFile) {
    TempFolder folder;
    const auto file = folder / "s.ini";
    {
        IniStore store(file);
        WriteHistory(store, section::CalculatorEntries, {" 1+1", "2 + 2 "}, "  3");
        store.Save();
    }
    EXPECT_EQ(ReadHistory(IniStore(file), section::CalculatorEntries),
              (History{{"1+1", "2 + 2"}, "3"}));
}

TEST(WindowShowState, OnlyZeroOneTwoMeanSomething) {
    const std::vector<std::pair<int, WindowShowState>> cases = {
        {0, WindowShowState::Normal},    {1, WindowShowState::Minimised},
        {2, WindowShowState::Maximised}, {3, WindowShowState::Normal},
        {-1, WindowShowState::Normal},   {INT_MAX, WindowShowState::Normal},
    };
    for (const auto &[value, state] : cases) {
        EXPECT_EQ(WindowShowStateFromSetting(value), state) << value;
    }
    EXPECT_EQ(WindowShowStateToSetting(WindowShowState::Maximised), 2);
}

} // namespace
} // namespace ziffa

// The calculator window's show and close handlers. The first show reads the settings file into
// the three windows, runs the command-line calculation and brings the window forward; the close
// writes the windows' state back into the file.
#include "forms/CalculatorWindow.h"

#include "components/Graph3d.h"
#include "forms/ChartWindow.h"
#include "forms/Foreground.h"
#include "forms/Reporter.h"
#include "forms/TextConvert.h"
#include "forms/VariablesWindow.h"
#include "forms/WindowGeometry.h"
#include "settings/IniStore.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsPath.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QStringList>
#include <QToolButton>

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace ziffa {

namespace {

std::filesystem::path SettingsFileName() {
    // The executable's path as the file system spells it: Qt's own turns bytes that are no UTF-8
    // into U+FFFD, which would name another folder. Qt's is the fallback where /proc is missing.
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.is_absolute())
        return SettingsFilePath(executable);
    const QByteArray named = QFile::encodeName(QCoreApplication::applicationFilePath());
    return SettingsFilePath(std::filesystem::path(named.toStdString()));
}

// Opens the settings store, finishing a save that was killed while writing the file in place.
IniStore OpenSettings(const std::filesystem::path &fileName) {
    return IniStore(fileName, SettingsStateFolder());
}

// ---- Load.

void LoadCalculatorPlace(CalculatorWindow &form, const IniStore &store) {
    const int width =
        ReadSettingInteger(store, SettingKey::CalculatorWidth, {.calculatorWidth = form.width()});
    SizeClientArea(form, width, form.height()); // the window's size limits bound the width
    const int left = ReadSettingInteger(store, SettingKey::CalculatorLeft);
    const int top = ReadSettingInteger(store, SettingKey::CalculatorTop);
    PlaceWindow(form, left, top);
}

// The computed defaults take the windows' outer sizes, frames included: the variables window
// stands 2 pixels left of the calculator's frame, the chart window just below it. A frame is
// known once the window manager has framed the window; until then it is estimated.
DefaultInputs InputsOfDefaults(const CalculatorWindow &form) {
    const QMargins frame = FrameOrEstimate(form);
    const QMargins variablesFrame =
        FormVariables ? FrameOrEstimate(*FormVariables, &form) : QMargins();
    return {.calculatorWidth = form.width(),
            .calculatorLeft = form.x(),
            .calculatorHeight = form.height() + frame.top() + frame.bottom(),
            .variablesWidth = FormVariables ? FormVariables->width() + variablesFrame.left() +
                                                  variablesFrame.right()
                                            : 0};
}

// Whether the file gives a key with a computed default a value of its own (a missing key, or
// one that doesn't read as an integer, takes the default). Read with two sets of inputs whose
// defaults differ, only a value of the file's comes back the same.
bool FileGives(const IniStore &store, SettingKey id) {
    const DefaultInputs one{.calculatorLeft = 0, .calculatorHeight = 0};
    const DefaultInputs other{.calculatorLeft = 1, .calculatorHeight = 1};
    return ReadSettingInteger(store, id, one) == ReadSettingInteger(store, id, other);
}

void LoadVariablesWindow(CalculatorWindow &form, const IniStore &store, bool &leftByDefault) {
    const DefaultInputs inputs = InputsOfDefaults(form);
    const int left = ReadSettingInteger(store, SettingKey::VariablesLeft, inputs);
    const int top = ReadSettingInteger(store, SettingKey::VariablesTop, inputs);
    leftByDefault = !FileGives(store, SettingKey::VariablesLeft);
    if (FormVariables)
        PlaceWindow(*FormVariables, left, top);

    form.SpeedButton7->setChecked(ReadSettingBool(store, SettingKey::VariablesShowWindow));
    form.ShowVariablesWindow(form.SpeedButton7->isChecked());

    // Each text that differs from the box's runs the box's change handler, which rebuilds the
    // variables.
    for (int row = 0; row < VariablesWindow::RowCount; ++row) {
        const std::string name = ReadSettingText(store, VariableNameKey(row));
        if (FormVariables)
            FormVariables->NameBox(row)->setText(FromCp1250(name));
    }
    for (int row = 0; row < VariablesWindow::RowCount; ++row) {
        const std::string value = ReadSettingText(store, VariableValueKey(row));
        if (FormVariables)
            FormVariables->ValueBox(row)->setText(FromCp1250(value));
    }
}

void LoadChartWindow(const CalculatorWindow &form, const IniStore &store, bool &topByDefault) {
    const DefaultInputs inputs = InputsOfDefaults(form);
    const int left = ReadSettingInteger(store, SettingKey::ChartLeft, inputs);
    const int top = ReadSettingInteger(store, SettingKey::ChartTop, inputs);
    topByDefault = !FileGives(store, SettingKey::ChartTop);
    const int width = ReadSettingInteger(store, SettingKey::ChartWidth, inputs);
    const int height = ReadSettingInteger(store, SettingKey::ChartHeight, inputs);
    const int state = ReadSettingInteger(store, SettingKey::ChartWindowsState, inputs);
    if (!FormWykres)
        return;
    SizeClientArea(*FormWykres, width, height); // first: the size decides what is in reach
    PlaceWindow(*FormWykres, left, top);
    SetWindowStateOf(*FormWykres, WindowShowStateFromSetting(state));
    // A hidden window hears of its new size only when it is shown. The graph, which fills the
    // window, takes the size now and is cleared to it, as the window's resize would have it.
    if (FormWykres->isHidden() && FormWykres->Graph)
        FormWykres->Graph->g3D_cleargraph();
}

// Appends the section's items to the box and sets its edit text, with no item chosen.
void LoadHistory(const IniStore &store, std::string_view section, QComboBox &box) {
    const History history = ReadHistory(store, section);
    QStringList items;
    items.reserve(static_cast<qsizetype>(history.items.size()));
    for (const std::string &item : history.items)
        items.push_back(FromCp1250(item));
    box.addItems(items);
    box.setCurrentIndex(-1);
    box.setEditText(FromCp1250(history.current));
}

// ---- Save.

std::vector<std::string> HistoryItems(const QComboBox &box) {
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(box.count()));
    for (int i = 0; i < box.count(); ++i)
        items.push_back(ToCp1250(box.itemText(i)));
    return items;
}

// A place that the window system doesn't tell (placesKnown false) is not written: the file keeps
// the one it had.
void SavePlace(IniStore &store, SettingKey left, SettingKey top, const QWidget &window,
               bool placesKnown) {
    if (!placesKnown)
        return;
    WriteSettingInteger(store, left, window.x());
    WriteSettingInteger(store, top, window.y());
}

void SaveWindows(const CalculatorWindow &form, IniStore &store, bool placesKnown) {
    WriteSettingInteger(store, SettingKey::CalculatorWidth, form.width());
    SavePlace(store, SettingKey::CalculatorLeft, SettingKey::CalculatorTop, form, placesKnown);
    if (FormVariables)
        SavePlace(store, SettingKey::VariablesLeft, SettingKey::VariablesTop, *FormVariables,
                  placesKnown);
    WriteSettingBool(store, SettingKey::VariablesShowWindow, form.SpeedButton7->isChecked());
    if (FormVariables) {
        for (int row = 0; row < VariablesWindow::RowCount; ++row)
            WriteSettingText(store, VariableNameKey(row),
                             ToCp1250(FormVariables->NameBox(row)->text()));
        for (int row = 0; row < VariablesWindow::RowCount; ++row)
            WriteSettingText(store, VariableValueKey(row),
                             ToCp1250(FormVariables->ValueBox(row)->text()));
    }
    if (FormWykres) {
        SavePlace(store, SettingKey::ChartLeft, SettingKey::ChartTop, *FormWykres, placesKnown);
        WriteSettingInteger(store, SettingKey::ChartWidth, FormWykres->width());
        WriteSettingInteger(store, SettingKey::ChartHeight, FormWykres->height());
        WriteSettingInteger(store, SettingKey::ChartWindowsState,
                            WindowShowStateToSetting(WindowStateOf(*FormWykres)));
    }
}

void SaveHistory(IniStore &store, std::string_view section, const QComboBox &box) {
    WriteHistory(store, section, HistoryItems(box), ToCp1250(box.currentText()));
}

// Clears a flag when it goes out of scope, however the scope is left.
class FlagScope {
public:
    explicit FlagScope(bool &flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &flag_;
};

} // namespace

void CalculatorWindow::FormShow() {
    {
        // A file that exists but can't be read throws here, before anything is applied, and
        // the close will leave it as it is.
        settingsUnreadable_ = true;
        const IniStore store = OpenSettings(SettingsFileName());
        settingsUnreadable_ = false;
        const FlagScope loading(loadingSettings_);
        LoadCalculatorPlace(*this, store);
        bool variablesLeftByDefault = false;
        bool chartTopByDefault = false;
        LoadVariablesWindow(*this, store, variablesLeftByDefault);
        LoadChartWindow(*this, store, chartTopByDefault);
        // The places that depend on frames are settled again once the frames are known.
        if (variablesLeftByDefault || chartTopByDefault)
            WhenFramed(*this, [this, variablesLeftByDefault, chartTopByDefault, left = x()] {
                SettleDefaultPlaces(left, variablesLeftByDefault, chartTopByDefault);
            });
        LoadHistory(store, section::ChartEntries, *ComboBoxFun);
        ComboBoxFun->lineEdit()->selectAll();
        LoadHistory(store, section::CalculatorEntries, *ComboBoxExpression);

        RunCommandLine();
        if (closed_)
            return;
        ComboBoxExpression->lineEdit()->selectAll();
        StoreMemory1(ReadSettingText(store, SettingKey::CalculatorMemo1));
        StoreMemory2(ReadSettingText(store, SettingKey::CalculatorMemo2));
    } // the store closes without writing
    ForceForeground(*this);
}

void CalculatorWindow::SettleDefaultPlaces(int calculatorLeft, bool variablesLeft, bool chartTop) {
    const IniStore none; // every key takes its default
    DefaultInputs inputs = InputsOfDefaults(*this);
    // The left as loaded: the window system may not have told the framed window's place yet.
    inputs.calculatorLeft = calculatorLeft;
    if (variablesLeft && FormVariables)
        PlaceWindow(*FormVariables, ReadSettingInteger(none, SettingKey::VariablesLeft, inputs),
                    FormVariables->y());
    if (chartTop && FormWykres)
        PlaceWindow(*FormWykres, FormWykres->x(),
                    ReadSettingInteger(none, SettingKey::ChartTop, inputs));
}

void CalculatorWindow::RunCommandLine() {
    if (commandLine_.isEmpty())
        return;
    ComboBoxExpression->setEditText(commandLine_.front());
    ButtonCalculateClick();
}

void CalculatorWindow::FormClose() {
    // Closed by the command line's calculation while the settings are still being read ("exit"):
    // the file holds them all, and the memory slots, not read yet, would be written empty.
    if (loadingSettings_)
        return;
    const std::filesystem::path fileName = SettingsFileName();
    // This session began with the initial state, not the user's: saving it would put that over
    // the file (histories, memories, places), which may be readable again by now.
    if (settingsUnreadable_) {
        Reporter().ShowWarning(
            this, QStringLiteral("Ziffa"),
            QStringLiteral("Pliku ustawie\u0144 %1 nie uda\u0142o si\u0119 odczyta\u0107 przy "
                           "starcie, wi\u0119c pozostawiono go bez zmian. Stan tej sesji nie "
                           "zosta\u0142 zapisany.")
                .arg(QFile::decodeName(QByteArray::fromStdString(fileName.native()))));
        return;
    }
    // Reads the file as it stands now, so that keys written by others survive. A file that
    // can't be read throws here, before anything is written.
    IniStore store = OpenSettings(fileName);
    SaveWindows(*this, store, placesKnown_.value_or(WindowPlacesKnown()));
    SaveHistory(store, section::ChartEntries, *ComboBoxFun);
    SaveHistory(store, section::CalculatorEntries, *ComboBoxExpression);
    WriteSettingText(store, SettingKey::CalculatorMemo1, MemorySlot1);
    WriteSettingText(store, SettingKey::CalculatorMemo2, MemorySlot2);
    try {
        CreateSettingsFolder(fileName);
        store.Save();
    } catch (const std::exception &) {
        // A settings file that can't be written is given up without a word; the old one, if
        // any, stays whole.
    }
}

} // namespace ziffa

#pragma once

#include "forms/KeyMapping.h"

#include <QStringList>
#include <QWidget>

#include <optional>
#include <string>
#include <string_view>

class QCloseEvent;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace ziffa {

class Anchors;
class Announcer;

// The calculator window: a narrow, always-on-top bar with the expression box, the result field,
// the calculate and copy buttons and a row of flat buttons underneath (reset, information,
// variables, chart, and the two memory slots). It is the program's main window: closing it ends
// the application.
class CalculatorWindow : public QWidget {
    Q_OBJECT
public:
    // commandLine: the program's arguments after its name; the first one, if any, is calculated
    // when the window is first shown.
    explicit CalculatorWindow(QStringList commandLine = {});
    ~CalculatorWindow() override;

    // ---- Controls, owned by the window.
    QWidget *PanelOblicz;
    QLabel *Label3;
    QComboBox *ComboBoxExpression;
    QPushButton *ButtonCalculate;
    QLabel *Label1;
    QLineEdit *EditResult;
    QPushButton *ButtonCopy;
    QWidget *PanelWykres;
    QLabel *Label4;
    QComboBox *ComboBoxFun;
    QPushButton *ButtonDraw;
    QToolButton *SpeedButton1; // "&Zeruj"
    QToolButton *SpeedButton6; // "?"
    QToolButton *SpeedButton7; // "Zmienne"
    QToolButton *SpeedButton8; // "Wykres"
    QToolButton *SpeedButton2; // ">M1"
    QToolButton *SpeedButton3; // "M1>"
    QToolButton *SpeedButton4; // ">M2"
    QToolButton *SpeedButton5; // "M2>"
    QPushButton *ButtonClose;
    // Speaks the result or the error line of each calculation through a screen reader.
    Announcer *ResultAnnouncer;

    // ---- The memory slots: result texts, 8-bit Windows-1250, exactly as they were taken.
    std::string MemorySlot1;
    std::string MemorySlot2;

    // ---- Handlers and operations.
    void FormShow();
    void FormClose();
    void FormKeyUp(ShortcutKey key, Qt::KeyboardModifiers shift);
    void ButtonCalculateClick();
    void ButtonCloseClick();
    void EditResultChange();
    void ButtonCopyClick();
    void SpeedButton1Click(); // reset
    void SpeedButton2Click(); // store into slot 1
    void SpeedButton3Click(); // recall slot 1
    void SpeedButton4Click(); // store into slot 2
    void SpeedButton5Click(); // recall slot 2
    void SpeedButton6Click(); // information window
    void SpeedButton7Click(); // variables window
    void SpeedButton8Click(); // chart mode
    // The plot request; a null sender is the silent re-run of the chart window's timer.
    void ButtonDrawClick(QObject *sender);

    void StoreMemory1(std::string_view text);
    void StoreMemory2(std::string_view text);
    void ShowVariablesWindow(bool down);
    // Brings the window forward and asks for the activation (Escape in the variables and chart
    // windows). When the focus is in a drop-down box, the box's whole text is selected, as when
    // the focus moves into it, so that typing replaces it.
    void ActivateWithFocus();
    void SetChartMode(bool on);
    // The reset while the chart row is shown: empties the function box and clears the graph.
    void ChartModeReset();
    // The chart mode that draws: shows "Wykres", gives the graph the look of a drawing chart,
    // and makes "Rysuj" draw the function of x and y that it accepts.
    void EnableChartDrawing();

    // Whether the window system tells where the windows stand, as the platform says unless set
    // here. Where it doesn't, the close writes back no places: the file keeps those it had.
    void SetPlacesKnown(bool known) { placesKnown_ = known; }

    // Whether the result field shows an error line (its text is pure red).
    bool ResultShowsError() const;
    // Whether the chart mode can be entered at all: the "Wykres" button is not hidden.
    bool ChartGateOpen() const;

    // Whether the window has closed: its close handler has run.
    bool Closed() const noexcept { return closed_; }
    // Whether the first show has read the settings file, so that FormClose saves over it.
    bool SettingsRead() const noexcept {
        return shown_ && !loadingSettings_ && !settingsUnreadable_;
    }

protected:
    void setVisible(bool visible) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildCalculationRow();
    void BuildChartRow();
    void BuildBottomRow();
    void FormCreate();
    void RunCommandLine();
    // Places the windows whose places the settings file left to their defaults again, by the
    // frames now known (those defaults take the windows' outer sizes), from the calculator
    // window's left as loaded.
    void SettleDefaultPlaces(int calculatorLeft, bool variablesLeft, bool chartTop);
    bool FormKeyPress(const QKeyEvent &event);
    // F5 and F6: flip the button's down state, then run its click handler.
    void ToggleVariables();
    void ToggleChart();
    // Shows a value (black) or an error line (pure red) in the result field: the colour first,
    // so that the change handler judges the new text by it.
    void SetResult(const QColor &colour, const QString &text);
    // Announces the result field's text after a calculation; before: its text until then.
    void AnnounceResult(const QString &before);

    QStringList commandLine_;
    Anchors *anchors_;
    void DrawFunction(const std::string &text);

    bool chartDrawing_ = false;
    std::string lastDrawn_; // the function on the chart, in the chart mode that draws
    bool shown_ = false;
    bool closed_ = false;
    bool loadingSettings_ = false;    // while FormShow applies the settings file
    bool settingsUnreadable_ = false; // the first show could not read the settings file
    std::optional<bool> placesKnown_; // unset: as the platform says
};

// The calculator window while it exists.
extern CalculatorWindow *FormZiffa;

} // namespace ziffa

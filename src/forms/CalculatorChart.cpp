// The calculator window's chart row: the switch between the calculation row and the chart row,
// the plot request and the reset of the chart row. All of it stands behind the "Wykres" button:
// while that button is hidden, every entry returns at once.
#include "forms/CalculatorWindow.h"

#include "components/Graph3d.h"
#include "forms/ChartLook.h"
#include "forms/ChartWindow.h"
#include "forms/HistoryBox.h"
#include "forms/KeptActivation.h"
#include "forms/Reporter.h"
#include "forms/TextConvert.h"
#include "forms/VariablesWindow.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/Tables.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace ziffa {

bool CalculatorWindow::ChartGateOpen() const {
    return SpeedButton8->isVisibleTo(this);
}

void CalculatorWindow::SetChartMode(bool on) {
    if (!ChartGateOpen())
        return;
    SpeedButton8->setChecked(on);
    PanelWykres->setVisible(on);
    PanelOblicz->setVisible(!on);
    if (on) {
        // The chart window shows without taking the activation (a window flag), so the typing
        // goes on here, in the function box; where the compositor gives it the activation all
        // the same, it is asked back.
        if (FormWykres) {
            FormWykres->show();
            // (Only the activation: the typing may have begun, the text is selected already.)
            KeepActivationFrom(*FormWykres, [this] { activateWindow(); });
        }
        FocusWholeText(*ComboBoxFun);
    } else {
        if (FormWykres)
            FormWykres->hide();
        FocusWholeText(*ComboBoxExpression);
    }
    // Closing the chart window from its own keys or its close box leaves no window active.
    if (!isActiveWindow())
        activateWindow();
}

void CalculatorWindow::SpeedButton8Click() {
    if (ChartGateOpen())
        SetChartMode(SpeedButton8->isChecked());
}

void CalculatorWindow::ButtonDrawClick(QObject *sender) {
    if (!ChartGateOpen())
        return;
    if (!sender && chartDrawing_) {
        // The timer's re-run after a resize (the first one comes as the chart window is shown):
        // the picture shown follows the window's new size. The box, where the typing may have
        // begun, is left as it is.
        if (FormWykres && !lastDrawn_.empty())
            FormWykres->Graph->g3D_drawfromfunction(lastDrawn_);
        return;
    }
    QLineEdit &edit = *ComboBoxFun->lineEdit();
    const int selectionStart =
        edit.hasSelectedText() ? edit.selectionStart() : edit.cursorPosition();
    const int selectionLength = static_cast<int>(edit.selectedText().size());

    SetEditTextIfOther(*ComboBoxFun,
                       FromCp1250(NormalizeExpression(ToCp1250(ComboBoxFun->currentText()))));
    // The noted selection, kept within the text, which normalising may have shortened.
    const int length = static_cast<int>(edit.text().size());
    const int start = std::min(selectionStart, length);
    edit.setSelection(start, std::min(selectionLength, length - start));

    const std::string text = ToCp1250(ComboBoxFun->currentText());
    if (text == "exit") {
        close();
        if (closed_)
            return; // the application is ending; a message box now would outlive its windows
    }

    if (chartDrawing_) {
        DrawFunction(text);
        return;
    }

    int errorCode = 0;
    int errorPosition = 0;
    const VariableItems variables = CurrentVariables();
    EvaluateExpression(text, errorCode, errorPosition, variables.count, variables.values,
                       variables.names, 0);
    if (errorCode <= 0) {
        AcceptIntoHistory(*ComboBoxFun);
        return;
    }
    if (!sender)
        return;
    Reporter().ShowWarning(this, QStringLiteral("Ziffa - Wykresy"),
                           FromCp1250(ErrorMessage(errorCode)));
    edit.setCursorPosition(errorPosition);
}

void CalculatorWindow::EnableChartDrawing() {
    chartDrawing_ = true;
    SpeedButton8->setVisible(true);
    if (FormWykres) {
        ApplyChartLook(*FormWykres->Graph);
        FormWykres->Graph->g3D_cleargraph();
    }
}

void CalculatorWindow::DrawFunction(const std::string &text) {
    if (!FormWykres)
        return;
    TGraph3D &graph = *FormWykres->Graph;
    // The function is checked as the graph reads it, with its own variables x and y.
    if (const int refused = graph.CheckFunction(text)) {
        Reporter().ShowWarning(this, QStringLiteral("Ziffa - Wykresy"),
                               FromCp1250(ErrorMessage(refused)));
        ComboBoxFun->lineEdit()->setCursorPosition(graph.g3D_errorposition());
        return;
    }
    graph.g3D_cleargraph();
    graph.g3D_drawfromfunction(text);
    lastDrawn_ = text;
    AcceptIntoHistory(*ComboBoxFun);
}

void CalculatorWindow::ChartModeReset() {
    ComboBoxFun->setEditText(QString());
    ComboBoxFun->setFocus();
    if (FormWykres)
        FormWykres->Graph->g3D_cleargraph();
    lastDrawn_.clear(); // the picture is empty now, and stays so after a resize
}

} // namespace ziffa

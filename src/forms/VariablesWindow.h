#pragma once

#include "forms/KeyMapping.h"

#include <QWidget>

#include <array>
#include <string>

class QCloseEvent;
class QLabel;
class QLineEdit;

namespace ziffa {

class TBevel;

// The variables window: five rows of a name box, an "=" sign and a value box. Every change in
// any box rebuilds the variables that every evaluation receives: the valid rows, packed to the
// front in row order. Closing the window only hides it.
class VariablesWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int RowCount = 5;

    VariablesWindow();
    ~VariablesWindow() override;

    // ---- Controls, in the order in which the window declares them.
    QLineEdit *Edit1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Edit2;
    TBevel *Bevel1;
    QLineEdit *Edit3;
    QLabel *Label4;
    QLineEdit *Edit4;
    QLineEdit *Edit5;
    QLabel *Label5;
    QLineEdit *Edit6;
    QLineEdit *Edit7;
    QLabel *Label6;
    QLineEdit *Edit8;
    QLineEdit *Edit9;
    QLabel *Label7;
    QLineEdit *Edit10;
    TBevel *Bevel2;

    // The name box and the value box of row r (0 to 4).
    QLineEdit *NameBox(int row) const;
    QLineEdit *ValueBox(int row) const;

    // ---- The variables, read in place by every evaluation.
    int variableCount() const { return variableCount_; }
    const std::string *variableNames() const { return variableNames_.data(); }
    const double *variableValues() const { return variableValues_.data(); }

    // ---- Handlers.
    void Edit1Change();
    void FormKeyUp(ShortcutKey key, Qt::KeyboardModifiers shift);
    void FormClose();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();

    int variableCount_ = 0;
    std::array<std::string, RowCount> variableNames_;
    std::array<double, RowCount> variableValues_{};
};

// The variables window while it exists.
extern VariablesWindow *FormVariables;

// The three variable items that an evaluation takes: those of the variables window, or none
// while there is no such window.
struct VariableItems {
    int count = 0;
    const double *values = nullptr;
    const std::string *names = nullptr;
};
VariableItems CurrentVariables();

} // namespace ziffa

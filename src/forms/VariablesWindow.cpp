#include "forms/VariablesWindow.h"

#include "forms/AccessibleWindows.h"
#include "forms/Bevel.h"
#include "forms/CalculatorWindow.h"
#include "forms/FormLook.h"
#include "forms/HandlerGuard.h"
#include "forms/HistoryBox.h"
#include "forms/KeyPreview.h"
#include "forms/TextConvert.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/Variables.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace ziffa {

VariablesWindow *FormVariables = nullptr;

namespace {

constexpr int ClientWidth = 161;
constexpr int ClientHeight = 123;

QLineEdit *Box(QWidget *parent, const char *name, int left, int top, int width) {
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, top, width, 19);
    box->setMaxLength(LongestText); // a value of any length is kept whole
    return box;
}

QLabel *Caption(QWidget *parent, const char *name, const QString &text, QRect place) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    return label;
}

QLabel *EqualsSign(QWidget *parent, const char *name, int row) {
    QLabel *label = Caption(parent, name, QStringLiteral("="), {53, 22 + 20 * row, 11, 16});
    label->setFont(PixelFont(QStringLiteral("Verdana"), 13, true));
    return label;
}

constexpr int NameLeft = 5;
constexpr int NameWidth = 41;
constexpr int ValueLeft = 70;
constexpr int ValueWidth = 86;

int RowTop(int row) {
    return 20 + 20 * row;
}

} // namespace

VariablesWindow::VariablesWindow()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
    InstallAccessibleWindows();
    setObjectName(QStringLiteral("FormVariables"));
    setWindowTitle(QStringLiteral("Zmienne"));
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
    resize(ClientWidth, ClientHeight);

    Edit1 = Box(this, "Edit1", NameLeft, RowTop(0), NameWidth);
    Label1 = Caption(this, "Label1", QStringLiteral("Zmienna"), {5, 0, 41, 13});
    Label2 = Caption(this, "Label2", QStringLiteral("Wartość"), {70, 0, 40, 13});
    Label3 = EqualsSign(this, "Label3", 0);
    Edit2 = Box(this, "Edit2", ValueLeft, RowTop(0), ValueWidth);
    Bevel1 = new TBevel(TBevel::Shape::TopLine, this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(5, 15, 151, 11);
    Edit3 = Box(this, "Edit3", NameLeft, RowTop(1), NameWidth);
    Label4 = EqualsSign(this, "Label4", 1);
    Edit4 = Box(this, "Edit4", ValueLeft, RowTop(1), ValueWidth);
    Edit5 = Box(this, "Edit5", NameLeft, RowTop(2), NameWidth);
    Label5 = EqualsSign(this, "Label5", 2);
    Edit6 = Box(this, "Edit6", ValueLeft, RowTop(2), ValueWidth);
    Edit7 = Box(this, "Edit7", NameLeft, RowTop(3), NameWidth);
    Label6 = EqualsSign(this, "Label6", 3);
    Edit8 = Box(this, "Edit8", ValueLeft, RowTop(3), ValueWidth);
    Edit9 = Box(this, "Edit9", NameLeft, RowTop(4), NameWidth);
    Label7 = EqualsSign(this, "Label7", 4);
    Edit10 = Box(this, "Edit10", ValueLeft, RowTop(4), ValueWidth);
    Bevel2 = new TBevel(TBevel::Shape::LeftLine, this);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setGeometry(58, 0, 6, 16);
    // The bevels lie under the boxes.
    Bevel1->lower();
    Bevel2->lower();

    QLineEdit *previous = nullptr;
    for (int row = 0; row < RowCount; ++row) {
        for (QLineEdit *box : {NameBox(row), ValueBox(row)}) {
            BindHandler(box, &QLineEdit::textChanged, this, &VariablesWindow::Edit1Change);
            if (previous)
                setTabOrder(previous, box);
            previous = box;
        }
    }
    new KeyPreview(this, nullptr, [this](const QKeyEvent &event) {
        RunGuarded([&] { FormKeyUp(MapShortcutKey(event), event.modifiers()); });
    });

    FormVariables = this;
    FormCreate();
}

VariablesWindow::~VariablesWindow() {
    if (FormVariables == this)
        FormVariables = nullptr;
}

void VariablesWindow::FormCreate() {
    // A tool window of fixed size.
    setFixedSize(ClientWidth, ClientHeight);
    FitCaptions(*this); // the headings, in the fonts that stand in for the design's
    KeepTextLook(*this);
}

QLineEdit *VariablesWindow::NameBox(int row) const {
    const std::array<QLineEdit *, RowCount> boxes = {Edit1, Edit3, Edit5, Edit7, Edit9};
    return boxes.at(static_cast<std::size_t>(row));
}

QLineEdit *VariablesWindow::ValueBox(int row) const {
    const std::array<QLineEdit *, RowCount> boxes = {Edit2, Edit4, Edit6, Edit8, Edit10};
    return boxes.at(static_cast<std::size_t>(row));
}

void VariablesWindow::Edit1Change() {
    static_assert(RowCount == kMaxVariables);
    // The boxes' texts in Windows-1250, which the rows look into.
    std::array<std::string, RowCount> names;
    std::array<std::string, RowCount> values;
    std::array<VariableRow, RowCount> rows;
    for (int row = 0; row < RowCount; ++row) {
        const auto r = static_cast<std::size_t>(row);
        names[r] = ToCp1250(NameBox(row)->text());
        values[r] = ToCp1250(ValueBox(row)->text());
        rows[r] = {names[r], values[r]};
    }
    Variables variables = BuildVariables(rows, ExprDecimalSeparator);
    variableCount_ = variables.count;
    variableNames_ = std::move(variables.names);
    variableValues_ = variables.values;
    if (FormZiffa) {
        FormZiffa->SpeedButton7->setText(variableCount_ > 0
                                             ? QStringLiteral("Zmienne (%1)").arg(variableCount_)
                                             : QStringLiteral("Zmienne"));
        FitCaption(*FormZiffa->SpeedButton7);
    }
}

void VariablesWindow::FormKeyUp(ShortcutKey key, Qt::KeyboardModifiers shift) {
    if (key == ShortcutKey::Escape) {
        if (FormZiffa)
            FormZiffa->ActivateWithFocus();
    } else if (key == ShortcutKey::Enter) {
        if (FormZiffa)
            FormZiffa->ButtonCalculateClick();
    } else if (key == ShortcutKey::F5 && !CtrlHeld(shift) && !ShiftHeld(shift)) {
        close();
    }
}

void VariablesWindow::FormClose() {
    if (FormZiffa)
        FormZiffa->ShowVariablesWindow(false);
}

void VariablesWindow::closeEvent(QCloseEvent *event) {
    RunGuarded([this] { FormClose(); });
    event->accept(); // closing only hides the window
}

VariableItems CurrentVariables() {
    if (!FormVariables)
        return {};
    return {FormVariables->variableCount(), FormVariables->variableValues(),
            FormVariables->variableNames()};
}

} // namespace ziffa

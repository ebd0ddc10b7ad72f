// The windows as the user sees them: controls, captions, hints, places, fonts and colours, the
// fixed height, the anchors, and the window kinds.
#include "WindowsFixture.h"

#include "forms/Bevel.h"
#include "forms/CalculatorWindow.h"
#include "forms/FormLook.h"
#include "forms/InformationWindow.h"
#include "forms/VariablesWindow.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace ziffa {
namespace {

struct ControlRow {
    const char *name;
    const char *caption; // nullptr: not checked
    const char *hint;
    QRect place;
    bool enabled;
    bool visible;
};

void PrintTo(const ControlRow &row, std::ostream *os) {
    *os << row.name;
}

QString CaptionOf(const QWidget &w) {
    if (auto *b = qobject_cast<const QAbstractButton *>(&w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(&w))
        return l->text();
    return QString();
}

class CalculatorControls : public WindowsTest, public testing::WithParamInterface<ControlRow> {};

TEST_P(CalculatorControls, StandWhereTheFormPutsThem) {
    const ControlRow &row = GetParam();
    auto *control = ziffa->findChild<QWidget *>(QString::fromLatin1(row.name));
    ASSERT_NE(control, nullptr) << row.name;
    if (row.caption) {
        EXPECT_EQ(CaptionOf(*control), QString::fromUtf8(row.caption));
    }
    EXPECT_EQ(control->toolTip(), QString::fromUtf8(row.hint));
    EXPECT_EQ(control->geometry(), row.place);
    EXPECT_EQ(control->isEnabled(), row.enabled);
    EXPECT_EQ(control->isVisibleTo(ziffa.get()), row.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CalculatorControls,
    testing::Values(
        ControlRow{"PanelOblicz", nullptr, "", {0, 0, 412, 49}, true, true},
        ControlRow{"Label3", "&Wyrażenie ", "", {5, 3, 74, 18}, true, true},
        ControlRow{"ComboBoxExpression", nullptr, "", {78, 2, 281, 21}, true, true},
        ControlRow{"ButtonCalculate", "Oblicz", "Oblicz (Enter)", {363, 2, 46, 21}, true, true},
        ControlRow{"Label1", "Wy&nik ", "", {5, 27, 74, 18}, true, true},
        ControlRow{"EditResult", nullptr, "", {78, 26, 281, 21}, true, true},
        ControlRow{"ButtonCopy", "Kopiuj", "", {363, 26, 46, 21}, true, true},
        ControlRow{"PanelWykres", nullptr, "", {0, 0, 418, 49}, true, false},
        ControlRow{"Label4", "&f(x,y) ", "", {5, 3, 74, 18}, true, false},
        ControlRow{"ComboBoxFun", nullptr, "", {78, 2, 287, 21}, true, false},
        ControlRow{"ButtonDraw", "Rysuj", "Oblicz (Enter)", {369, 2, 46, 21}, true, false},
        ControlRow{"SpeedButton1", "&Zeruj", "(Ctrl+R)", {5, 50, 41, 15}, true, true},
        ControlRow{"SpeedButton6", "?", "Informacje (F1)", {70, 50, 21, 15}, true, true},
        ControlRow{"SpeedButton7", "Zmienne", "Zmienne (F5)", {120, 50, 71, 15}, true, true},
        ControlRow{"SpeedButton8", "Wykres", "Wykres (F6)", {200, 50, 71, 15}, true, false},
        ControlRow{"SpeedButton2",
                   ">M1",
                   "Zapisz do pamięci 1 (Ctrl+Shift+1)",
                   {288, 49, 26, 16},
                   false,
                   true},
        ControlRow{
            "SpeedButton3", "M1>", "Wstaw z pamięci 1 (Ctrl+1)", {318, 49, 26, 16}, false, true},
        ControlRow{"SpeedButton4",
                   ">M2",
                   "Zapisz do pamięci 2 (Ctrl+Shift+2)",
                   {353, 49, 26, 16},
                   false,
                   true},
        ControlRow{
            "SpeedButton5", "M2>", "Wstaw z pamięci 2 (Ctrl+2)", {383, 49, 26, 16}, false, true},
        ControlRow{"ButtonClose", "Zamknij", "", {-83, 24, 75, 19}, true, true}),
    [](const testing::TestParamInfo<ControlRow> &info) { return std::string(info.param.name); });

TEST_F(WindowsTest, CalculatorWindowKindAndSize) {
    EXPECT_EQ(ziffa->windowTitle(), QStringLiteral("Ziffa 3.2"));
    EXPECT_TRUE(ziffa->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(ziffa->windowType(), Qt::Window) << "a normal top-level window";
    EXPECT_EQ(ziffa->size(), QSize(413, 68));
    EXPECT_EQ(ziffa->minimumWidth(), 413);
    EXPECT_EQ(ziffa->minimumHeight(), 68);
    EXPECT_EQ(ziffa->maximumHeight(), 68);
    EXPECT_TRUE(ziffa->font().bold());
    EXPECT_EQ(ziffa->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(ziffa->font().pointSize(), 8);
}

TEST_F(WindowsTest, LooksOfTheControls) {
    for (QLabel *label : {ziffa->Label1, ziffa->Label3, ziffa->Label4}) {
        EXPECT_EQ(label->font().family(), QStringLiteral("Verdana"));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), White);
        EXPECT_EQ(label->palette().color(QPalette::Window), Gray);
        EXPECT_TRUE(label->autoFillBackground());
        EXPECT_EQ(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    }
    EXPECT_EQ(ziffa->Label3->buddy(), ziffa->ComboBoxExpression);
    EXPECT_EQ(ziffa->Label1->buddy(), ziffa->EditResult);
    EXPECT_EQ(ziffa->Label4->buddy(), ziffa->ComboBoxFun);

    struct Look {
        QToolButton *button;
        QColor colour;
        bool bold;
    };
    for (const Look &look :
         {Look{ziffa->SpeedButton1, PureRed, false}, Look{ziffa->SpeedButton2, PureRed, false},
          Look{ziffa->SpeedButton4, PureRed, false}, Look{ziffa->SpeedButton3, DarkGreen, false},
          Look{ziffa->SpeedButton5, DarkGreen, false}, Look{ziffa->SpeedButton6, Black, true},
          Look{ziffa->SpeedButton7, Black, true}, Look{ziffa->SpeedButton8, Black, true}}) {
        EXPECT_EQ(look.button->palette().color(QPalette::Active, QPalette::ButtonText), look.colour)
            << look.button->objectName().toStdString();
        EXPECT_EQ(look.button->font().bold(), look.bold);
        EXPECT_EQ(look.button->font().family(), QStringLiteral("MS Sans Serif"));
        EXPECT_TRUE(look.button->autoRaise());
        EXPECT_EQ(look.button->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_TRUE(ziffa->SpeedButton7->isCheckable());
    EXPECT_TRUE(ziffa->SpeedButton8->isCheckable());
    EXPECT_TRUE(ziffa->EditResult->isReadOnly());
    EXPECT_TRUE(ziffa->ButtonCalculate->font().bold());
    EXPECT_EQ(ziffa->ComboBoxExpression->maxVisibleItems(), 30);
    EXPECT_EQ(ziffa->ComboBoxExpression->completer(), nullptr);
    EXPECT_NE(ziffa->ComboBoxFun->completer(), nullptr) << "the function box completes";
    EXPECT_EQ(ziffa->ComboBoxExpression->insertPolicy(), QComboBox::NoInsert);
}

TEST_F(WindowsTest, WideningMovesTheRightAnchoredControls) {
    ziffa->resize(613, 68);
    EXPECT_EQ(ziffa->PanelOblicz->geometry(), QRect(0, 0, 612, 49));
    EXPECT_EQ(ziffa->ComboBoxExpression->geometry(), QRect(78, 2, 481, 21));
    EXPECT_EQ(ziffa->EditResult->geometry(), QRect(78, 26, 481, 21));
    EXPECT_EQ(ziffa->ButtonCalculate->geometry(), QRect(563, 2, 46, 21));
    EXPECT_EQ(ziffa->ButtonCopy->geometry(), QRect(563, 26, 46, 21));
    EXPECT_EQ(ziffa->SpeedButton5->geometry(), QRect(583, 49, 26, 16));
    EXPECT_EQ(ziffa->SpeedButton7->geometry(), QRect(120, 50, 71, 15)) << "anchored left";
    EXPECT_EQ(ziffa->Label3->geometry(), QRect(5, 3, 74, 18));

    ziffa->resize(300, 200);
    EXPECT_EQ(ziffa->size(), QSize(413, 68)) << "no narrower than 413, never another height";
    EXPECT_EQ(ziffa->ButtonCalculate->geometry(), QRect(363, 2, 46, 21));
}

TEST_F(WindowsTest, VariablesWindowLayout) {
    EXPECT_EQ(variables->windowTitle(), QStringLiteral("Zmienne"));
    EXPECT_EQ(variables->windowType(), Qt::Tool);
    EXPECT_EQ(variables->size(), QSize(161, 123));
    EXPECT_EQ(variables->minimumSize(), variables->maximumSize()) << "fixed size";
    EXPECT_EQ(variables->font().pixelSize(), 11);
    EXPECT_EQ(variables->Label1->text(), QStringLiteral("Zmienna"));
    EXPECT_EQ(variables->Label1->geometry(), QRect(5, 0, 41, 13));
    EXPECT_EQ(variables->Label2->text(), QStringLiteral("Wartość"));
    EXPECT_EQ(variables->Label2->geometry(), QRect(70, 0, 40, 13));
    EXPECT_EQ(variables->Bevel1->geometry(), QRect(5, 15, 151, 11));
    EXPECT_EQ(variables->Bevel2->geometry(), QRect(58, 0, 6, 16));
    const QLabel *equals[] = {variables->Label3, variables->Label4, variables->Label5,
                              variables->Label6, variables->Label7};
    for (int r = 0; r < VariablesWindow::RowCount; ++r) {
        EXPECT_EQ(variables->NameBox(r)->geometry(), QRect(5, 20 + 20 * r, 41, 19)) << r;
        EXPECT_EQ(variables->ValueBox(r)->geometry(), QRect(70, 20 + 20 * r, 86, 19)) << r;
        EXPECT_EQ(equals[r]->text(), QStringLiteral("="));
        EXPECT_EQ(equals[r]->geometry(), QRect(53, 22 + 20 * r, 11, 16));
        EXPECT_TRUE(equals[r]->font().bold());
        EXPECT_EQ(equals[r]->font().pixelSize(), 13);
        EXPECT_EQ(equals[r]->font().family(), QStringLiteral("Verdana"));
        EXPECT_EQ(variables->NameBox(r)->text(), QString()) << "empty until the settings";
    }
    // Tab runs Edit1 to Edit10.
    QWidget *w = variables->Edit1;
    for (const char *next :
         {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9", "Edit10"}) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
        EXPECT_EQ(w->objectName().toStdString(), next);
    }
}

// Every caption shows whole in its control with the fonts the project installs, the controls
// staying in their design places.
TEST_F(WindowsTest, EveryCaptionFitsItsControl) {
    InformationWindow information(ziffa.get());
    for (int row = 0; row < VariablesWindow::RowCount; ++row) {
        variables->NameBox(row)->setText(QStringLiteral("a%1").arg(row));
        variables->ValueBox(row)->setText(QStringLiteral("1"));
    }
    ASSERT_EQ(ziffa->SpeedButton7->text(), QStringLiteral("Zmienne (5)")) << "the widest caption";
    for (QWidget *window : std::initializer_list<QWidget *>{ziffa.get(), variables.get(),
                                                            wykres.get(), &information}) {
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (ShownCaption(*control).isEmpty())
                continue;
            const int width = control->fontMetrics().horizontalAdvance(ShownCaption(*control));
            EXPECT_LT(width, CaptionRoom(*control)) // a column to spare
                << window->objectName().toStdString() << "." << control->objectName().toStdString()
                << " \"" << ShownCaption(*control).toStdString() << "\" in "
                << QFontInfo(control->font()).family().toStdString();
            EXPECT_GT(CaptionRoom(*control), control->width() / 2) << "a sensible room";
            EXPECT_LE(CaptionRoom(*control), control->width());
        }
    }
}

} // namespace
} // namespace ziffa

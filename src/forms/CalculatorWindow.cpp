#include "forms/CalculatorWindow.h"

#include "forms/AccessibleWindows.h"
#include "forms/Anchors.h"
#include "forms/Announce.h"
#include "forms/FormLook.h"
#include "forms/HandlerGuard.h"
#include "forms/HistoryBox.h"
#include "forms/InformationWindow.h"
#include "forms/KeyPreview.h"
#include "interpreter/ExpressionText.h"
#include "system/LocaleSeparator.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace ziffa {

CalculatorWindow *FormZiffa = nullptr;

namespace {

constexpr int DesignClientWidth = 413;
constexpr int MinimumClientWidth = 413; // the design's outer 421 less the frame

template <class Control>
Control *Place(Control *control, int left, int top, int width, int height) {
    control->setGeometry(left, top, width, height);
    return control;
}

QToolButton *SpeedButton(QWidget *parent, const QString &caption, const QString &hint,
                         const QColor &colour, bool bold, QRect place) {
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    StyleSpeedButton(*button, colour, bold);
    button->setGeometry(place);
    return button;
}

// A push button of the calculation and chart rows. It is not a tab stop, and a click doesn't
// take the focus either, so that typing goes on in the box that had it.
QPushButton *RowButton(QWidget *parent, const QString &caption, const QString &hint) {
    auto *button = new QPushButton(caption, parent);
    button->setToolTip(hint);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

CalculatorWindow::CalculatorWindow(QStringList commandLine)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      commandLine_(std::move(commandLine)) {
    InstallAccessibleWindows();
    // The form definition.
    setObjectName(QStringLiteral("FormZiffa"));
    setWindowTitle(QStringLiteral("Ziffa 3.2"));
    setFont(PointFont(QStringLiteral("MS Sans Serif"), 8, true));
    resize(DesignClientWidth, 68);
    anchors_ = new Anchors(this);
    BuildCalculationRow();
    BuildChartRow();
    BuildBottomRow();
    ButtonClose = Place(new QPushButton(QStringLiteral("Zamknij"), this), -83, 24, 75, 19);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setFocusPolicy(Qt::NoFocus);
    ButtonClose->setAutoDefault(false);
    setTabOrder(ComboBoxExpression, EditResult);
    ResultAnnouncer = new Announcer(*this);

    BindHandler(ButtonCalculate, &QPushButton::clicked, this,
                &CalculatorWindow::ButtonCalculateClick);
    BindHandler(ButtonCopy, &QPushButton::clicked, this, &CalculatorWindow::ButtonCopyClick);
    BindHandler(ButtonClose, &QPushButton::clicked, this, &CalculatorWindow::ButtonCloseClick);
    BindHandler(EditResult, &QLineEdit::textChanged, this, &CalculatorWindow::EditResultChange);
    BindHandler(SpeedButton1, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton1Click);
    BindHandler(SpeedButton2, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton2Click);
    BindHandler(SpeedButton3, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton3Click);
    BindHandler(SpeedButton4, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton4Click);
    BindHandler(SpeedButton5, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton5Click);
    BindHandler(SpeedButton6, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton6Click);
    BindHandler(SpeedButton7, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton7Click);
    BindHandler(SpeedButton8, &QToolButton::clicked, this, &CalculatorWindow::SpeedButton8Click);
    connect(ButtonDraw, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { ButtonDrawClick(ButtonDraw); }); });
    new KeyPreview(
        this,
        [this](const QKeyEvent &event, bool popupHadKey) {
            bool consumed = false;
            RunGuarded([&] { consumed = !popupHadKey && FormKeyPress(event); });
            return consumed;
        },
        [this](const QKeyEvent &event) {
            RunGuarded([&] { FormKeyUp(MapShortcutKey(event), event.modifiers()); });
        });

    // Construction.
    MemorySlot1.clear();
    MemorySlot2.clear();
    FormInformacje = nullptr;
    ExprDecimalSeparator = LocaleDecimalSeparator();
    FormZiffa = this;
    raise();
    activateWindow();

    FormCreate();
}

CalculatorWindow::~CalculatorWindow() {
    if (FormZiffa == this)
        FormZiffa = nullptr;
}

void CalculatorWindow::BuildCalculationRow() {
    PanelOblicz = Place(new QWidget(this), 0, 0, 412, 49);
    PanelOblicz->setObjectName(QStringLiteral("PanelOblicz"));
    auto *rowAnchors = new Anchors(PanelOblicz);

    // Each label comes before its control, which so lies over the label's last column.
    Label3 = Place(new QLabel(QStringLiteral("&Wyrażenie "), PanelOblicz), 5, 3, 74, 18);
    Label3->setObjectName(QStringLiteral("Label3"));
    ComboBoxExpression = Place(new HistoryBox(PanelOblicz), 78, 2, 281, 21);
    ComboBoxExpression->setObjectName(QStringLiteral("ComboBoxExpression"));
    ComboBoxExpression->setCompleter(nullptr); // no completion from the list while typing
    StyleCaptionLabel(*Label3, ComboBoxExpression);
    ButtonCalculate =
        Place(RowButton(PanelOblicz, QStringLiteral("Oblicz"), QStringLiteral("Oblicz (Enter)")),
              363, 2, 46, 21);
    ButtonCalculate->setObjectName(QStringLiteral("ButtonCalculate"));

    Label1 = Place(new QLabel(QStringLiteral("Wy&nik "), PanelOblicz), 5, 27, 74, 18);
    Label1->setObjectName(QStringLiteral("Label1"));
    EditResult = Place(new QLineEdit(PanelOblicz), 78, 26, 281, 21);
    EditResult->setObjectName(QStringLiteral("EditResult"));
    EditResult->setReadOnly(true);
    SetTextColour(*EditResult, Black);
    StyleCaptionLabel(*Label1, EditResult);
    ButtonCopy =
        Place(RowButton(PanelOblicz, QStringLiteral("Kopiuj"), QString()), 363, 26, 46, 21);
    ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));

    anchors_->Add(PanelOblicz, akLeft | akTop | akRight);
    rowAnchors->Add(ComboBoxExpression, akLeft | akTop | akRight);
    rowAnchors->Add(ButtonCalculate, akTop | akRight);
    rowAnchors->Add(EditResult, akLeft | akTop | akRight);
    rowAnchors->Add(ButtonCopy, akTop | akRight);
}

void CalculatorWindow::BuildChartRow() {
    PanelWykres = Place(new QWidget(this), 0, 0, 418, 49);
    PanelWykres->setObjectName(QStringLiteral("PanelWykres"));
    PanelWykres->hide();
    auto *rowAnchors = new Anchors(PanelWykres);

    Label4 = Place(new QLabel(QStringLiteral("&f(x,y) "), PanelWykres), 5, 3, 74, 18);
    Label4->setObjectName(QStringLiteral("Label4"));
    ComboBoxFun = Place(new HistoryBox(PanelWykres), 78, 2, 287, 21);
    ComboBoxFun->setObjectName(QStringLiteral("ComboBoxFun"));
    StyleCaptionLabel(*Label4, ComboBoxFun);
    ButtonDraw =
        Place(RowButton(PanelWykres, QStringLiteral("Rysuj"), QStringLiteral("Oblicz (Enter)")),
              369, 2, 46, 21);
    ButtonDraw->setObjectName(QStringLiteral("ButtonDraw"));

    rowAnchors->Add(ComboBoxFun, akLeft | akTop | akRight);
    rowAnchors->Add(ButtonDraw, akTop | akRight);
}

void CalculatorWindow::BuildBottomRow() {
    SpeedButton1 = SpeedButton(this, QStringLiteral("&Zeruj"), QStringLiteral("(Ctrl+R)"), PureRed,
                               false, {5, 50, 41, 15});
    SpeedButton6 = SpeedButton(this, QStringLiteral("?"), QStringLiteral("Informacje (F1)"), Black,
                               true, {70, 50, 21, 15});
    SpeedButton7 = SpeedButton(this, QStringLiteral("Zmienne"), QStringLiteral("Zmienne (F5)"),
                               Black, true, {120, 50, 71, 15});
    SpeedButton7->setCheckable(true);
    SpeedButton8 = SpeedButton(this, QStringLiteral("Wykres"), QStringLiteral("Wykres (F6)"), Black,
                               true, {200, 50, 71, 15});
    SpeedButton8->setCheckable(true);
    SpeedButton8->hide();
    SpeedButton2 = SpeedButton(this, QStringLiteral(">M1"),
                               QStringLiteral("Zapisz do pamięci 1 (Ctrl+Shift+1)"), PureRed, false,
                               {288, 49, 26, 16});
    SpeedButton3 =
        SpeedButton(this, QStringLiteral("M1>"), QStringLiteral("Wstaw z pamięci 1 (Ctrl+1)"),
                    DarkGreen, false, {318, 49, 26, 16});
    SpeedButton4 = SpeedButton(this, QStringLiteral(">M2"),
                               QStringLiteral("Zapisz do pamięci 2 (Ctrl+Shift+2)"), PureRed, false,
                               {353, 49, 26, 16});
    SpeedButton5 =
        SpeedButton(this, QStringLiteral("M2>"), QStringLiteral("Wstaw z pamięci 2 (Ctrl+2)"),
                    DarkGreen, false, {383, 49, 26, 16});
    const std::pair<QToolButton *, const char *> names[] = {
        {SpeedButton1, "SpeedButton1"}, {SpeedButton2, "SpeedButton2"},
        {SpeedButton3, "SpeedButton3"}, {SpeedButton4, "SpeedButton4"},
        {SpeedButton5, "SpeedButton5"}, {SpeedButton6, "SpeedButton6"},
        {SpeedButton7, "SpeedButton7"}, {SpeedButton8, "SpeedButton8"}};
    for (const auto &[button, name] : names)
        button->setObjectName(QString::fromLatin1(name));
    for (QToolButton *memory : {SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5}) {
        memory->setEnabled(false);
        anchors_->Add(memory, akTop | akRight);
    }
}

void CalculatorWindow::FormCreate() {
    // A client area just tall enough for the bottom row, with a bottom margin equal to the top
    // margin of the expression label: 50 + 15 + 3 = 68 at design size.
    const int clientHeight =
        SpeedButton1->geometry().top() + SpeedButton1->height() + Label3->geometry().top();
    resize(width(), clientHeight);
    PanelWykres->move(0, 0);
    setMinimumWidth(MinimumClientWidth);
    setMinimumHeight(clientHeight);
    setMaximumHeight(clientHeight);
    FitCaptions(*this);
    KeepTextLook(*this);
}

} // namespace ziffa

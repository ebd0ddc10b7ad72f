// The information window: made on each request, modal, centred, its text, and its keys.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/InformationWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

namespace ziffa {
namespace {

const char *const ExpectedLines[] = {
    "",
    "Kalkulator w formie Interpretera Wyrażeń Matematycznych",
    "",
    "Operatory arytmetyczne:",
    "  -     - odejmowanie  np. 2-3  lub  -2",
    "  +     - dodawanie    np. 2+3  lub  +2",
    "  /     - dzielenie    np. 2/3",
    "  *     - mnożenie     np. 2*3",
    "  ^     - potęga       np. 2^3^4  równoznaczne z  (2^3)^4",
    "  (     - otwarcie nawiasu    np. (2+3)*4",
    "  )     - zamknięcie nawiasu  np. (2+3)*4",
    "",
    "Stałe interpretera:",
    "  pi = 3.14159265358979",
    "  e  = 2.71828182845905",
    "  h  = 6.626076e-34",
    "  k  = 1.380651e-23",
    "  R  = 1.097373153e7",
    "",
    "Funkcje wbudowane w interpreter",
    "  sin(a)    - sinus trygonometryczny",
    "  cos(a)    - kosinus trygonometryczny",
    "  asin(a)   - arcus sinus trygonometryczny",
    "  acos(a)   - arcus kosinus trygonometryczny",
    "  ln(a)     - logarytm naturalny",
    "  !(a)      - silnia",
    "  tg(a)     - tangens trygonometryczny",
    "  ctg(a)    - kotangens trygonometryczny",
    "  abs(a)    - wartość bezwzględna",
    "  log10(a)  - logarytm dziesiesiętny",
    "  exp(a)    - eksponent",
    "  sqrt(a)   - pierwiastek kwadratowy",
};

class InformationTest : public WindowsTest {
protected:
    void Open(const std::function<void(InformationWindow &)> &inside) {
        WithModal([&] { QTest::mouseClick(ziffa->SpeedButton6, Qt::LeftButton); },
                  [&](QWidget &modal) {
                      ASSERT_EQ(&modal, FormInformacje);
                      inside(*FormInformacje);
                  });
        EXPECT_EQ(FormInformacje, nullptr) << "destroyed after closing";
    }
};

TEST_F(InformationTest, ShowsTheHelpTextInAFixedPitchFont) {
    Open([](InformationWindow &window) {
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Ziffa - Informacje"));
        EXPECT_TRUE(window.isModal());
        const QTextDocument &text = *window.Memo1->document();
        ASSERT_EQ(text.blockCount(), 32);
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(text.findBlockByNumber(i).text(), QString::fromUtf8(ExpectedLines[i]))
                << "line " << i + 1;
        EXPECT_TRUE(QFontInfo(window.Memo1->font()).fixedPitch());
        EXPECT_EQ(window.Memo1->font().family(), QStringLiteral("Courier New"));
        EXPECT_TRUE(window.Memo1->isReadOnly());
        EXPECT_EQ(window.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        EXPECT_EQ(window.Memo1->geometry(), QRect(10, 10, 601, 381));
        EXPECT_EQ(window.Button1->geometry(), QRect(271, 400, 75, 25));
        EXPECT_EQ(window.Button1->text(), QStringLiteral("Zamknij"));
        EXPECT_EQ(window.size(), QSize(611, 432));
        EXPECT_EQ(FocusIn(window), "Memo1");
        window.Button1->click();
    });
}

TEST_F(InformationTest, IsCentredOnTheScreen) {
    Open([](InformationWindow &window) {
        const QPoint screenCentre = window.screen()->geometry().center();
        EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 40);
        window.close();
    });
}

TEST_F(InformationTest, EnterAndEscapeCloseOnlyFromTheButton) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        Open([key](InformationWindow &window) {
            Click(window, Qt::Key_Return);
            Click(window, Qt::Key_Escape);
            EXPECT_TRUE(window.isVisible()) << "the text keeps both keys";
            Click(window, Qt::Key_Tab);
            EXPECT_EQ(FocusIn(window), "Button1");
            Click(window, key);
            EXPECT_FALSE(window.isVisible());
        });
    }
}

TEST_F(InformationTest, ResizingMovesTextAndButton) {
    Open([](InformationWindow &window) {
        window.resize(811, 532);
        EXPECT_EQ(window.Memo1->geometry(), QRect(10, 10, 801, 481));
        const QRect button = window.Button1->geometry();
        EXPECT_EQ(button.size(), QSize(75, 25));
        EXPECT_EQ(532 - button.top(), 432 - 400) << "same distance from the bottom";
        EXPECT_NEAR(button.center().x(), 811 / 2, 10) << "near the middle";
        window.close();
    });
}

TEST_F(InformationTest, EachRequestMakesAFreshWindow) {
    Open([](InformationWindow &window) {
        window.resize(700, 500);
        window.Memo1->moveCursor(QTextCursor::End);
        window.close();
    });
    WithModal([&] { Click(*ziffa, Qt::Key_F1); },
              [&](QWidget &modal) {
                  auto &window = static_cast<InformationWindow &>(modal);
                  EXPECT_EQ(window.size(), QSize(611, 432));
                  EXPECT_EQ(window.Memo1->textCursor().position(), 0);
                  window.close();
              });
}

TEST_F(InformationTest, CalculatorTakesNoInputMeanwhile) {
    Open([this](InformationWindow &window) {
        ziffa->ComboBoxExpression->setEditText(QStringLiteral("1+1"));
        Click(*ziffa, Qt::Key_Return);
        EXPECT_EQ(ziffa->EditResult->text(), QString());
        window.close();
    });
}

} // namespace
} // namespace ziffa

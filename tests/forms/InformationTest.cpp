// The information window: made on each request, modal, centred, its text, and its keys.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/InformationWindow.h"
#include "interpreter/Tables.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <map>
#include <vector>

namespace ziffa {
namespace {

// The entries of the help text's lists (two spaces, a name, and after the padding a "-" and a
// description or a "=" and a value), each with the heading above its list and its column.
struct Entry {
    QString heading, name, rest;
    qsizetype column = 0;
};
std::vector<Entry> Entries(const QString &text) {
    static const QRegularExpression entry(QStringLiteral("^  (\\S+) +([-=]) (.+)$"));
    std::vector<Entry> entries;
    QString heading;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch())
            entries.push_back({heading, m.captured(1), m.captured(3), m.capturedStart(2)});
        else if (!line.isEmpty())
            heading = line;
    }
    return entries;
}

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
        EXPECT_EQ(window.Memo1->toPlainText().section(QLatin1Char('\n'), 1, 1),
                  QString::fromUtf8("Kalkulator w formie Interpretera Wyrażeń Matematycznych"));
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

// Every operator of the language, and every constant and function of the interpreter's tables,
// has an entry under its heading, and nothing else has one; each list's column lines up, and each
// operator has an example ("np. 2-3").
TEST_F(InformationTest, ListsWhatTheInterpreterKnows) {
    Open([](InformationWindow &window) {
        const std::vector<Entry> entries = Entries(window.Memo1->toPlainText());
        const auto find = [&](const QString &name, const char *heading) {
            for (const Entry &entry : entries)
                if (entry.name == name && entry.heading.startsWith(QString::fromUtf8(heading)))
                    return entry;
            ADD_FAILURE() << "no entry " << name.toStdString() << " under " << heading;
            return Entry{};
        };
        const QString operators = QStringLiteral("+-*/^()");
        for (const QChar op : operators)
            EXPECT_TRUE(find(op, "Operatory").rest.contains(QStringLiteral("np. ")))
                << "an example";
        for (const Constant &constant : ConstantTable)
            EXPECT_NEAR(find(QString::fromLatin1(constant.name), "Stałe").rest.toDouble(),
                        constant.value, 1e-14 * constant.value);
        for (std::string_view function : FunctionTable)
            find(QString::fromLatin1(function) + QStringLiteral("(a)"), "Funkcje");
        EXPECT_EQ(entries.size(), operators.size() + ConstantTable.size() + FunctionTable.size());
        std::map<QString, qsizetype> columns;
        for (const Entry &entry : entries)
            EXPECT_EQ(columns.try_emplace(entry.heading, entry.column).first->second, entry.column)
                << entry.name.toStdString();
        window.close();
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

// The settings file end to end: the calculator window's first show reads it into the three
// windows, its close writes them back. Real windows on the offscreen platform, real files in the
// test's own folder.
#include "WindowsFixture.h"

#include "components/Graph3d.h"
#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/HistoryRule.h"
#include "forms/TextConvert.h"
#include "forms/VariablesWindow.h"
#include "forms/WindowGeometry.h"
#include "settings/SettingsKeys.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#ifndef ZIFFA_LARGE_SETTINGS_MB
#define ZIFFA_LARGE_SETTINGS_MB 100
#endif

namespace ziffa {
namespace {

std::filesystem::path PathOf(const QString &file) {
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

void WriteBytes(const QString &file, std::string_view bytes) {
    std::ofstream out(PathOf(file), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << file.toStdString();
}

std::string ReadBytes(const QString &file) {
    std::ifstream in(PathOf(file), std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << file.toStdString();
    std::string bytes(static_cast<std::size_t>(std::filesystem::file_size(PathOf(file))), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Windows-1250 bytes of a text written in UTF-8.
std::string Cp(const char *utf8) {
    return ToCp1250(QString::fromUtf8(utf8));
}

// A key's line of the file: "key=value" and its line break.
std::string KeyLine(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    line += '\n';
    return line;
}

std::string Quoted(const QString &text) {
    return '"' + text.toStdString() + '"';
}

std::string ListOf(const QComboBox &box) {
    std::string list = "[";
    for (int i = 0; i < box.count(); ++i)
        list += (i ? ", " : "") + Quoted(box.itemText(i));
    return list + "] text " + Quoted(box.currentText());
}

std::string PlaceOf(const QWidget &window) {
    return std::to_string(window.x()) + "," + std::to_string(window.y());
}

class SettingsTest : public WindowsTest {
protected:
    // Starts anew on a settings file of this text.
    void StartWith(std::string_view text, const QStringList &commandLine = {}) {
        WriteBytes(SettingsFile(), text);
        CreateWindows(commandLine);
    }

    // Closes the calculator window, whose close writes the file, and returns the file's text.
    std::string CloseAndRead() {
        ziffa->close();
        EXPECT_FALSE(ziffa->isVisible());
        return ReadBytes(SettingsFile());
    }

    // Everything that the file carries, as it stands in the windows, one line for each window.
    std::string State() const {
        std::string boxes;
        for (int row = 0; row < VariablesWindow::RowCount; ++row)
            boxes += Quoted(variables->NameBox(row)->text()) + "=" +
                     Quoted(variables->ValueBox(row)->text()) + " ";
        const auto size = wykres->size();
        return "calculator " + PlaceOf(*ziffa) + " width " + std::to_string(ziffa->width()) +
               "\nvariables " + PlaceOf(*variables) + " shown " +
               std::to_string(variables->isVisible()) + " down " +
               std::to_string(ziffa->SpeedButton7->isChecked()) + " " + boxes + "\nchart " +
               PlaceOf(*wykres) + " " + std::to_string(size.width()) + "x" +
               std::to_string(size.height()) + " state " +
               std::to_string(WindowShowStateToSetting(WindowStateOf(*wykres))) + " hidden " +
               std::to_string(wykres->isHidden()) + "\nfunctions " + ListOf(*ziffa->ComboBoxFun) +
               "\nexpressions " + ListOf(*ziffa->ComboBoxExpression) + "\nmemory " +
               Quoted(FromCp1250(ziffa->MemorySlot1)) + " " +
               std::to_string(ziffa->SpeedButton3->isEnabled()) + " " +
               Quoted(FromCp1250(ziffa->MemorySlot2)) + " " +
               std::to_string(ziffa->SpeedButton5->isEnabled());
    }

    // The default places count the windows' frames in: the offscreen platform frames its
    // windows alike, and the calculator window has been framed by now.
    QMargins Frame() const { return FrameOf(*ziffa).value_or(QMargins()); }
    int DefaultVariablesLeft(int calculatorLeft) const {
        const QMargins frame = FrameOrEstimate(*variables, ziffa.get()); // its own when shown
        return calculatorLeft - (variables->width() + frame.left() + frame.right()) - 2;
    }
    int DefaultChartTop() const { return ziffa->height() + Frame().top() + Frame().bottom() + 1; }

    // The chart window's graph fills the window and its bitmap is cleared to that size.
    void ExpectGraphFillsTheChartWindow() const {
        const TGraph3D &graph = *wykres->Graph;
        EXPECT_EQ(graph.geometry(), wykres->rect());
        // An empty window has an empty bitmap.
        EXPECT_EQ(graph.Bitmap().size(), wykres->size().isEmpty() ? QSize(0, 0) : wykres->size());
        if (!graph.Bitmap().isNull()) {
            EXPECT_EQ(graph.Bitmap().pixel(graph.Bitmap().width() - 1, graph.Bitmap().height() - 1),
                      qRgb(0, 0, 0));
        }
    }

    // Takes the exception boxes recorded so far.
    std::vector<QString> TakeExceptions() { return std::exchange(reporter.exceptions, {}); }
};

// ---- A first run, and the file it leaves.

TEST_F(SettingsTest, FirstRunWithoutAFileTakesEveryDefault) {
    ASSERT_FALSE(Frame().isNull()) << "the windows have frames";
    EXPECT_EQ(DefaultVariablesLeft(200), 200 - 161 - 4 - 2);
    EXPECT_EQ(DefaultChartTop(), 68 + 4 + 1);
    EXPECT_EQ(State(), "calculator 200,1 width 413\n"
                       "variables 33,1 shown 0 down 0 "
                       R"~(""="" ""="" ""="" ""="" ""="" )~"
                       "\nchart 200,73 800x600 state 0 hidden 1\n"
                       R"~(functions [] text "")~"
                       "\n"
                       R"~(expressions [] text "")~"
                       "\n"
                       R"~(memory "" 0 "" 0)~");
    ExpectGraphFillsTheChartWindow();
    EXPECT_FALSE(QFileInfo::exists(SettingsFile())) << "reading writes nothing";
    EXPECT_TRUE(ziffa->isVisible());
}

// The frames are known only once the window manager has framed the calculator window; the
// places that the file gives stay as they are when they become known.
TEST_F(SettingsTest, PlacesOfTheFileStayWhenTheFramesBecomeKnown) {
    StartWith("[Variables]\nLeft=29\n[Chart]\nTop=97\n");
    EXPECT_EQ(variables->pos(), QPoint(29, 1));
    EXPECT_EQ(wykres->pos(), QPoint(200, 97));
}

TEST_F(SettingsTest, FramesAreEstimatedUntilTheyAreKnown) {
    ASSERT_TRUE(variables->isHidden());
    EXPECT_EQ(FrameOf(*variables), std::nullopt) << "never shown, never framed";
    EXPECT_EQ(FrameOrEstimate(*variables), UsualFrame);
    EXPECT_EQ(FrameOrEstimate(*variables, ziffa.get()), Frame()) << "the framed one's";
    variables->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(variables.get()));
    EXPECT_NE(FrameOf(*variables), std::nullopt);
    variables->hide();
}

TEST_F(SettingsTest, FileMadeFromNothingHasTheDocumentedOrder) {
    Calculate(QStringLiteral("2+2"));
    Calculate(QStringLiteral("3*3"));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("7-"));
    ziffa->ComboBoxFun->addItem(QStringLiteral("sin(x)"));
    ziffa->ComboBoxFun->setEditText(QStringLiteral("cos(y)"));
    variables->Edit1->setText(QStringLiteral("x"));
    variables->Edit2->setText(QStringLiteral("1.5"));
    ziffa->StoreMemory2("9");
    EXPECT_EQ(CloseAndRead(), "[Calculator]\n"
                              "Width=413\n"
                              "Left=200\n"
                              "Top=1\n"
                              "Memo1=\n"
                              "Memo2=9\n"
                              "\n"
                              "[Variables]\n"
                              "Left=33\n"
                              "Top=1\n"
                              "ShowWindow=0\n"
                              "Variable01=x\n"
                              "Variable02=\n"
                              "Variable03=\n"
                              "Variable04=\n"
                              "Variable05=\n"
                              "Value01=1.5\n"
                              "Value02=\n"
                              "Value03=\n"
                              "Value04=\n"
                              "Value05=\n"
                              "\n"
                              "[Chart]\n"
                              "Left=200\n"
                              "Top=73\n"
                              "Width=800\n"
                              "Height=600\n"
                              "WindowsState=0\n"
                              "\n"
                              "[ChartEntries]\n"
                              "Count=1\n"
                              "0=sin(x)\n"
                              "Current=cos(y)\n"
                              "\n"
                              "[CalculatorEntries]\n"
                              "Count=2\n"
                              "0=3*3\n"
                              "1=2+2\n"
                              "Current=7-\n"
                              "\n");
}

// ---- What is saved comes back.

TEST_F(SettingsTest, SavedStateComesBack) {
    for (const char *expression : {"1+1", "2*3", "4/2"})
        Calculate(QString::fromLatin1(expression));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("(5")); // never calculated
    ziffa->StoreMemory1("3");
    ziffa->StoreMemory2("-1.5E-7");
    for (const char *function : {"x*y", "sin(x)", "cos(y)"})
        ziffa->ComboBoxFun->addItem(QString::fromLatin1(function));
    ziffa->ComboBoxFun->setEditText(QStringLiteral("tg(x)"));
    Click(*ziffa, Qt::Key_F5); // the variables window shown
    variables->Edit3->setText(QStringLiteral("y"));
    variables->Edit4->setText(QStringLiteral("2"));
    variables->Edit9->setText(QStringLiteral("z"));
    variables->Edit10->setText(QStringLiteral("abc"));
    ziffa->resize(530, ziffa->height());
    ziffa->move(300, 40);
    variables->move(10, 20);
    wykres->move(-50, 300); // partly off the screen, its title bar within reach
    wykres->resize(640, 480);
    SetWindowStateOf(*wykres, WindowShowState::Maximised); // for when it is next shown
    const std::string saved = State();
    EXPECT_EQ(saved.substr(0, saved.find('\n')), "calculator 300,40 width 530");

    ziffa->close();
    CreateWindows();
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentIndex(), -1) << "no entry chosen";
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->selectedText(), QStringLiteral("tg(x)"));
    EXPECT_EQ(ziffa->ComboBoxExpression->lineEdit()->selectedText(), QStringLiteral("(5"));
    EXPECT_EQ(ziffa->SpeedButton7->text(), QStringLiteral("Zmienne (1)")) << "y=2 is a variable";
    ExpectGraphFillsTheChartWindow();
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("y*10"));
    Click(*ziffa, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("20"));
}

TEST_F(SettingsTest, TextsGoIntoTheFileAsWindows1250) {
    struct Row {
        const char *where;
        std::function<void(const QString &)> set;
        std::function<QString()> get;
        std::string line; // the key's line in the file, less the value
    };
    const Row rows[] = {
        {"variable name", [this](const QString &s) { variables->Edit1->setText(s); },
         [this] { return variables->Edit1->text(); }, "Variable01="},
        {"variable value", [this](const QString &s) { variables->Edit10->setText(s); },
         [this] { return variables->Edit10->text(); }, "Value05="},
        {"expression text", [this](const QString &s) { ziffa->ComboBoxExpression->setEditText(s); },
         [this] { return ziffa->ComboBoxExpression->currentText(); }, "Count=0\nCurrent="},
        {"expression entry", [this](const QString &s) { ziffa->ComboBoxExpression->addItem(s); },
         [this] { return ziffa->ComboBoxExpression->itemText(0); }, "Count=1\n0="},
        {"function entry", [this](const QString &s) { ziffa->ComboBoxFun->addItem(s); },
         [this] { return ziffa->ComboBoxFun->itemText(0); }, "[ChartEntries]\nCount=1\n0="},
        {"memory slot", [this](const QString &s) { ziffa->StoreMemory2(ToCp1250(s)); },
         [this] { return FromCp1250(ziffa->MemorySlot2); }, "Memo2="},
    };
    const QString text = QString::fromUtf8("Zażółć gęślą jaźń ŁÓDŹ");
    const std::string bytes = Cp("Zażółć gęślą jaźń ŁÓDŹ");
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(text.size())) << "one byte a character";
    for (const Row &row : rows) {
        SCOPED_TRACE(row.where);
        QFile::remove(SettingsFile());
        CreateWindows();
        row.set(text);
        const std::string file = CloseAndRead();
        EXPECT_NE(file.find(row.line + bytes + "\n"), std::string::npos) << file;
        EXPECT_EQ(file.find(text.toUtf8().toStdString()), std::string::npos) << "no UTF-8";
        CreateWindows();
        EXPECT_EQ(row.get(), text);
    }
}

TEST_F(SettingsTest, SurroundingBlanksAreLostThroughTheFile) {
    variables->Edit1->setText(QStringLiteral("  a "));
    ziffa->ComboBoxExpression->addItem(QStringLiteral(" 1+1"));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("\t2 "));
    ziffa->close();
    CreateWindows();
    EXPECT_EQ(variables->Edit1->text(), QStringLiteral("a"));
    EXPECT_EQ(ListOf(*ziffa->ComboBoxExpression), R"~(["1+1"] text "2")~");
}

// ---- Hand-written files.

TEST_F(SettingsTest, HandWrittenFileInOtherLetterCases) {
    StartWith("stray line before any section\n"
              "Left=999\n"
              "[calculator]\n"
              "; a comment\n"
              "WIDTH=600\n"
              "  LEFT = 423  \n"
              "TOP=0x2D\n"
              "MEMO1=  42  \n"
              "mine=kept\n"
              "[VARIABLES]\n"
              "SHOWWINDOW=1\n"
              "VARIABLE01=a\n"
              "value01=2,5\n"
              "\n"
              "[chartentries]\n"
              "COUNT=2\n"
              "0=sin(x)\n"
              "1=cos(x)\n"
              "CURRENT=tg(x)\n"
              "[calculatorentries]\n"
              "count=3\n"
              "2=3+3\n"
              "0=1+1\n"
              "1=  2+2 \n"
              "current=a*2\n"
              "[CHART]\n"
              "left=5\n"
              "top=6\n"
              "width=700\n"
              "height=500\n"
              "windowsstate=1\n");
    EXPECT_EQ(State(), "calculator 423,45 width 600\n"
                       "variables " +
                           std::to_string(DefaultVariablesLeft(423)) +
                           ",1 shown 1 down 1 "
                           R"~("a"="2,5" ""="" ""="" ""="" ""="" )~"
                           "\nchart 5,6 700x500 state 1 hidden 1\n"
                           R"~(functions ["sin(x)", "cos(x)"] text "tg(x)")~"
                           "\n"
                           R"~(expressions ["1+1", "2+2", "3+3"] text "a*2")~"
                           "\n"
                           R"~(memory "42" 1 "" 0)~");
    ExpectGraphFillsTheChartWindow();

    // The save keeps the file's own names, order, comment and foreign keys.
    const std::string file = CloseAndRead();
    const std::string start = "[calculator]\n"
                              "; a comment\n"
                              "WIDTH=600\n"
                              "LEFT=423\n"
                              "TOP=45\n"
                              "MEMO1=42\n"
                              "mine=kept\n"
                              "Memo2=\n"
                              "\n"
                              "[VARIABLES]\n"
                              "SHOWWINDOW=1\n"
                              "VARIABLE01=a\n";
    EXPECT_EQ(file.substr(0, start.size()), start);
    EXPECT_NE(file.find("[calculatorentries]\ncount=3\n2=3+3\n0=1+1\n1=2+2\ncurrent=a*2\n\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("999"), std::string::npos) << "lines before the first section go";
}

TEST_F(SettingsTest, ShowWindowIsAnyNonZeroInteger) {
    const struct {
        const char *value;
        bool shown;
    } rows[] = {{"1", true},    {"5", true},     {"-1", true}, {"0x10", true}, {"0", false},
                {"yes", false}, {"true", false}, {"", false},  {"1.0", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.value);
        StartWith(std::string("[Variables]\nShowWindow=") + row.value + "\n");
        EXPECT_EQ(variables->isVisible(), row.shown);
        EXPECT_EQ(ziffa->SpeedButton7->isChecked(), row.shown);
    }
}

TEST_F(SettingsTest, MemorySlotOfBlanksStaysEmpty) {
    StartWith("[Calculator]\nMemo1=\t  \t\nMemo2= 12,5 \n");
    EXPECT_EQ(ziffa->MemorySlot1, "");
    EXPECT_FALSE(ziffa->SpeedButton3->isEnabled());
    EXPECT_EQ(ziffa->MemorySlot2, "12,5");
    EXPECT_TRUE(ziffa->SpeedButton5->isEnabled());
    Click(*ziffa, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("12,5"));
    const std::string file = CloseAndRead();
    EXPECT_EQ(file.substr(0, file.find("\n\n")),
              "[Calculator]\nMemo1=\nMemo2=12,5\nWidth=413\nLeft=200\nTop=1");
}

TEST_F(SettingsTest, ChartWindowTakesItsStateAndSizeWhileHidden) {
    const struct {
        const char *state;
        WindowShowState expected;
    } rows[] = {{"0", WindowShowState::Normal},    {"1", WindowShowState::Minimised},
                {"2", WindowShowState::Maximised}, {"3", WindowShowState::Normal},
                {"-1", WindowShowState::Normal},   {"max", WindowShowState::Normal}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.state);
        StartWith(std::string("[Chart]\nWidth=333\nHeight=222\nWindowsState=") + row.state + "\n");
        EXPECT_TRUE(wykres->isHidden());
        EXPECT_EQ(WindowStateOf(*wykres), row.expected);
        EXPECT_EQ(wykres->size(), QSize(333, 222));
        ExpectGraphFillsTheChartWindow();
        const std::string file = CloseAndRead();
        EXPECT_NE(file.find("\nWindowsState=" +
                            std::to_string(WindowShowStateToSetting(row.expected)) + "\n"),
                  std::string::npos);
    }
    // Shown, the window takes the state it was given.
    StartWith("[Chart]\nLeft=30\nTop=40\nWidth=333\nHeight=222\nWindowsState=2\n");
    wykres->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wykres.get()));
    EXPECT_TRUE(wykres->isMaximized());
    EXPECT_EQ(wykres->windowHandle()->windowStates(), Qt::WindowMaximized);
    wykres->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wykres->size() == QSize(333, 222); }, 5000));
    EXPECT_EQ(wykres->pos(), QPoint(30, 40));
    wykres->hide();
}

TEST_F(SettingsTest, ExtremePlacesAndSizesAreBounded) {
    StartWith("[Calculator]\nWidth=2147483647\nLeft=2147483647\nTop=-2147483648\n"
              "[Chart]\nLeft=-2147483648\nTop=2147483647\nWidth=-5\nHeight=2147483647\n");
    // So far off, every window is pulled back: to the screen's top left corner where it is wider
    // or taller than the screen, and the variables window, left of the calculator window, to the
    // screen's left edge.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(ziffa->pos(), screen.topLeft());
    EXPECT_EQ(ziffa->width(), MaxClientExtent);
    EXPECT_EQ(variables->pos(), QPoint(screen.left(), 1));
    EXPECT_EQ(wykres->pos(), screen.topLeft());
    EXPECT_EQ(wykres->size(), QSize(0, MaxClientExtent));
    ExpectGraphFillsTheChartWindow();

    StartWith("[Calculator]\nWidth=-2147483648\n[Chart]\nWidth=0x7fffffff\nHeight=0\n");
    EXPECT_EQ(ziffa->width(), 413) << "the window's minimum";
    EXPECT_EQ(wykres->size(), QSize(MaxClientExtent, 0));
    ExpectGraphFillsTheChartWindow();
}

// ---- Histories.

TEST_F(SettingsTest, HistoryReadsCountEntries) {
    const struct {
        const char *count;
        int entries;
    } rows[] = {{"2", 2},  {"0x3", 3},        {"5", 5},           {"0", 0},
                {"-5", 0}, {"abc", 0},        {"-2147483648", 0}, {"2147483647", kMaxHistoryRead},
                {"", 0},   {"99999999999", 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.count);
        StartWith(std::string("[CalculatorEntries]\nCount=") + row.count +
                  "\n0=a\n1=b\n2=c\n[ChartEntries]\nCount=" + row.count + "\n0=f\n");
        ASSERT_EQ(ziffa->ComboBoxExpression->count(), row.entries);
        ASSERT_EQ(ziffa->ComboBoxFun->count(), row.entries);
        if (row.entries > 3) {
            EXPECT_EQ(ziffa->ComboBoxExpression->itemText(2), QStringLiteral("c"));
            EXPECT_EQ(ziffa->ComboBoxExpression->itemText(3), QString()) << "missing keys";
            EXPECT_EQ(ziffa->ComboBoxFun->itemText(row.entries - 1), QString());
        }
    }
}

TEST_F(SettingsTest, SurplusItemKeysStayAndAreNotRead) {
    StartWith("[CalculatorEntries]\nCount=5\n0=1\n1=2\n2=3\n3=4\n4=5\nCurrent=\n");
    // A longer list from a hand-edited file is trimmed one entry a calculation.
    for (int i = 0; i < HistoryLimit; ++i)
        ziffa->ComboBoxExpression->addItem(QString::number(100 + i));
    EXPECT_EQ(ziffa->ComboBoxExpression->count(), HistoryLimit + 5);
    Calculate(QStringLiteral("7*7"));
    EXPECT_EQ(ziffa->ComboBoxExpression->count(), HistoryLimit + 5);
    EXPECT_EQ(ziffa->ComboBoxExpression->itemText(0), QStringLiteral("7*7"));

    StartWith("[CalculatorEntries]\nCount=5\n0=1\n1=2\n2=3\n3=4\n4=5\nCurrent=\n");
    for (int i = 0; i < 3; ++i)
        ziffa->ComboBoxExpression->removeItem(0);
    Calculate(QStringLiteral("6+6"));
    const std::string file = CloseAndRead();
    EXPECT_NE(file.find("[CalculatorEntries]\nCount=3\n0=6+6\n1=4\n2=5\n3=4\n4=5\nCurrent=6+6\n"),
              std::string::npos)
        << file;
    CreateWindows();
    EXPECT_EQ(ListOf(*ziffa->ComboBoxExpression), R"~(["6+6", "4", "5"] text "6+6")~");
}

// ---- The command line.

TEST_F(SettingsTest, CommandLineReplacesTheRestoredExpressionThenSlotsAreRestored) {
    StartWith("[Variables]\nVariable01=x\nValue01=4\n"
              "[CalculatorEntries]\nCount=1\n0=7*7\nCurrent=1+1\n"
              "[Calculator]\nMemo1=11\nMemo2=  \n",
              {QStringLiteral("x * 2")});
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("x*2"));
    EXPECT_EQ(ziffa->ComboBoxExpression->lineEdit()->selectedText(), QStringLiteral("x*2"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("8")) << "with the loaded variable";
    EXPECT_EQ(ListOf(*ziffa->ComboBoxExpression), R"~(["x*2", "7*7"] text "x*2")~");
    EXPECT_EQ(ziffa->MemorySlot1, "11");
    EXPECT_TRUE(ziffa->SpeedButton3->isEnabled());
    EXPECT_FALSE(ziffa->SpeedButton5->isEnabled());
    EXPECT_TRUE(ziffa->SpeedButton2->isEnabled()) << "a value to store";
}

TEST_F(SettingsTest, ExitOnTheCommandLineLeavesTheFileAsItWas) {
    const std::string text = "[Calculator]\nMemo1=11\nMemo2=22\nLeft=2147483647\n"
                             "[CalculatorEntries]\nCount=1\n0=7*7\nCurrent=1+1\n";
    StartWith(text, {QStringLiteral("EXIT")});
    EXPECT_TRUE(ziffa->isHidden());
    EXPECT_EQ(ReadBytes(SettingsFile()), text)
        << "closed before the memory slots were read, the close writes nothing";
}

// ---- Read once.

TEST_F(SettingsTest, ShowReadsTheFileOnlyOnce) {
    const std::string first = "[Calculator]\nLeft=300\n[CalculatorEntries]\nCount=2\n0=a\n1=b\n";
    StartWith(first);
    const std::string state = State();
    WriteBytes(SettingsFile(), "[Calculator]\nLeft=500\nMemo1=9\n"
                               "[CalculatorEntries]\nCount=1\n0=c\n");
    ziffa->showMinimized();
    QApplication::processEvents();
    ziffa->showNormal();
    QApplication::processEvents();
    ziffa->hide();
    ziffa->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ziffa.get()));
    EXPECT_EQ(State(), state);
}

// ---- Files that can't be read or written.

TEST_F(SettingsTest, UnreadableFileAtStartIsReportedAndNothingIsApplied) {
    ASSERT_TRUE(QDir().mkdir(SettingsFile())) << "a folder where the file should be";
    CreateWindows({QStringLiteral("2+3")});
    const std::vector<QString> boxes = TakeExceptions();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains(SettingsFile())) << boxes[0].toStdString();
    EXPECT_TRUE(ziffa->isVisible()) << "the window is shown all the same";
    EXPECT_EQ(ziffa->EditResult->text(), QString()) << "no command-line calculation";
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString());
    EXPECT_EQ(wykres->size(), QSize(556, 424)) << "the windows as they were created";
    EXPECT_EQ(wykres->pos(), QPoint(675, 83));
    EXPECT_TRUE(variables->isHidden());

    // Still unreadable at the close: nothing written, the user told so, and the close completes.
    ziffa->close();
    EXPECT_EQ(std::exchange(reporter.warnings, {}).size(), 1u);
    EXPECT_FALSE(ziffa->isVisible());
    EXPECT_TRUE(QFileInfo(SettingsFile()).isDir());
}

TEST_F(SettingsTest, FileUnreadableAtStartIsLeftUntouchedAtTheCloseThoughReadableAgain) {
    ASSERT_TRUE(QDir().mkdir(SettingsFile())) << "a folder where the file should be";
    CreateWindows();
    ASSERT_EQ(TakeExceptions().size(), 1u);
    // The user's file comes back while the program runs, with the session's state unlike it.
    ASSERT_TRUE(QDir().rmdir(SettingsFile()));
    const std::string usersFile = "[Calculator]\nLeft=300\nMemo1=7\n\n[CalculatorEntries]\n"
                                  "Count=2\n0=1+1\n1=2*pi\nCurrent=2*pi\n\n";
    WriteBytes(SettingsFile(), usersFile);
    Calculate(QStringLiteral("3+4"));
    ziffa->close();
    EXPECT_FALSE(ziffa->isVisible()) << "the close completes";
    EXPECT_EQ(ReadBytes(SettingsFile()), usersFile);
    ASSERT_EQ(reporter.warnings.size(), 1u);
    const RecordingReporter::Warning warning = std::exchange(reporter.warnings, {}).front();
    EXPECT_EQ(warning.caption, QStringLiteral("Ziffa"));
    EXPECT_EQ(warning.text,
              QString::fromUtf8("Pliku ustawień %1 nie udało się odczytać przy starcie, więc "
                                "pozostawiono go bez zmian. Stan tej sesji nie został zapisany.")
                  .arg(SettingsFile()));
    EXPECT_TRUE(TakeExceptions().empty());
}

TEST_F(SettingsTest, UnreadableFileAtCloseIsReportedAndTheCloseCompletes) {
    StartWith("[Calculator]\nLeft=300\n");
    Calculate(QStringLiteral("1+1"));
    ASSERT_TRUE(QFile::remove(SettingsFile()));
    ASSERT_TRUE(QDir().mkdir(SettingsFile()));
    ASSERT_TRUE(QDir().mkdir(SettingsFile() + QStringLiteral("/inside")));
    ziffa->close();
    const std::vector<QString> boxes = TakeExceptions();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains(SettingsFile())) << boxes[0].toStdString();
    EXPECT_FALSE(ziffa->isVisible()) << "the user can always quit";
    EXPECT_EQ(QDir(SettingsFile()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("inside")})
        << "nothing written";
}

TEST_F(SettingsTest, UnwritableFolderDropsTheSaveSilently) {
    const QString blocker = SettingsFolder() + QStringLiteral("/blocker");
    WriteBytes(blocker, "a plain file where the settings folder should be");
    qputenv("ZIFFA_SETTINGS", QFile::encodeName(blocker + QStringLiteral("/ziffa.ini")));
    CreateWindows();
    EXPECT_EQ(ziffa->pos(), QPoint(200, 1)) << "as a missing file";
    ziffa->close();
    EXPECT_FALSE(ziffa->isVisible());
    EXPECT_EQ(ReadBytes(blocker), "a plain file where the settings folder should be");
}

TEST_F(SettingsTest, MissingFoldersAreCreatedForTheSave) {
    const QString file = SettingsFolder() + QStringLiteral("/config/ziffa/ziffa.ini");
    qputenv("ZIFFA_SETTINGS", QFile::encodeName(file));
    CreateWindows();
    ziffa->StoreMemory1("5");
    ziffa->close();
    EXPECT_NE(ReadBytes(file).find("Memo1=5\n"), std::string::npos);
}

// ---- Damaged files. Each one loads in bounded time and memory, and the program goes on.

TEST_F(SettingsTest, LargeFileLoadsItsFirstEntriesAndIsKeptWhole) {
    std::string text = "[CalculatorEntries]\nCount=2147483647\n";
    for (int i = 0; i < kMaxHistoryRead + 5; ++i)
        text += KeyLine(std::to_string(i), std::to_string(i) + "+1");
    text += "[Filler]\n";
    std::string chunk;
    for (int i = 0; chunk.size() < (1u << 20); ++i)
        chunk += KeyLine(std::string(1, 'k') += std::to_string(i),
                         std::string(100, static_cast<char>('a' + i % 26)));
    const std::size_t size = std::size_t{ZIFFA_LARGE_SETTINGS_MB} << 20;
    text.reserve(size + chunk.size() + 100);
    while (text.size() < size)
        text += chunk;
    text += "[Calculator]\nLeft=321\n";
    StartWith(text);
    EXPECT_EQ(ziffa->x(), 321) << "the whole file is read";
    ASSERT_EQ(ziffa->ComboBoxExpression->count(), kMaxHistoryRead);
    EXPECT_EQ(ziffa->ComboBoxExpression->itemText(kMaxHistoryRead - 1),
              QString::number(kMaxHistoryRead - 1) + QStringLiteral("+1"));

    const std::string saved = CloseAndRead();
    EXPECT_GT(saved.size(), size);
    const std::string last = std::to_string(kMaxHistoryRead + 4);
    EXPECT_NE(saved.find(KeyLine(last, last + "+1")), std::string::npos) << "surplus entries stay";
    EXPECT_NE(saved.find(chunk.substr(0, 200)), std::string::npos) << "foreign keys stay";
    EXPECT_NE(saved.find("Count=10000\n"), std::string::npos);
}

TEST_F(SettingsTest, BinaryGarbageLoadsAndSavesStably) {
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string garbage;
    for (const char *section :
         {"Calculator", "Variables", "Chart", "ChartEntries", "CalculatorEntries", "calculator"}) {
        for (int i = 0; i < 20000; ++i) {
            garbage.push_back(static_cast<char>(byte(random)));
            if (i % 97 == 0)
                (garbage += '\n') += std::to_string(i % 7) += '='; // a value of garbage
            if (i % 101 == 0)
                garbage += "\nCount=" + std::to_string(byte(random));
        }
        garbage += std::string("\n[") + section + "]\n";
    }
    StartWith(garbage);
    EXPECT_TRUE(ziffa->isVisible());
    ziffa->close();
    CreateWindows();
    const std::string once = State();
    const std::string file = CloseAndRead();
    CreateWindows();
    EXPECT_EQ(State(), once) << "a rewritten file reads back as it was saved";
    EXPECT_EQ(CloseAndRead(), file);
}

TEST_F(SettingsTest, MillionCharacterLinesLoad) {
    const std::string million(1000000, '7');
    StartWith("[" + million + "]\nCount=3\n[Variables]\nVariable01=" + million +
              "\nValue05=" + million + "\n[ChartEntries]\nCurrent=" + million +
              "\n[CalculatorEntries]\nCount=2\n0=" + million + "\n1=" + million +
              "1\nCurrent=" + million + "\n" + million + "\n[Calculator]\nMemo1=" + million +
              "\nLeft=" + million + "\n");
    EXPECT_EQ(ziffa->x(), 200) << "a number out of range is no number";
    ASSERT_EQ(ziffa->ComboBoxExpression->count(), 2);
    EXPECT_EQ(ziffa->ComboBoxExpression->itemText(0).size(), 1000000);
    EXPECT_EQ(ziffa->MemorySlot1.size(), 1000000u);
    // The boxes hold the texts whole, and give them back whole.
    EXPECT_EQ(variables->Edit1->text().size(), 1000000);
    EXPECT_EQ(variables->Edit10->text().size(), 1000000);
    EXPECT_EQ(ziffa->ComboBoxFun->currentText().size(), 1000000);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText().size(), 1000000);
    const std::string file = CloseAndRead();
    EXPECT_NE(file.find("\nVariable01=" + million + "\n"), std::string::npos);
    EXPECT_NE(file.find("\nValue05=" + million + "\n"), std::string::npos);
    EXPECT_NE(file.find("\nCurrent=" + million + "\n"), std::string::npos);
    EXPECT_NE(file.find("\nMemo1=" + million + "\n"), std::string::npos);
    EXPECT_NE(file.find("\n1=" + million + "1\n"), std::string::npos);
    EXPECT_NE(file.find("[" + million + "]\nCount=3\n"), std::string::npos);
}

} // namespace
} // namespace ziffa

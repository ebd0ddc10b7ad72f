// The small helpers of the windows: the text boundary, the anchors, and the reporting guard.
#include "forms/Anchors.h"
#include "forms/HandlerGuard.h"
#include "forms/Reporter.h"
#include "forms/TextConvert.h"
#include "interpreter/FloatFault.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace ziffa {
namespace {

struct TextRow {
    const char *utf8;
    std::string cp1250;
};

class TextBoundary : public testing::TestWithParam<TextRow> {};

TEST_P(TextBoundary, EncodesWithQuestionMarksForTheRest) {
    EXPECT_EQ(ToCp1250(QString::fromUtf8(GetParam().utf8)), GetParam().cp1250);
}

INSTANTIATE_TEST_SUITE_P(Rows, TextBoundary,
                         testing::Values(TextRow{"", ""}, TextRow{"2*pi", "2*pi"},
                                         TextRow{"BŁĄD: ż", "B\xA3\xA5"
                                                            "D: \xBF"},
                                         TextRow{"€ ś", "\x80 \x9C"}, TextRow{"日本", "??"},
                                         TextRow{"a😀b", "a?b"}, TextRow{"\x1a", "\x1a"},
                                         TextRow{"x\x1a日", "x\x1a?"}));

TEST(TextBoundary, EveryByteDecodesToOneCharacterAndBack) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    const QString decoded = FromCp1250(all);
    ASSERT_EQ(decoded.size(), static_cast<qsizetype>(all.size()));
    EXPECT_EQ(ToCp1250(decoded), all);
}

TEST(TextBoundary, LoneSurrogateBecomesQuestionMark) {
    QString text = QStringLiteral("a");
    text.append(QChar(0xd800));
    text.append(QLatin1Char('b'));
    EXPECT_EQ(ToCp1250(text), "a?b");
}

struct AnchorRow {
    const char *name;
    AnchorSet anchors;
    QRect design;
    QSize parent;
    QRect expected;
};

void PrintTo(const AnchorRow &row, std::ostream *os) {
    *os << row.name;
}

class AnchorRule : public testing::TestWithParam<AnchorRow> {};

TEST_P(AnchorRule, Places) {
    const AnchorRow &row = GetParam();
    EXPECT_EQ(AnchoredGeometry(row.design, row.anchors, QSize(400, 300), row.parent), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AnchorRule,
    testing::Values(
        AnchorRow{"LeftTop", akLeft | akTop, {10, 20, 50, 30}, {600, 500}, {10, 20, 50, 30}},
        AnchorRow{
            "Stretch", akLeft | akTop | akRight, {10, 20, 50, 30}, {600, 500}, {10, 20, 250, 30}},
        AnchorRow{"Right", akTop | akRight, {340, 20, 50, 30}, {600, 500}, {540, 20, 50, 30}},
        AnchorRow{"All",
                  akLeft | akTop | akRight | akBottom,
                  {10, 10, 380, 280},
                  {500, 400},
                  {10, 10, 480, 380}},
        AnchorRow{"BottomOnly", akBottom, {160, 250, 80, 30}, {800, 400}, {360, 350, 80, 30}},
        AnchorRow{"Narrower", akLeft | akRight, {10, 0, 380, 10}, {100, 300}, {10, 0, 80, 10}},
        AnchorRow{"Collapsed", akLeft | akRight, {10, 0, 380, 10}, {10, 300}, {10, 0, 0, 10}}),
    [](const testing::TestParamInfo<AnchorRow> &info) { return std::string(info.param.name); });

class Recorder : public MessageReporter {
public:
    void ReportException(const QString &message) override { messages.push_back(message); }
    void ShowWarning(QWidget *, const QString &, const QString &) override {}
    std::vector<QString> messages;
};

TEST(HandlerGuard, ReportsAndStopsTheException) {
    Recorder recorder;
    ScopedReporter scoped(recorder);
    EXPECT_TRUE(RunGuarded([] {}));
    EXPECT_FALSE(RunGuarded([] {
        throw FloatFault(FloatFault::Kind::Overflow, FloatFault::Operation::Multiplication);
    }));
    EXPECT_FALSE(RunGuarded([] { throw 42; }));
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0], QStringLiteral("Przepełnienie zmiennoprzecinkowe w mnożeniu"));
    EXPECT_EQ(recorder.messages[1], QStringLiteral("Nieznany wyjątek"));
}

// The evaluator's faults, as the exception box says them: in Polish, the fault and the
// operation.
TEST(HandlerGuard, FloatFaultsInPolish) {
    using Kind = FloatFault::Kind;
    using Operation = FloatFault::Operation;
    const struct {
        Kind kind;
        Operation operation;
        const char *message;
    } rows[] = {
        {Kind::Overflow, Operation::Addition, "Przepełnienie zmiennoprzecinkowe w dodawaniu"},
        {Kind::Overflow, Operation::Subtraction, "Przepełnienie zmiennoprzecinkowe w odejmowaniu"},
        {Kind::Overflow, Operation::Division, "Przepełnienie zmiennoprzecinkowe w dzieleniu"},
        {Kind::Overflow, Operation::RoundingToDouble,
         "Przepełnienie zmiennoprzecinkowe przy zaokrąglaniu do podwójnej precyzji"},
        {Kind::Overflow, Operation::Number,
         "Przepełnienie zmiennoprzecinkowe: liczba jest zbyt duża"},
        {Kind::InvalidOperation, Operation::Subtraction,
         "Niedozwolona operacja zmiennoprzecinkowa w odejmowaniu"},
        {Kind::InvalidOperation, Operation::Division,
         "Niedozwolona operacja zmiennoprzecinkowa w dzieleniu"},
    };
    for (const auto &row : rows) {
        const FloatFault fault(row.kind, row.operation);
        EXPECT_EQ(ExceptionMessage(&fault), QString::fromUtf8(row.message));
    }
    const std::bad_alloc noMemory;
    EXPECT_EQ(ExceptionMessage(&noMemory), QStringLiteral("Brak pamięci"));
}

TEST(HandlerGuard, ScopedReporterRestoresThePrevious) {
    Recorder outer;
    Recorder inner;
    ScopedReporter a(outer);
    {
        ScopedReporter b(inner);
        RunGuarded([] { throw std::runtime_error("inner"); });
    }
    RunGuarded([] { throw std::runtime_error("outer"); });
    EXPECT_EQ(inner.messages, std::vector<QString>{QStringLiteral("inner")});
    EXPECT_EQ(outer.messages, std::vector<QString>{QStringLiteral("outer")});
}

} // namespace
} // namespace ziffa

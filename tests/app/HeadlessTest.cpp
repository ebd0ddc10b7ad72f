#include "app/Headless.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace ziffa {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Headless(std::vector<std::string> args, char separator = '.',
                 const std::string &input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunHeadless(args, separator, in, out, err);
    return Outcome{status, out.str(), err.str()};
}

struct EvalCase {
    std::vector<std::string> args;
    char separator;
    int status;
    std::string out;
    std::string err;
};

class Eval : public testing::TestWithParam<EvalCase> {};

TEST_P(Eval, OutputAndStatus) {
    const EvalCase &c = GetParam();
    const Outcome r = Headless(c.args, c.separator);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Eval,
    testing::Values(
        EvalCase{{"--eval", "2*pi"}, '.', 0, "6.28318530717959\n", ""},
        EvalCase{{"--eval", " 2 * PI "}, '.', 0, "6.28318530717959\n", ""},
        EvalCase{{"--eval", "-2^2"}, '.', 0, "-4\n", ""},
        EvalCase{{"--eval", "1/2"}, ',', 0, "0,5\n", ""},
        EvalCase{{"--eval", "1.5+2,5"}, ',', 0, "4\n", ""},
        EvalCase{{"--eval", "--3"},
                 '.',
                 1,
                 "BŁĄD: Brak wyrażenia po prawej stronie operatora\n",
                 "--3\n ^\n"},
        EvalCase{{"--eval", "(2+3"}, '.', 1, "BŁĄD: Brak zamknięcia nawiasu\n", "(2+3\n    ^\n"},
        EvalCase{{"--eval", ""}, '.', 1, "BŁĄD: Wyrażenie puste\n", "\n^\n"},
        EvalCase{{"--eval", "ŻÓŁW"}, '.', 1, "BŁĄD: Błąd w składni wyrażenia\n", "żółw\n^\n"},
        // "exit" is an expression like any other here.
        EvalCase{{"--eval", "exit"}, '.', 1, "BŁĄD: Błąd w składni wyrażenia\n", "exit\n^\n"},
        EvalCase{{"--eval", "x*y", "--var", " x = 2 ", "--var", "y=abc", "--var", "y=3"},
                 '.',
                 0,
                 "6\n",
                 ""},
        EvalCase{{"--var", "a=2,5", "--eval", "a*2"}, ',', 0, "5\n", ""},
        EvalCase{{"--eval", "a", "--var", "a=2,5"},
                 '.',
                 1,
                 "BŁĄD: Błąd w składni wyrażenia\n",
                 "a\n^\n"}));

TEST(Headless, FloatFault) {
    const Outcome r = Headless({"--eval", "!(1755)"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "\n");
    EXPECT_NE(r.err.find("overflow"), std::string::npos);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);
}

TEST(Headless, StandardInputKeepsLinesAligned) {
    const Outcome r = Headless({"--eval", "-"}, '.', "1+1\n1/0\n!(1755)\r\n\n2*3");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "2\nBŁĄD: Błąd dzielenia przez zero\n\nBŁĄD: Wyrażenie puste\n6\n");
    const Outcome ok = Headless({"--eval", "-"}, '.', "1\n(1\n");
    EXPECT_EQ(ok.status, 1);
    EXPECT_EQ(ok.out, "1\nBŁĄD: Brak zamknięcia nawiasu\n");
}

struct UsageCase {
    std::vector<std::string> args;
};

class Usage : public testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsAnError) {
    const Outcome r = Headless(GetParam().args);
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("Usage:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Usage,
    testing::Values(UsageCase{{"--frobnicate"}}, UsageCase{{"--eval"}}, UsageCase{{"--var", "a=1"}},
                    UsageCase{{"--eval", "1", "--var"}},
                    UsageCase{{"--eval", "1", "--var", "a=1", "--var", "b=1", "--var", "c=1",
                               "--var", "d=1", "--var", "e=1", "--var", "f=1"}},
                    UsageCase{{"--eval", "1", "--eval", "2"}}, UsageCase{{"--eval", "1", "2"}}));

TEST(Headless, Help) {
    const Outcome r = Headless({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--eval"), std::string::npos);
}

TEST(Headless, WhichCommandLinesNeedNoWindow) {
    EXPECT_TRUE(IsHeadlessCommandLine(std::vector<std::string>{"--eval", "1"}));
    EXPECT_TRUE(IsHeadlessCommandLine(std::vector<std::string>{"--help"}));
    EXPECT_FALSE(IsHeadlessCommandLine(std::vector<std::string>{}));
    EXPECT_FALSE(IsHeadlessCommandLine(std::vector<std::string>{"-2+3"}));
    EXPECT_FALSE(IsHeadlessCommandLine(std::vector<std::string>{"2+2", "--eval"}));
}

} // namespace
} // namespace ziffa

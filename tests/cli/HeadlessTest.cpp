#include "cli/Headless.h"
#include "cli/CommandLine.h"
#include "cli/Usage.h"
#include "system/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ziffa {
namespace {

using Fd = FileDescriptor;

// An in-memory file holding text, read from its start.
int MemoryFile(const std::string &text) {
    const int fd = memfd_create("ziffa-test", 0);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string ReadAll(int fd) {
    ::lseek(fd, 0, SEEK_SET);
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Headless(std::vector<std::string> args, char separator = '.', const std::string &input = {},
                 std::size_t maxLineLength = kMaxExpressionLength) {
    const Fd in(MemoryFile(input));
    const Fd out(MemoryFile({}));
    std::ostringstream err;
    const ExitStatus status =
        RunHeadless(ParseCommandLine(args), separator, in.get(), out.get(), err, maxLineLength);
    return Outcome{ExitCode(status), ReadAll(out.get()), err.str()};
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
        // A character Windows-1250 can't hold becomes "?", and the caret stays under it.
        EvalCase{{"--eval", "2+€"}, '.', 1, "BŁĄD: Błąd w składni wyrażenia\n", "2+€\n  ^\n"},
        EvalCase{{"--eval", "1+😀"}, '.', 1, "BŁĄD: Błąd w składni wyrażenia\n", "1+?\n  ^\n"},
        // A byte-order mark leading the argument marks it as UTF-8; anywhere else it is a fault.
        EvalCase{{"--eval", "\xEF\xBB\xBF"
                            "2*3"},
                 '.',
                 0,
                 "6\n",
                 ""},
        EvalCase{{"--eval", "2*"
                            "\xEF\xBB\xBF"
                            "3"},
                 '.',
                 1,
                 "BŁĄD: Błąd w składni wyrażenia\n",
                 "2*?3\n  ^\n"},
        // "exit" is an expression like any other here.
        EvalCase{{"--eval", "exit"}, '.', 1, "BŁĄD: Błąd w składni wyrażenia\n", "exit\n^\n"},
        // The math library's infinities and NaNs are results; the evaluator's own overflow isn't.
        EvalCase{{"--eval", "10^4000"}, '.', 0, "INF\n", ""},
        EvalCase{{"--eval", "ln(0)"}, '.', 0, "-INF\n", ""},
        EvalCase{{"--eval", "x*y", "--var", " x = 2 ", "--var", "y=abc", "--var", "y=3"},
                 '.',
                 0,
                 "6\n",
                 ""},
        EvalCase{{"--eval", "żółw*2", "--var", "żółw=1,5"}, ',', 0, "3\n", ""},
        EvalCase{{"--var", "a=2,5", "--eval", "a*2"}, ',', 0, "5\n", ""},
        EvalCase{{"--eval", "a", "--var", "a=2,5"},
                 '.',
                 1,
                 "BŁĄD: Błąd w składni wyrażenia\n",
                 "a\n^\n"}));

TEST(Headless, FloatFault) {
    const std::pair<const char *, const char *> cases[] = {
        {"!(1755)", "ziffa: Przepełnienie zmiennoprzecinkowe w mnożeniu\n"},
        {"10^4000-10^4000", "ziffa: Niedozwolona operacja zmiennoprzecinkowa w odejmowaniu\n"},
        {"0*ln(0)", "ziffa: Niedozwolona operacja zmiennoprzecinkowa w mnożeniu\n"},
        {"sin(10^308*10^308)",
         "ziffa: Przepełnienie zmiennoprzecinkowe przy zaokrąglaniu do podwójnej precyzji\n"},
    };
    for (const auto &[expression, message] : cases) {
        const Outcome r = Headless({"--eval", expression});
        EXPECT_EQ(r.status, 2) << expression;
        EXPECT_EQ(r.out, "\n");
        EXPECT_EQ(r.err, message);
    }
}

TEST(Headless, StandardInputKeepsLinesAligned) {
    const Outcome r = Headless({"--eval", "-"}, '.', "1+1\n1/0\n!(1755)\r\n\n2*3");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "2\nBŁĄD: Błąd dzielenia przez zero\n\nBŁĄD: Wyrażenie puste\n6\n");
    const Outcome ok = Headless({"--eval", "-"}, '.', "1\n(1\n");
    EXPECT_EQ(ok.status, 1);
    EXPECT_EQ(ok.out, "1\nBŁĄD: Brak zamknięcia nawiasu\n");
    // A byte-order mark leads the input, not each line.
    const Outcome marked = Headless({"--eval", "-"}, '.',
                                    "\xEF\xBB\xBF"
                                    "1+1\n"
                                    "\xEF\xBB\xBF"
                                    "2\n");
    EXPECT_EQ(marked.status, 1);
    EXPECT_EQ(marked.out, "2\nBŁĄD: Błąd w składni wyrażenia\n");
    const Outcome none = Headless({"--eval", "-"}, '.', "");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
}

// A sum of terms "+1" after a first "1": its value is the number of ones.
std::string Sum(std::size_t ones) {
    std::string text = "1";
    text.reserve(2 * ones);
    for (std::size_t i = 1; i < ones; ++i)
        text += "+1";
    return text;
}

TEST(Headless, LongLinesAcrossReadBlocks) {
    // Lines of several read blocks (the reader takes 256 KiB at a time), then a line whose "\r"
    // ends a block and whose "\n" begins the next.
    const std::size_t block = 256 * 1024;
    const std::string big = Sum(300'000);
    std::string input = big + "\n" + big + "\r\n";
    const std::size_t length = (block - 1 - input.size() % block) % block;
    const std::size_t ones = length / 4;
    std::string edge = Sum(ones);
    edge.resize(length, ' ');
    input += edge + "\r\n3";
    ASSERT_EQ((input.size() - 2) % block, 0u);
    const Outcome r = Headless({"--eval", "-"}, '.', input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "300000\n300000\n" + std::to_string(ones) + "\n3\n");
}

TEST(Headless, LinesLongerThanTheLimitAreRefused) {
    const Outcome r =
        Headless({"--eval", "-"}, '.', "1+2\n1+2+3+4\n12345\r\n123456\n2*3", /*limit*/ 5);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "3\nBŁĄD: Wyrażenie zbyt długie\n12345\nBŁĄD: Wyrażenie zbyt długie\n6\n");
    const std::string refused = "ziffa: wyrażenie jest dłuższe niż 5 znaków\n";
    EXPECT_EQ(r.err, refused + refused);
    const Outcome one = Headless({"--eval", "1+2+3"}, '.', "", 4);
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.out, "BŁĄD: Wyrażenie zbyt długie\n");
}

TEST(Headless, TheLimitIsCountedInPolish) {
    // The word after a count: "znak" for one, "znaki" after 2 to 4 (not 12 to 14), else "znaków".
    const std::pair<std::size_t, const char *> cases[] = {
        {1, "1 znak"},     {2, "2 znaki"},     {4, "4 znaki"},      {5, "5 znaków"},
        {11, "11 znaków"}, {12, "12 znaków"},  {14, "14 znaków"},   {21, "21 znaków"},
        {22, "22 znaki"},  {104, "104 znaki"}, {112, "112 znaków"},
    };
    for (const auto &[limit, words] : cases) {
        const Outcome r = Headless({"--eval", std::string(limit + 1, '1')}, '.', "", limit);
        EXPECT_EQ(r.status, 1) << limit;
        EXPECT_EQ(r.err, std::string("ziffa: wyrażenie jest dłuższe niż ") + words + "\n");
    }
}

// Waits until fd has something to read, up to a minute, and reads it.
std::string ReadWhenReady(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 60'000) != 1)
        return "(nothing within a minute)";
    // The answers of one flush come in one write; let a second one arrive if there is one.
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    return text;
}

TEST(Headless, AnswersComeBeforeTheNextLineIsAwaited) {
    // A program that talks to ziffa through pipes gets each answer while its input is still open.
    // Both pipes are non-blocking, as a parent may leave them: ziffa waits all the same.
    int toZiffa[2], fromZiffa[2];
    ASSERT_EQ(::pipe2(toZiffa, O_NONBLOCK), 0);
    ASSERT_EQ(::pipe2(fromZiffa, O_NONBLOCK), 0);
    Fd inRead(toZiffa[0]), inWrite(toZiffa[1]), outRead(fromZiffa[0]), outWrite(fromZiffa[1]);
    std::ostringstream err;
    int status = -1;
    std::thread ziffa([&] {
        status =
            ExitCode(RunHeadless(EvaluateCommand{"-", {}}, '.', inRead.get(), outWrite.get(), err));
        outWrite.Close();
    });
    ASSERT_EQ(::write(inWrite.get(), "1+1\n", 4), 4);
    EXPECT_EQ(ReadWhenReady(outRead.get()), "2\n");
    ASSERT_EQ(::write(inWrite.get(), "2*3\n(\n", 6), 6);
    EXPECT_EQ(ReadWhenReady(outRead.get()), "6\nBŁĄD: Brak zamknięcia nawiasu\n");
    inWrite.Close();
    ziffa.join();
    EXPECT_EQ(status, 1);
}

struct UsageCase {
    std::vector<std::string> args;
    std::string message;
};

class Usage : public testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsAnError) {
    const Outcome r = Headless(GetParam().args);
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err, "ziffa: " + GetParam().message + "\n\n" + UsageText());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Usage,
    testing::Values(UsageCase{{"--frobnicate"}, "nieznany argument: --frobnicate"},
                    UsageCase{{"--eval"}, "--eval wymaga wyrażenia"},
                    UsageCase{{"--var", "a=1"}, "brak opcji --eval"},
                    UsageCase{{"--eval", "1", "--var"}, "--var wymaga argumentu NAZWA=WARTOŚĆ"},
                    UsageCase{{"--eval", "1", "--var", "a=1", "--var", "b=1", "--var", "c=1",
                               "--var", "d=1", "--var", "e=1", "--var", "f=1"},
                              "można podać najwyżej pięć opcji --var"},
                    UsageCase{{"--eval", "1", "--eval", "2"}, "opcję --eval podano dwa razy"},
                    UsageCase{{"--eval", "1", "2"}, "nieznany argument: 2"}));

// The number of characters a UTF-8 text shows (every character here takes one column).
std::size_t Columns(std::string_view line) {
    return static_cast<std::size_t>(std::count_if(line.begin(), line.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

TEST(Headless, Help) {
    const Outcome r = Headless({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, UsageText());
    EXPECT_EQ(r.out.rfind("Użycie:\n", 0), 0u);
    for (const char *words :
         {"--eval WYRAŻENIE", "--var NAZWA=WARTOŚĆ", "--plot FUNKCJA", "--output PLIK.png",
          "--size SZERxWYS", "--points PLIK", "są wynikami", "\n  64  błędne użycie\n",
          "\n  74  nie można zapisać"})
        EXPECT_NE(r.out.find(words), std::string::npos) << words;
    // A terminal of 80 columns shows it unbroken.
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(Columns(line), 80u) << line;
}

} // namespace
} // namespace ziffa

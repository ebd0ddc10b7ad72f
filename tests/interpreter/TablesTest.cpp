#include "interpreter/Tables.h"
#include "interpreter/Codepage.h"
#include "interpreter/FaultCode.h"

#include <bit>
#include <cstdint>
#include <gtest/gtest.h>

namespace ziffa {
namespace {

TEST(Tables, ConstantBits) {
    const std::uint64_t expected[] = {0x400921FB54442D18, 0x4005BF0A8B145774, 0x390B860D75B1ADE0,
                                      0x3B30B0E86B045466, 0x4164EE4470F5C28F};
    const char *names[] = {"pi", "e", "h", "k", "R"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ConstantTable[static_cast<std::size_t>(i)].name, names[i]);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(ConstantTable[static_cast<std::size_t>(i)].value),
                  expected[i])
            << names[i];
    }
    EXPECT_FALSE(LookupConstant("r").has_value());
    EXPECT_FALSE(LookupConstant("PI").has_value());
}

TEST(Tables, Messages) {
    const char *expected[] = {"Brak błędu",
                              "Brak zamknięcia nawiasu",
                              "Zbędne zamknięcie nawiasu",
                              "Błąd w składni wyrażenia",
                              "Brak operatora przed nawiasem",
                              "Brak wyrażenia po lewej stronie operatora",
                              "Funkcja nie istnieje",
                              "Nieznany błąd. Nieprzewidziana sytuacja",
                              "Zbędny drugi separator dziesiętny",
                              "Brak wyrażenia po prawej stronie operatora",
                              "Wyrażenie puste",
                              "Brak operatora za nawiasem",
                              "Błąd dzielenia przez zero",
                              "Symbol nieoznaczony",
                              "Ujemna wartość argumentu funkcji",
                              "Nieokreślona wartość funkcji",
                              "Argument funkcji większy od 1.0"};
    for (int code = 0; code <= 16; ++code) {
        EXPECT_EQ(Cp1250ToUtf8(ErrorMessage(code)), expected[code]) << code;
        EXPECT_LE(ErrorMessage(code).size(), 44u);
    }
}

TEST(Tables, FunctionOrder) {
    const char *names[] = {"sin", "cos",   "asin", "acos", "abs", "exp",
                           "ln",  "log10", "!",    "tg",   "ctg", "sqrt"};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(LookupFunction(names[i]), i);
    EXPECT_FALSE(LookupFunction("SIN").has_value());
    EXPECT_FALSE(LookupFunction("log").has_value());
}

TEST(Tables, NamedFaultsReadTheirMessages) {
    const struct {
        FaultCode fault;
        const char *message;
    } rows[] = {
        {FaultCode::None, "Brak błędu"},
        {FaultCode::UnclosedParenthesis, "Brak zamknięcia nawiasu"},
        {FaultCode::UnopenedParenthesis, "Zbędne zamknięcie nawiasu"},
        {FaultCode::Syntax, "Błąd w składni wyrażenia"},
        {FaultCode::NoOperatorBeforeParenthesis, "Brak operatora przed nawiasem"},
        {FaultCode::NoLeftOperand, "Brak wyrażenia po lewej stronie operatora"},
        {FaultCode::UnknownFunction, "Funkcja nie istnieje"},
        {FaultCode::Unexpected, "Nieznany błąd. Nieprzewidziana sytuacja"},
        {FaultCode::SecondSeparator, "Zbędny drugi separator dziesiętny"},
        {FaultCode::NoRightOperand, "Brak wyrażenia po prawej stronie operatora"},
        {FaultCode::Empty, "Wyrażenie puste"},
        {FaultCode::NoOperatorAfterParenthesis, "Brak operatora za nawiasem"},
        {FaultCode::DivisionByZero, "Błąd dzielenia przez zero"},
        {FaultCode::Indeterminate, "Symbol nieoznaczony"},
        {FaultCode::NegativeArgument, "Ujemna wartość argumentu funkcji"},
        {FaultCode::UndefinedValue, "Nieokreślona wartość funkcji"},
        {FaultCode::ArgumentAboveOne, "Argument funkcji większy od 1.0"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Cp1250ToUtf8(ErrorMessage(CodeOf(row.fault))), row.message) << row.message;
}

TEST(Tables, NamedFunctionsAreTheirNames) {
    const struct {
        Function function;
        const char *name;
    } rows[] = {
        {Function::Sine, "sin"},      {Function::Cosine, "cos"},
        {Function::Arcsine, "asin"},  {Function::Arccosine, "acos"},
        {Function::Absolute, "abs"},  {Function::Exponential, "exp"},
        {Function::Logarithm, "ln"},  {Function::Logarithm10, "log10"},
        {Function::Factorial, "!"},   {Function::Tangent, "tg"},
        {Function::Cotangent, "ctg"}, {Function::SquareRoot, "sqrt"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(LookupFunction(row.name), static_cast<int>(row.function)) << row.name;
}

TEST(Tables, AFunctionOutsideTheTableIsAnUnexpectedFault) {
    for (const int index : {-1, 12, 200}) {
        int code = 0;
        EXPECT_EQ(ApplyFunction(index, 1, code), 0) << index;
        EXPECT_EQ(code, 7) << index;
    }
}

} // namespace
} // namespace ziffa

#pragma once

// Runs one text through the reference evaluator and through compiled programs and tells how
// they differ. Shared by the differential test and the fuzz target.

#include "interpreter/compiled/CompiledExpression.h"

#include <string>
#include <string_view>
#include <vector>

namespace ziffa::reference {

// What an evaluation gave: the ten significant bytes of the value, the error code and position,
// and the FloatFault if one was thrown.
struct Outcome {
    unsigned char bits[10] = {};
    int code = 0;
    int position = -1;
    bool floatFault = false;
    int faultKind = -1;
    std::string faultText;
};

bool operator==(const Outcome &a, const Outcome &b);
std::string Describe(const Outcome &o);

struct Variables {
    std::vector<std::string> names;
    std::vector<double> values;
};

Outcome RunReference(std::string_view text, const Variables &vars);
Outcome RunCompiled(const CompiledExpression &program, const double *values);

// Compares the reference with the compiled program for each set of values (each as many as
// vars.names): with the interpreter, and with machine code where the program allows it unless
// withMachineCode is false (setting machine code up takes system calls). Returns an empty text
// when all agree, and otherwise what differed. Texts on which the reference stops at its depth
// limit (code 7) are not compared; skipped tells whether that happened.
std::string Compare(std::string_view text, const Variables &vars,
                    const std::vector<std::vector<double>> &valueSets, bool *skipped = nullptr,
                    bool withMachineCode = true);

} // namespace ziffa::reference

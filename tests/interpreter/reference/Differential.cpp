#include "Differential.h"

#include "ReferenceEvaluator.h"

#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ziffa::reference {

namespace {

template <class F> Outcome Run(F evaluate) {
    Outcome o;
    try {
        const long double v = evaluate(o.code, o.position);
        std::memcpy(o.bits, &v, sizeof o.bits);
    } catch (const FloatFault &f) {
        o.floatFault = true;
        o.faultKind = static_cast<int>(f.kind());
        o.faultText = f.what();
    }
    return o;
}

std::string Printable(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

} // namespace

bool operator==(const Outcome &a, const Outcome &b) {
    return std::memcmp(a.bits, b.bits, sizeof a.bits) == 0 && a.code == b.code &&
           a.position == b.position && a.floatFault == b.floatFault && a.faultKind == b.faultKind &&
           a.faultText == b.faultText;
}

std::string Describe(const Outcome &o) {
    if (o.floatFault)
        return "FloatFault " + std::to_string(o.faultKind) + " (" + o.faultText + ")";
    std::string bits;
    for (int i = 9; i >= 0; --i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", o.bits[i]);
        bits += hex;
    }
    return "value " + bits + ", code " + std::to_string(o.code) + " at " +
           std::to_string(o.position);
}

Outcome RunReference(std::string_view text, const Variables &vars) {
    return Run([&](int &code, int &position) {
        return EvaluateExpression(text, code, position, static_cast<int>(vars.names.size()),
                                  vars.values.data(), vars.names.data(), 0);
    });
}

Outcome RunCompiled(const CompiledExpression &program, const double *values) {
    return Run([&](int &code, int &position) { return program.Evaluate(values, code, position); });
}

namespace {

// Evaluates the value sets, each twice, through EvaluateMany, as a caller that evaluates a grid
// does: the points it stops at are evaluated one by one and the rest go on. The points it gives a
// value for must have the expected one. Returns what differed, or an empty text.
std::string CompareMany(const CompiledExpression &program,
                        const std::vector<std::vector<double>> &valueSets,
                        const std::vector<Outcome> &expected) {
    const std::size_t sets = valueSets.size(), count = sets * 2;
    const std::size_t stride = static_cast<std::size_t>(program.VariableCount()) + 1;
    std::vector<double> values(count * stride, -7.0);
    for (std::size_t p = 0; p < count; ++p)
        std::copy(valueSets[p % sets].begin(), valueSets[p % sets].end(),
                  values.begin() + static_cast<std::ptrdiff_t>(p * stride));
    std::vector<long double> results(count, -1.0L);
    for (std::size_t p = 0; p < count;) {
        const std::size_t stop = p + program.EvaluateMany(values.data() + p * stride, stride,
                                                          count - p, results.data() + p);
        if (stop > count)
            return "many points: stopped past the end";
        for (; p < stop; ++p) {
            Outcome o;
            std::memcpy(o.bits, &results[p], sizeof o.bits);
            o.code = 0;
            o.position = 0;
            const Outcome &e = expected[p % sets];
            Outcome want = e;
            if (want.code == 0)
                want.position = 0;
            if (!(o == want))
                return "many points: point " + std::to_string(p) + " gave " + Describe(o) +
                       ", one at a time " + Describe(e) +
                       (program.IsNative() ? "" : " (interpreted)");
        }
        ++p; // left to Evaluate, compared on its own
    }
    return {};
}

} // namespace

std::string Compare(std::string_view text, const Variables &vars,
                    const std::vector<std::vector<double>> &valueSets, bool *skipped,
                    bool withMachineCode) {
    const int count = static_cast<int>(vars.names.size());
    const CompiledExpression native =
        CompileExpression(text, count, vars.names.data(), ExprDecimalSeparator,
                          withMachineCode ? Execution::Native : Execution::Interpreted);
    const CompiledExpression interpreted = CompileExpression(
        text, count, vars.names.data(), ExprDecimalSeparator, Execution::Interpreted);
    if (skipped)
        *skipped = false;
    bool beyondReference = false;
    std::vector<Outcome> outcomes;
    for (const std::vector<double> &values : valueSets) {
        const Variables set{vars.names, values};
        const Outcome expected = RunReference(text, set);
        outcomes.push_back(expected);
        if (!expected.floatFault && expected.code == 7) {
            beyondReference = true;
            if (skipped)
                *skipped = true;
            continue;
        }
        const Outcome fromNative = RunCompiled(native, values.data());
        const Outcome fromInterpreter = RunCompiled(interpreted, values.data());
        const bool nativeAgrees = fromNative == expected;
        if (nativeAgrees && fromInterpreter == expected)
            continue;
        std::string valueText;
        for (std::size_t i = 0; i < values.size(); ++i) {
            char v[64];
            std::snprintf(v, sizeof v, "%s=%.17g ", Printable(vars.names[i]).c_str(), values[i]);
            valueText += v;
        }
        const std::string where = "text \"" + Printable(text) + "\", separator '" +
                                  Printable(std::string_view(&ExprDecimalSeparator, 1)) +
                                  "', variables " + valueText + ": reference " + Describe(expected);
        if (!nativeAgrees)
            return where + ", machine code " + Describe(fromNative) +
                   (native.IsNative() ? "" : " (interpreted)");
        return where + ", interpreter " + Describe(fromInterpreter);
    }
    if (beyondReference)
        return {};
    for (const CompiledExpression *program : {&native, &interpreted})
        if (std::string difference = CompareMany(*program, valueSets, outcomes);
            !difference.empty())
            return "text \"" + Printable(text) + "\": " + difference;
    return {};
}

} // namespace ziffa::reference

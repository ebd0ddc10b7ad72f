// Nanoseconds per evaluation of five functions of x and y over the chart's 161 by 161 grid (-4 to
// 4 in steps of 0.05), with x and y both changing at every evaluation: Ziffa's compiled form (all
// points in one call, as the graph evaluates, and one call a point), muparser, and the same
// functions written by hand in C++ with Ziffa's rules (double arguments of the functions and of
// "^", long double arithmetic, and for "^" what pow returns).
#include "interpreter/compiled/CompiledExpression.h"
#include "interpreter/compiled/CompiledPower.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <muParser.h>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 161;
constexpr int kPoints = kSide * kSide;
// The walk steps through the points 162 at a time, which moves x and y on at every call and
// visits every point once per round, since 162 and 161 * 161 have no common factor.
constexpr int kStride = kSide + 1;

struct Point {
    double x;
    double y;
};

const std::vector<Point> &Grid() {
    static const std::vector<Point> grid = [] {
        std::vector<Point> points;
        points.reserve(kPoints);
        for (int j = 0; j < kSide; ++j)
            for (int i = 0; i < kSide; ++i)
                points.push_back({-4.0 + 0.05 * i, -4.0 + 0.05 * j});
        return points;
    }();
    return grid;
}

struct Expression {
    const char *ziffa;
    const char *muparser;
};

const Expression kExpressions[] = {
    {"sin(x)*cos(y)", "sin(x)*cos(y)"},
    {"x^2+y^2", "x^2+y^2"},
    {"(x+y)*(x-y)/(1+x*x)", "(x+y)*(x-y)/(1+x*x)"},
    {"sqrt(abs(x))+ln(1+y*y)-exp(-x*x)", "sqrt(abs(x))+ln(1+y*y)-exp(-x*x)"},
    {"1+2*x-3*y+4*x*y-5*x*x+6*y*y-7*x*x*y+8*x*y*y-9*sin(x)+10*cos(y)",
     "1+2*x-3*y+4*x*y-5*x*x+6*y*y-7*x*x*y+8*x*y*y-9*sin(x)+10*cos(y)"},
};

// Runs one evaluation per benchmark iteration, at the next point of the walk.
template <class Evaluate> void Walk(benchmark::State &state, Evaluate evaluate) {
    const std::vector<Point> &grid = Grid();
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate(grid[static_cast<std::size_t>(k)]));
        k += kStride;
        if (k >= kPoints)
            k -= kPoints;
    }
}

// The points in the order of the walk, as the variable values x, y of each.
const std::vector<double> &WalkValues() {
    static const std::vector<double> values = [] {
        std::vector<double> v;
        v.reserve(2 * kPoints);
        int k = 0;
        for (int n = 0; n < kPoints; ++n) {
            v.push_back(Grid()[static_cast<std::size_t>(k)].x);
            v.push_back(Grid()[static_cast<std::size_t>(k)].y);
            k += kStride;
            if (k >= kPoints)
                k -= kPoints;
        }
        return v;
    }();
    return values;
}

ziffa::CompiledExpression Compile(int e) {
    const std::string names[] = {"x", "y"};
    return ziffa::CompileExpression(kExpressions[e].ziffa, 2, names, '.');
}

// The compiled form evaluated over the grid, all points of the walk in one call, as the graph
// evaluates its lines; an iteration is one point.
void BM_Compiled(benchmark::State &state, int e) {
    const ziffa::CompiledExpression program = Compile(e);
    const std::vector<double> &values = WalkValues();
    std::vector<long double> results(kPoints);
    while (state.KeepRunningBatch(kPoints)) {
        if (program.EvaluateMany(values.data(), 2, kPoints, results.data()) != kPoints)
            state.SkipWithError("evaluation fault");
        benchmark::DoNotOptimize(results.data());
        benchmark::ClobberMemory();
    }
}

// The compiled form called once for each point.
void BM_CompiledSingle(benchmark::State &state, int e) {
    const ziffa::CompiledExpression program = Compile(e);
    Walk(state, [&](const Point &p) {
        const double values[] = {p.x, p.y};
        int code = 0, position = 0;
        const long double v = program.Evaluate(values, code, position);
        if (code != 0)
            state.SkipWithError("evaluation fault");
        return v;
    });
}

void BM_Muparser(benchmark::State &state, int e) {
    double x = 0, y = 0;
    mu::Parser parser;
    parser.DefineVar("x", &x);
    parser.DefineVar("y", &y);
    parser.SetExpr(kExpressions[e].muparser);
    parser.Eval();
    Walk(state, [&](const Point &p) {
        x = p.x;
        y = p.y;
        return parser.Eval();
    });
}

using L = long double;

double gTwo = 2.0;

// Written as Ziffa groups them: "+" splits at its last occurrence first, then "-", "*", "/".
L NativeE1(double x, double y) {
    return L(std::sin(x)) * L(std::cos(y));
}

L NativeE2(double x, double y) {
    // "^" gives what the power function gives; the compiler would turn pow(x, 2.0) into x * x,
    // which differs from it now and then.
    return L(std::pow(x, gTwo)) + L(std::pow(y, gTwo));
}

// The same with Ziffa's power function, which calls pow only where the exact square lies near a
// rounding boundary.
L NativeE2Quick(double x, double y) {
    return L(ziffa::compiled::PowerOfDoubles(x, gTwo)) +
           L(ziffa::compiled::PowerOfDoubles(y, gTwo));
}

L NativeE3(double x, double y) {
    const L lx = x, ly = y;
    return (lx + ly) * ((lx - ly) / (1 + lx * lx));
}

L NativeE4(double x, double y) {
    const L lx = x, ly = y;
    return L(std::sqrt(std::fabs(x))) +
           (L(std::log(double(1 + ly * ly))) - L(std::exp(double(0 - lx * lx))));
}

L NativeE5(double x, double y) {
    const L lx = x, ly = y;
    return 1 + (2 * lx - 3 * ly) + (4 * lx * ly - 5 * lx * lx) + (6 * ly * ly - 7 * lx * lx * ly) +
           (8 * lx * ly * ly - 9 * L(std::sin(x))) + 10 * L(std::cos(y));
}

template <L (*F)(double, double)> void BM_Native(benchmark::State &state) {
    benchmark::DoNotOptimize(&gTwo);
    Walk(state, [](const Point &p) { return F(p.x, p.y); });
}

// For comparison only: the same functions called through a pointer, once per point, as any
// evaluator that is chosen at run time must be called; the compiler can't merge them into the
// loop of the walk.
void BM_NativeCall(benchmark::State &state, L (*f)(double, double)) {
    benchmark::DoNotOptimize(&gTwo);
    benchmark::DoNotOptimize(f);
    Walk(state, [f](const Point &p) { return f(p.x, p.y); });
}

BENCHMARK_CAPTURE(BM_Compiled, E1, 0);
BENCHMARK_CAPTURE(BM_Compiled, E2, 1);
BENCHMARK_CAPTURE(BM_Compiled, E3, 2);
BENCHMARK_CAPTURE(BM_Compiled, E4, 3);
BENCHMARK_CAPTURE(BM_Compiled, E5, 4);
BENCHMARK_CAPTURE(BM_CompiledSingle, E1, 0);
BENCHMARK_CAPTURE(BM_CompiledSingle, E2, 1);
BENCHMARK_CAPTURE(BM_CompiledSingle, E3, 2);
BENCHMARK_CAPTURE(BM_CompiledSingle, E4, 3);
BENCHMARK_CAPTURE(BM_CompiledSingle, E5, 4);
BENCHMARK_CAPTURE(BM_Muparser, E1, 0);
BENCHMARK_CAPTURE(BM_Muparser, E2, 1);
BENCHMARK_CAPTURE(BM_Muparser, E3, 2);
BENCHMARK_CAPTURE(BM_Muparser, E4, 3);
BENCHMARK_CAPTURE(BM_Muparser, E5, 4);
BENCHMARK_TEMPLATE(BM_Native, NativeE1)->Name("BM_Native/E1");
BENCHMARK_TEMPLATE(BM_Native, NativeE2)->Name("BM_Native/E2");
BENCHMARK_TEMPLATE(BM_Native, NativeE2Quick)->Name("BM_Native/E2_quick");
BENCHMARK_TEMPLATE(BM_Native, NativeE3)->Name("BM_Native/E3");
BENCHMARK_TEMPLATE(BM_Native, NativeE4)->Name("BM_Native/E4");
BENCHMARK_TEMPLATE(BM_Native, NativeE5)->Name("BM_Native/E5");
BENCHMARK_CAPTURE(BM_NativeCall, E1, &NativeE1);
BENCHMARK_CAPTURE(BM_NativeCall, E2, &NativeE2);
BENCHMARK_CAPTURE(BM_NativeCall, E3, &NativeE3);
BENCHMARK_CAPTURE(BM_NativeCall, E4, &NativeE4);
BENCHMARK_CAPTURE(BM_NativeCall, E5, &NativeE5);

} // namespace

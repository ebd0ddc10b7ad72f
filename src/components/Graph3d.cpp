#include "components/Graph3d.h"

#include "components/PointsFile.h"
#include "components/ScaleNumber.h"
#include "components/WaitCursor.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/Tables.h"
#include "interpreter/compiled/CompiledExpression.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

namespace ziffa {

namespace {

// Pixel coordinates are kept within ±2^30, far off any bitmap, so that marker offsets and the
// one-pixel lines of putpixel can never overflow an int.
constexpr long double PixelLimit = 1 << 30;

// A plotting area wider than the largest widget Qt allows has no surface drawn in it.
constexpr int MaxHorizonColumns = 1 << 24;

// trunc of a long double: an integer conversion where the value fits, which the processor does
// in one instruction, rather than a change of the rounding mode.
long double CutTowardZero(long double v) {
    constexpr long double Fits = 4611686018427387904.0L; // 2^62
    if (v > -Fits && v < Fits)
        return static_cast<long double>(static_cast<long long>(v));
    return std::trunc(v); // already whole, an infinity or a NaN
}

int SaturateToPixel(long double v) {
    if (std::isnan(v))
        return -static_cast<int>(PixelLimit);
    if (v > PixelLimit)
        return static_cast<int>(PixelLimit);
    if (v < -PixelLimit)
        return -static_cast<int>(PixelLimit);
    return static_cast<int>(v);
}

int SaturateToInt(long long v) {
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// One step of a grid loop: the subtraction made in extended precision, stored as a float.
float StepDown(float value, float step) {
    return static_cast<float>(static_cast<long double>(value) - step);
}

// Whether the loop "v = from; do { ...; v -= step; } while (v > to)" ends, every subtraction
// moving v strictly down. A step that is zero, negative, not a number, or too small to change
// a float on the way fails.
bool StepLoopEnds(float from, float to, float step) {
    if (!(step > 0))
        return false;
    float v = from;
    for (;;) {
        const float next = StepDown(v, step);
        if (!(next < v))
            return false;
        v = next;
        if (!(v > to))
            return true;
    }
}

// Cuts the segment to the box [xmin, xmax] × [ymin, ymax]. Each new end point is computed from
// the other end, so a segment with one end near the box keeps its direction however far the
// other end lies. False when nothing of it is inside.
bool ClipSegment(long double &x0, long double &y0, long double &x1, long double &y1,
                 long double xmin, long double xmax, long double ymin, long double ymax) {
    auto outcode = [&](long double x, long double y) {
        return (x < xmin ? 1 : 0) | (x > xmax ? 2 : 0) | (y < ymin ? 4 : 0) | (y > ymax ? 8 : 0);
    };
    int c0 = outcode(x0, y0);
    int c1 = outcode(x1, y1);
    for (int round = 0; round < 8; ++round) {
        if ((c0 | c1) == 0)
            return true;
        if ((c0 & c1) != 0)
            return false;
        // Move the outside end (x0, y0 after a swap) onto a box edge, measured from the other.
        const bool swapped = c0 == 0;
        if (swapped) {
            std::swap(x0, x1);
            std::swap(y0, y1);
            std::swap(c0, c1);
        }
        long double x, y;
        if (c0 & 1) {
            x = xmin;
            y = y1 + (y0 - y1) * ((xmin - x1) / (x0 - x1));
        } else if (c0 & 2) {
            x = xmax;
            y = y1 + (y0 - y1) * ((xmax - x1) / (x0 - x1));
        } else if (c0 & 4) {
            y = ymin;
            x = x1 + (x0 - x1) * ((ymin - y1) / (y0 - y1));
        } else {
            y = ymax;
            x = x1 + (x0 - x1) * ((ymax - y1) / (y0 - y1));
        }
        x0 = x;
        y0 = y;
        c0 = outcode(x0, y0);
        if (swapped) {
            std::swap(x0, x1);
            std::swap(y0, y1);
            std::swap(c0, c1);
        }
    }
    return (c0 | c1) == 0;
}

// Restores a value when the scope ends, however it ends.
template <typename T> class RestoreOnExit {
public:
    explicit RestoreOnExit(T &target) : target_(target), saved_(target) {}
    ~RestoreOnExit() { target_ = saved_; }
    RestoreOnExit(const RestoreOnExit &) = delete;
    RestoreOnExit &operator=(const RestoreOnExit &) = delete;

private:
    T &target_;
    T saved_;
};

} // namespace

// ---- State and lifecycle

TGraph3D::TGraph3D(QWidget *owner) : TImage(owner) {
    g3D_lastkind_ = 0;
    g3D_viewangle_ = std::numbers::pi_v<float>;
    g3D_errormessage_ = ErrorMessageTable[0];
    g3D_funtext_.reset();
    g3D_varcount_ = 2;
    g3D_varnames_ = {"x", "y"};
}

TGraph3D::~TGraph3D() = default;

void TGraph3D::DesignDefaults() {
    g3D_cl_topcolor = RGB(128, 0, 128);
    g3D_cl_bottomcolor = RGB(0, 128, 0);
    g3D_cl_axisescolor = RGB(128, 128, 128);
    g3D_cl_grtextcolor = RGB(255, 0, 0);
    g3D_cl_canvascolor = RGB(0, 0, 0);
    g3D_graphmargin = 12;
    g3D_pointfun_autosize = true;
    g3D_pointtype = 0;
    g3D_drawaxises = true;
    g3D_drawnumbers = true;
    g3D_axisesoverdraw = false;
    g3D_fun_linedraw = true;
    g3D_fun_transparentgraph = false;
    g3D_fun_drawhorizlines = true;
    g3D_fun_drawvertlines = true;
    g3D_fun_xlinestep = 0.05f;
    g3D_fun_zlinestep = 0.05f;
    g3D_fun_step = 0.1f;
    g3D_drawxmin = -3.14f;
    g3D_drawxmax = 3.14f;
    g3D_drawymin = -4;
    g3D_drawymax = 4;
    g3D_drawzmin = -3.14f;
    g3D_drawzmax = 3.14f;
    g3D_realxmin = -5;
    g3D_realxmax = 5;
}

void TGraph3D::g3D_cleargraph() {
    DiscardPicture();
    SyncAlign();
    g3D_arealeft_ = g3D_graphmargin;
    g3D_arearight_ = SaturateToInt(static_cast<long long>(width()) - g3D_graphmargin);
    g3D_areatop_ = g3D_graphmargin;
    g3D_areabottom_ = SaturateToInt(static_cast<long long>(height()) - g3D_graphmargin);
    TCanvas &canvas = Canvas();
    canvas.SetBrushColor(g3D_cl_canvascolor);
    canvas.FillRect(0, 0, width(), height());
    g3D_lastkind_ = 0;
}

// ---- Projection and screen mapping

void TGraph3D::g3D_angleofview(float &tangent, float &fiveSixths, float &depthAngle, int *lower,
                               int *upper) const {
    if (lower && upper) {
        for (int i = 0; i < g3D_arearight_; ++i) {
            lower[i] = g3D_areatop_;
            upper[i] = g3D_areabottom_;
        }
    }
    const long double theta = g3D_viewangle_;
    fiveSixths = static_cast<float>(theta * (1.0L / 3.0L) + theta * 0.5L);
    depthAngle = static_cast<float>(theta * (1.0L / 6.0L));
    tangent = static_cast<float>(std::tan(static_cast<long double>(fiveSixths)));
}

void TGraph3D::g3D_convertcoordinateto2D(float x, float y, float z, float tangent, float depthAngle,
                                         float &X, float &Y) {
    // The cosine of the one depth angle a drawing uses, computed once rather than per point.
    thread_local float cachedAngle = 0;
    thread_local long double cachedCosine = 1;
    if (depthAngle != cachedAngle || std::isnan(depthAngle)) {
        cachedAngle = depthAngle;
        cachedCosine = std::cos(static_cast<long double>(depthAngle));
    }
    const long double s = cachedCosine * (static_cast<long double>(z) * tangent);
    X = static_cast<float>(s + x);
    Y = static_cast<float>(s + y);
}

namespace {

// The screen mappings before the cut to an int, so that a line can be clipped in floating point.
struct ScreenMapping {
    long double left, right, top, bottom;
    float realxmin, realxmax, drawymin, drawymax;

    long double Column(float X) const {
        if (realxmax == realxmin)
            return left;
        return (right - left) /
                   (static_cast<long double>(realxmax) - static_cast<long double>(realxmin)) *
                   (static_cast<long double>(X) - realxmin) +
               left;
    }
    long double Row(float Y) const {
        if (drawymax == drawymin)
            return bottom;
        return bottom -
               (bottom - top) /
                   (static_cast<long double>(drawymax) - static_cast<long double>(drawymin)) *
                   (static_cast<long double>(Y) - drawymin);
    }
};

ScreenMapping MappingOf(int left, int right, int top, int bottom, float realxmin, float realxmax,
                        float drawymin, float drawymax) {
    return {static_cast<long double>(left),
            static_cast<long double>(right),
            static_cast<long double>(top),
            static_cast<long double>(bottom),
            realxmin,
            realxmax,
            drawymin,
            drawymax};
}

} // namespace

int TGraph3D::g3D_convertxvaluetoscreen(float X) const {
    const ScreenMapping m = MappingOf(g3D_arealeft_, g3D_arearight_, g3D_areatop_, g3D_areabottom_,
                                      g3D_realxmin, g3D_realxmax, g3D_drawymin, g3D_drawymax);
    return SaturateToPixel(CutTowardZero(m.Column(X)));
}

int TGraph3D::g3D_convertyvaluetoscreen(float Y) const {
    const ScreenMapping m = MappingOf(g3D_arealeft_, g3D_arearight_, g3D_areatop_, g3D_areabottom_,
                                      g3D_realxmin, g3D_realxmax, g3D_drawymin, g3D_drawymax);
    return SaturateToPixel(CutTowardZero(m.Row(Y)));
}

// ---- Drawing primitives

void TGraph3D::putpixel(int column, int row) {
    // As a line from (column, row) to (column + 1, row + 1) without its end pixel would, but one
    // whole pixel of the picture at any device pixel ratio.
    TCanvas &canvas = Canvas();
    canvas.PutPixel(column, row);
    canvas.MoveTo(column + 1, row + 1);
}

void TGraph3D::g3D_line(float X1, float Y1, float X2, float Y2, TColor colour) {
    TCanvas &canvas = Canvas();
    canvas.SetPenColor(colour);
    const ScreenMapping m = MappingOf(g3D_arealeft_, g3D_arearight_, g3D_areatop_, g3D_areabottom_,
                                      g3D_realxmin, g3D_realxmax, g3D_drawymin, g3D_drawymax);
    long double c1 = CutTowardZero(m.Column(X1)), r1 = CutTowardZero(m.Row(Y1));
    long double c2 = CutTowardZero(m.Column(X2)), r2 = CutTowardZero(m.Row(Y2));
    const int endColumn = SaturateToPixel(c2), endRow = SaturateToPixel(r2);
    auto near = [](long double v) { return std::fabs(v) <= PixelLimit; };
    if (near(c1) && near(r1) && near(c2) && near(r2)) {
        canvas.MoveTo(SaturateToPixel(c1), SaturateToPixel(r1));
        canvas.LineTo(endColumn, endRow);
        return;
    }
    // An end far off the bitmap: cut the segment to a box one pixel wider than the bitmap, so
    // that only its visible part is rasterised. An end at no finite place draws nothing.
    const bool finite =
        std::isfinite(c1) && std::isfinite(r1) && std::isfinite(c2) && std::isfinite(r2);
    const long double w = PictureSize().width(), h = PictureSize().height();
    if (finite && ClipSegment(c1, r1, c2, r2, -2, w + 1, -2, h + 1)) {
        canvas.MoveTo(static_cast<int>(std::trunc(c1)), static_cast<int>(std::trunc(r1)));
        canvas.LineTo(static_cast<int>(std::trunc(c2)), static_cast<int>(std::trunc(r2)));
    }
    canvas.MoveTo(endColumn, endRow);
}

void TGraph3D::g3D_putpixel(float X, float Y, TColor colour) {
    TCanvas &canvas = Canvas();
    canvas.SetPenColor(colour);
    const int c = g3D_convertxvaluetoscreen(X);
    const int r = g3D_convertyvaluetoscreen(Y);
    auto move = [&](int dc, int dr) { canvas.MoveTo(c + dc, r + dr); };
    auto line = [&](int dc, int dr) { canvas.LineTo(c + dc, r + dr); };
    auto pixel = [&](int dc, int dr) { putpixel(c + dc, r + dr); };
    switch (g3D_pointtype) {
    case 1: // square, 5 by 5
        move(-2, -2), line(+3, -2);
        move(-2, +2), line(+2, +2);
        move(-2, -2), line(-2, +2);
        move(+2, +2), line(+2, -2);
        break;
    case 2: // diamond
        pixel(0, -2), pixel(0, +2), pixel(-1, -1), pixel(-1, +1);
        pixel(-2, 0), pixel(+2, 0), pixel(+1, -1), pixel(+1, +1);
        break;
    case 3: // plus
        move(-2, 0), line(+3, 0);
        move(0, -2), line(0, +3);
        break;
    case 4: // diagonal cross
        move(-2, -2), line(+3, +3);
        move(+2, -2), line(-3, +3);
        break;
    case 5: // triangle, apex up
        move(0, -2), line(+4, +2);
        move(0, -2), line(-4, +2);
        move(-3, +1), line(+3, +1);
        break;
    case 6: // triangle, apex down
        move(0, +2), line(+4, -2);
        move(0, +2), line(-4, -2);
        move(-3, -1), line(+3, -1);
        break;
    default: // one pixel
        pixel(0, 0);
        break;
    }
}

void TGraph3D::g3D_drawpoint(float x, float y, float z) {
    float t, alpha, gamma, X, Y;
    g3D_angleofview(t, alpha, gamma, nullptr, nullptr);
    g3D_convertcoordinateto2D(x, y, -z, t, gamma, X, Y);
    g3D_putpixel(X, Y, g3D_cl_topcolor);
}

void TGraph3D::g3D_textxy(float X, float Y, std::string_view text, TColor colour) {
    const int c = g3D_convertxvaluetoscreen(X);
    const int r = g3D_convertyvaluetoscreen(Y);
    TCanvas &canvas = Canvas();
    canvas.SetFontColor(colour);
    const TBrushStyle saved = canvas.BrushStyle();
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.TextOut(c, r, text);
    canvas.SetBrushStyle(saved);
}

int TGraph3D::test(float X, float Y, TColor &colour, int *lower, int *upper) const {
    const int row = g3D_convertyvaluetoscreen(Y);
    const int column = g3D_convertxvaluetoscreen(X);
    if (column <= 0 || column > g3D_arearight_)
        return 0;
    bool visible = false;
    if (lower[column - 1] < row) {
        lower[column - 1] = row;
        colour = g3D_cl_bottomcolor;
        visible = true;
    }
    if (upper[column - 1] > row) {
        upper[column - 1] = row;
        colour = g3D_cl_topcolor;
        visible = true;
    }
    return g3D_fun_transparentgraph || visible ? 1 : 0;
}

// ---- Axes, base frame and scale numbers

void TGraph3D::axises() {
    if (!g3D_drawaxises)
        return;
    const TColor c = g3D_cl_axisescolor;
    g3D_line(g3D_realxmin, 0, g3D_realxmax, 0, c);
    g3D_line(0, g3D_drawymin, 0, g3D_drawymax, c);
    float t, alpha, gamma;
    g3D_angleofview(t, alpha, gamma, nullptr, nullptr);
    auto line = [&](float x1, float z1, float x2, float z2) {
        float X1, Y1, X2, Y2;
        g3D_convertcoordinateto2D(x1, 0, z1, t, gamma, X1, Y1);
        g3D_convertcoordinateto2D(x2, 0, z2, t, gamma, X2, Y2);
        g3D_line(X1, Y1, X2, Y2, c);
    };
    line(0, g3D_drawzmin, 0, g3D_drawzmax);                       // z axis
    line(g3D_drawxmax, g3D_drawzmax, g3D_drawxmin, g3D_drawzmax); // front edge
    line(g3D_drawxmin, g3D_drawzmin, g3D_drawxmin, g3D_drawzmax); // left edge
    line(g3D_drawxmin, g3D_drawzmin, g3D_drawxmax, g3D_drawzmin); // back edge
    line(g3D_drawxmax, g3D_drawzmax, g3D_drawxmax, g3D_drawzmin); // right edge
}

void TGraph3D::numbers() {
    float t, alpha, gamma;
    g3D_angleofview(t, alpha, gamma, nullptr, nullptr);
    auto label = [&](float x, float y, float z, const std::string &text) {
        float X, Y;
        g3D_convertcoordinateto2D(x, y, z, t, gamma, X, Y);
        g3D_textxy(X, Y, text, g3D_cl_grtextcolor);
    };
    auto format = [](float v) { return FormatScaleNumber(static_cast<double>(v)); };
    label(0, 0, 0, "0");
    label(g3D_drawxmax, 0, 0, format(g3D_drawxmax));
    label(g3D_drawxmin, 0, 0, format(g3D_drawxmin));
    label(0, g3D_drawymax, 0, format(g3D_drawymax));
    label(0, g3D_drawymin, 0, format(g3D_drawymin));
    label(0, 0, g3D_drawzmax, format(g3D_drawzmax));
    label(0, 0, g3D_drawzmin, format(g3D_drawzmin));
}

// ---- Surface from a function

long double TGraph3D::Evaluate() {
    // Every evaluation of the function text goes through here: the text is compiled once per
    // drawing and the program runs at every point.
    ++evaluationCount_;
    return program_->Evaluate(g3D_varvalues_.data(), g3D_errorcode_, g3D_errorposition_);
}

long double TGraph3D::oblicz(float vx, float vy) {
    g3D_errorcode_ = 0;
    g3D_varvalues_ = {static_cast<double>(vx), static_cast<double>(vy)};
    return Evaluate();
}

void TGraph3D::EvaluatePoints(const double *points, std::size_t count, long double *values,
                              int *codes) {
    std::size_t k = 0;
    while (k < count) {
        const std::size_t done = program_->EvaluateMany(points + 2 * k, 2, count - k, values + k);
        std::fill(codes + k, codes + k + done, 0);
        evaluationCount_ += done;
        k += done;
        if (k == count)
            break;
        // A point the program leaves to a single evaluation, which tells its fault.
        try {
            values[k] =
                oblicz(static_cast<float>(points[2 * k]), static_cast<float>(points[2 * k + 1]));
            codes[k] = g3D_errorcode_;
        } catch (const FloatFault &) {
            codes[k] = kEvaluationThrew;
        }
        ++k;
    }
    // The state of the last evaluation, as if each point had had its own.
    if (count > 0) {
        g3D_varvalues_ = {points[2 * count - 2], points[2 * count - 1]};
        if (codes[count - 1] != kEvaluationThrew)
            g3D_errorcode_ = codes[count - 1];
    }
}

namespace {

// Holds the working copy of the function text and its program for the length of one call.
struct FunctionScope {
    std::optional<std::string> &text;
    std::optional<CompiledExpression> &program;
    ~FunctionScope() {
        text.reset();
        program.reset();
    }
};

} // namespace

int TGraph3D::TrialEvaluation() {
    g3D_errorcode_ = 0;
    try {
        Evaluate();
    } catch (const FloatFault &) {
        // A fault of a computed value at the present variables: the text itself is sound.
    }
    if (g3D_errorcode_ > 0 && g3D_errorcode_ < 12) {
        g3D_errormessage_ = ErrorMessageTable[static_cast<std::size_t>(g3D_errorcode_)];
        return g3D_errorcode_;
    }
    return 0;
}

int TGraph3D::CheckFunction(std::string_view text) {
    g3D_funtext_.emplace(text);
    const FunctionScope scope{g3D_funtext_, program_};
    program_ = CompileExpression(*g3D_funtext_, g3D_varcount_, g3D_varnames_.data());
    return TrialEvaluation();
}

int TGraph3D::g3D_drawfromfunction(std::string_view text) {
    g3D_funtext_.emplace(text);
    const FunctionScope scope{g3D_funtext_, program_};
    program_ = CompileExpression(*g3D_funtext_, g3D_varcount_, g3D_varnames_.data());
    if (const int refused = TrialEvaluation())
        return refused;
    if (!g3D_axisesoverdraw)
        axises();
    {
        const WaitCursor wait;
        drawhoriz();
        drawvert();
    }
    if (g3D_axisesoverdraw)
        axises();
    if (g3D_drawnumbers)
        numbers();
    g3D_lastkind_ = 1;
    g3D_lastsource_ = *g3D_funtext_;
    return 0;
}

void TGraph3D::drawhoriz() {
    if (g3D_fun_drawhorizlines)
        DrawFamily<true>();
}

void TGraph3D::drawvert() {
    if (g3D_fun_drawvertlines)
        DrawFamily<false>();
}

// The lines of constant z (Horizontal) or of constant x, each sampled from the top of its range
// down. A grid point whose evaluation throws or whose value is no finite float has no place:
// no segment ends or starts there and it moves no horizon.
template <bool Horizontal> void TGraph3D::DrawFamily() {
    const float outerMax = Horizontal ? g3D_drawzmax : g3D_drawxmax;
    const float outerMin = Horizontal ? g3D_drawzmin : g3D_drawxmin;
    const float innerMax = Horizontal ? g3D_drawxmax : g3D_drawzmax;
    const float innerMin = Horizontal ? g3D_drawxmin : g3D_drawzmin;
    const float outerStep = g3D_fun_step;
    const float innerStep = Horizontal ? g3D_fun_xlinestep : g3D_fun_zlinestep;
    if (g3D_arearight_ < 0 || g3D_arearight_ > MaxHorizonColumns)
        return;
    if (!StepLoopEnds(outerMax, outerMin, outerStep) ||
        !StepLoopEnds(innerMax, innerMin, innerStep))
        return;

    std::vector<int> lower(static_cast<std::size_t>(g3D_arearight_) + 1);
    std::vector<int> upper(static_cast<std::size_t>(g3D_arearight_) + 1);
    float t, alpha, gamma;
    g3D_angleofview(t, alpha, gamma, lower.data(), upper.data());
    TColor colour = g3D_cl_topcolor;

    struct Sample {
        bool placed; // the point has a place to draw at
        int code;    // the error code of its evaluation
        float X, Y;
        int visible;
    };
    // The points of a line are evaluated a batch ahead of the drawing: the line's inner
    // coordinates are the top, the next one down, and on while above the bottom.
    constexpr std::size_t kAhead = 256;
    std::vector<double> points(2 * kAhead);
    std::vector<long double> values(kAhead);
    std::vector<int> codes(kAhead);
    std::vector<float> inners(kAhead);
    std::size_t count = 0, next = 0;
    float inner = innerMax, outer = outerMax;
    bool first = true, ended = false;
    auto evaluateAhead = [&] {
        count = next = 0;
        while (count < kAhead && !ended) {
            inners[count] = inner;
            const float x = Horizontal ? inner : outer;
            const float z = Horizontal ? outer : inner;
            points[2 * count] = static_cast<double>(z);
            points[2 * count + 1] = static_cast<double>(x);
            ++count;
            inner = StepDown(inner, innerStep);
            if (!first && !(inner > innerMin))
                ended = true;
            first = false;
        }
        EvaluatePoints(points.data(), count, values.data(), codes.data());
    };
    auto sample = [&] {
        if (next == count)
            evaluateAhead();
        const std::size_t k = next++;
        const float x = Horizontal ? inners[k] : outer;
        const float z = Horizontal ? outer : inners[k];
        Sample s{false, codes[k], 0, 0, 0};
        const long double value = values[k];
        if (codes[k] == kEvaluationThrew ||
            !(std::fabs(value) <= std::numeric_limits<float>::max()))
            return s;
        const float F = static_cast<float>(value);
        g3D_convertcoordinateto2D(x, F, z, t, gamma, s.X, s.Y);
        s.placed = true;
        s.visible = test(s.X, s.Y, colour, lower.data(), upper.data());
        return s;
    };

    do {
        inner = innerMax;
        first = true;
        ended = false;
        count = next = 0;
        Sample previous = sample();
        do {
            const Sample current = sample();
            if (current.placed && current.code == 0 && current.visible == 1 &&
                previous.visible == 1) {
                if (g3D_fun_linedraw)
                    g3D_line(previous.X, previous.Y, current.X, current.Y, colour);
                else
                    g3D_putpixel(previous.X, previous.Y, colour);
            }
            previous = current;
        } while (next < count || !ended);
        if (!g3D_fun_linedraw && previous.placed)
            g3D_putpixel(previous.X, previous.Y, colour);
        outer = StepDown(outer, outerStep);
    } while (outer > outerMin);
}

// ---- Points from a file

int TGraph3D::setminmaxfrompoints(std::string_view fileName) {
    std::optional<PointsFile> file = PointsFile::Open(fileName);
    if (!file)
        return 1;
    PointsReader reader(file->Data());
    FitRangesToPoints([&] { return reader.NextTriple(); });
    return 0;
}

void TGraph3D::FitRangesToPoints(const std::function<std::optional<PointTriple>()> &next) {
    const std::optional<PointTriple> first = next();
    if (!first)
        return; // no complete point: the ranges stay as they are
    const auto [a0, b0, c0] = *first;
    g3D_drawxmin = g3D_drawxmax = b0;
    g3D_drawymin = g3D_drawymax = c0;
    g3D_drawzmin = g3D_drawzmax = a0;
    auto widen = [](float &min, float &max, float v) {
        if (min > v)
            min = v;
        if (!(max >= v))
            max = v;
    };
    while (const std::optional<PointTriple> p = next()) {
        const auto [a, b, c] = *p;
        widen(g3D_drawxmin, g3D_drawxmax, b);
        widen(g3D_drawymin, g3D_drawymax, c);
        widen(g3D_drawzmin, g3D_drawzmax, a);
    }
    float t, alpha, gamma, X, Y;
    g3D_angleofview(t, alpha, gamma, nullptr, nullptr);
    g3D_convertcoordinateto2D(0, 0, g3D_drawzmax, t, gamma, X, Y);
    g3D_drawymin = static_cast<float>(static_cast<long double>(g3D_drawymin) + Y);
    g3D_realxmin = static_cast<float>(static_cast<long double>(g3D_drawxmin) -
                                      0.5L * static_cast<long double>(g3D_drawzmax));
    g3D_realxmax = g3D_drawxmax;
}

int TGraph3D::g3D_drawfrompoints(std::string_view fileName) {
    std::optional<PointsFile> file = PointsFile::Open(fileName);
    if (!file)
        return 1;
    const WaitCursor wait;
    PointsReader reader(file->Data());
    // A file that gives its data only once (a pipe) can't be read a second time by name for the
    // fitting: its points are read once and kept for the drawing.
    std::optional<std::vector<PointTriple>> kept;
    if (g3D_pointfun_autosize) {
        if (file->CanReadAgain()) {
            setminmaxfrompoints(fileName);
        } else {
            kept = ReadAllPoints(reader);
            std::size_t next = 0;
            FitRangesToPoints([&]() -> std::optional<PointTriple> {
                if (next == kept->size())
                    return std::nullopt;
                return (*kept)[next++];
            });
        }
    }
    if (!g3D_axisesoverdraw)
        axises();
    const auto draw = [this](const PointTriple &p) {
        const auto [a, b, c] = p;
        g3D_drawpoint(b, c, -a);
    };
    if (kept) {
        for (const PointTriple &p : *kept)
            draw(p);
    } else {
        while (const std::optional<PointTriple> p = reader.NextTriple())
            draw(*p);
    }
    file.reset();
    if (g3D_axisesoverdraw)
        axises();
    if (g3D_drawnumbers)
        numbers();
    g3D_lastkind_ = 2;
    g3D_lastsource_ = std::string(fileName);
    return 0;
}

// ---- Repeating the last drawing

void TGraph3D::g3D_redrawlast() {
    DiscardPicture();
    const int kind = g3D_lastkind_;
    g3D_cleargraph();
    g3D_lastkind_ = kind;
    if (g3D_lastkind_ == 1) {
        const std::string source = g3D_lastsource_;
        g3D_drawfromfunction(source);
    }
    if (g3D_lastkind_ == 2) {
        const RestoreOnExit<bool> restore(g3D_pointfun_autosize);
        g3D_pointfun_autosize = false;
        const std::string source = g3D_lastsource_;
        g3D_drawfrompoints(source);
    }
}

void Register() {}

} // namespace ziffa

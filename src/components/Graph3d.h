#pragma once

#include "components/Image.h"
#include "interpreter/compiled/CompiledExpression.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ziffa {

// A 3D graph drawn into the kept bitmap of an image control: the wire-frame surface of a
// function of x and y in an oblique projection with hidden lines removed, or a cloud of points
// read from a file, with axes, a base frame and scale numbers.
//
// Calling order for a host: construct, give the control a parent and its size, set the
// properties, g3D_cleargraph, then one drawing operation. After a resize, g3D_cleargraph (or
// g3D_redrawlast) must run before drawing again: only it recomputes the plotting area and renews
// the bitmap.
class TGraph3D : public TImage {
    Q_OBJECT
public:
    // Every published property starts at zero (false, 0, 0.0, black); DesignDefaults() gives
    // the defaults that a form designer would. The owner becomes the widget's initial parent.
    explicit TGraph3D(QWidget *owner = nullptr);
    ~TGraph3D() override;

    // Gives every published property the default of a component placed in a form designer.
    void DesignDefaults();

    // ---- Published properties, in the order in which they are published. Plain stored
    // values: writing one draws nothing; it takes effect at the next clearing or drawing.
    TColor g3D_cl_topcolor = 0;         // surface seen from above; single points
    TColor g3D_cl_bottomcolor = 0;      // surface seen from below
    TColor g3D_cl_axisescolor = 0;      // axes and base frame
    TColor g3D_cl_grtextcolor = 0;      // scale numbers
    TColor g3D_cl_canvascolor = 0;      // background fill of g3D_cleargraph
    int g3D_graphmargin = 0;            // pixels between the control's edges and the plotting area
    bool g3D_pointfun_autosize = false; // g3D_drawfrompoints first fits the ranges to the file
    int g3D_pointtype = 0;              // marker shape 0..6 (any other value: one pixel)
    bool g3D_drawaxises = false;        // draw axes and base frame
    bool g3D_drawnumbers = false;       // draw scale numbers
    bool g3D_axisesoverdraw = false;    // axes drawn after the data instead of before
    bool g3D_fun_linedraw = false;      // surface as line segments (true) or markers (false)
    bool g3D_fun_transparentgraph = false; // hidden parts of the surface drawn too
    bool g3D_fun_drawhorizlines = false;   // draw the lines of constant z
    bool g3D_fun_drawvertlines = false;    // draw the lines of constant x
    float g3D_fun_xlinestep = 0;           // sampling step in x along a line of constant z
    float g3D_fun_zlinestep = 0;           // sampling step in z along a line of constant x
    float g3D_fun_step = 0;                // spacing between neighbouring grid lines
    float g3D_drawxmin = 0;
    float g3D_drawxmax = 0;
    float g3D_drawymin = 0; // value mapped to the bottom row of the plotting area
    float g3D_drawymax = 0; // value mapped to the top row of the plotting area
    float g3D_drawzmin = 0;
    float g3D_drawzmax = 0;
    float g3D_realxmin = 0; // projected-plane x mapped to the left edge of the plotting area
    float g3D_realxmax = 0; // projected-plane x mapped to the right edge of the plotting area

    static constexpr int PublishedPropertyCount = 26;

    // ---- State, read-only for the host.
    int g3D_errorposition() const { return g3D_errorposition_; }
    // The message for the last rejected function text (an ErrorMessageTable entry).
    std::string_view g3D_errormessage() const { return g3D_errormessage_; }
    int g3D_errorcode() const { return g3D_errorcode_; }
    float g3D_viewangle() const { return g3D_viewangle_; }
    int g3D_arealeft() const { return g3D_arealeft_; }
    int g3D_arearight() const { return g3D_arearight_; }
    int g3D_areatop() const { return g3D_areatop_; }
    int g3D_areabottom() const { return g3D_areabottom_; }
    // What was drawn last: 0 nothing, 1 a function, 2 a points file.
    int g3D_lastkind() const { return g3D_lastkind_; }
    // The last function text or points-file name drawn, whole.
    const std::string &g3D_lastsource() const { return g3D_lastsource_; }

    // ---- Operations for a host.
    // Renews the bitmap at the control's present size, recomputes the plotting area, fills
    // everything with g3D_cl_canvascolor and forgets the last drawing.
    void g3D_cleargraph();
    // Clears and repeats the last successful drawing (a points file with the ranges in force).
    void g3D_redrawlast();
    // Draws the surface of a function of x and y (normalised Windows-1250 text). Returns 0, or
    // the error code 1..11 that rejected the text (g3D_errormessage then names it).
    int g3D_drawfromfunction(std::string_view text);
    // Draws one marker per number triple of a text file, its name given as the file system
    // spells it (its own bytes: QFile::encodeName of a QString). Returns 0, or 1 when the file
    // can't be opened. Data that can be read only once (a pipe) is drawn as a file on disk would
    // be: what the range fitting read is kept for the drawing.
    int g3D_drawfrompoints(std::string_view fileName);

    // Checks a function text as g3D_drawfromfunction would, by its trial evaluation, without
    // drawing: returns 0, or the code 1..11 that refuses it (g3D_errorposition and
    // g3D_errormessage then tell where and what).
    int CheckFunction(std::string_view text);

    // Drawing primitives in world or projected-plane coordinates.
    void g3D_drawpoint(float x, float y, float z);
    void g3D_line(float X1, float Y1, float X2, float Y2, TColor colour);
    void g3D_putpixel(float X, float Y, TColor colour);
    void g3D_textxy(float X, float Y, std::string_view text, TColor colour);
    int g3D_convertxvaluetoscreen(float X) const;
    int g3D_convertyvaluetoscreen(float Y) const;
    // The projection parameters (depth tangent, five-sixths angle, depth angle); when both
    // horizon arrays are given (g3D_arearight + 1 entries each) fills their first
    // g3D_arearight entries with g3D_areatop and g3D_areabottom.
    void g3D_angleofview(float &tangent, float &fiveSixths, float &depthAngle, int *lower,
                         int *upper) const;
    static void g3D_convertcoordinateto2D(float x, float y, float z, float tangent,
                                          float depthAngle, float &X, float &Y);

    // Steps of the drawings, open for tests and for hosts that draw their own frame.
    void putpixel(int column, int row);
    // The floating horizon: 1 if the projected point is to be drawn, setting the colour by its
    // side of the surface; 0 otherwise.
    int test(float X, float Y, TColor &colour, int *lower, int *upper) const;
    // Fits the ranges to a points file (named as for g3D_drawfrompoints). Returns 0, or 1 when
    // the file can't be opened.
    int setminmaxfrompoints(std::string_view fileName);
    void axises();
    void numbers();

    // Test hook: the number of evaluations of function text made so far, trial ones included.
    std::uint64_t EvaluationCount() const { return evaluationCount_; }

private:
    long double oblicz(float vx, float vy);
    int TrialEvaluation();
    // Fits the ranges to the points that next() gives until it gives nothing.
    void FitRangesToPoints(const std::function<std::optional<std::array<float, 3>>()> &next);
    void drawhoriz();
    void drawvert();
    template <bool Horizontal> void DrawFamily();
    long double Evaluate();
    // Evaluates the function at count points, variable values points[2k] and points[2k + 1],
    // as oblicz would one by one: values[k] and codes[k] get the value and error code of each,
    // codes[k] is kEvaluationThrew where a FloatFault was thrown. Most points are evaluated
    // together in one call of the program.
    static constexpr int kEvaluationThrew = -1;
    void EvaluatePoints(const double *points, std::size_t count, long double *values, int *codes);

    int g3D_errorposition_ = 0;
    std::string_view g3D_errormessage_;
    std::optional<std::string> g3D_funtext_;
    std::optional<CompiledExpression> program_; // the program of g3D_funtext_, while it exists
    int g3D_errorcode_ = 0;
    float g3D_viewangle_ = 0;
    int g3D_arealeft_ = 0;
    int g3D_arearight_ = 0;
    int g3D_areatop_ = 0;
    int g3D_areabottom_ = 0;
    int g3D_varcount_ = 2;
    std::array<double, 2> g3D_varvalues_{};
    std::array<std::string, 2> g3D_varnames_;
    int g3D_lastkind_ = 0;
    std::string g3D_lastsource_;
    std::uint64_t evaluationCount_ = 0;
};

// Registers the component with a form designer's palette; the running program never needs it.
void Register();

} // namespace ziffa

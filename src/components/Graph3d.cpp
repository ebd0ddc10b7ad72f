#include "components/Graph3d.h"

#include "interpreter/Tables.h"

#include <numbers>

namespace ziffa {

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
    g3D_arealeft_ = g3D_graphmargin;
    g3D_arearight_ = width() - g3D_graphmargin;
    g3D_areatop_ = g3D_graphmargin;
    g3D_areabottom_ = height() - g3D_graphmargin;
    TCanvas &canvas = Canvas();
    canvas.SetBrushColor(g3D_cl_canvascolor);
    canvas.FillRect(0, 0, width(), height());
    g3D_lastkind_ = 0;
}

void Register() {}

} // namespace ziffa

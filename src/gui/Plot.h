#pragma once

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"

#include <iosfwd>

namespace ziffa {

// Draws the command's function of x and y (UTF-8), or its points file, with the chart mode's
// look into its PNG file, without a display; argc and argv go to Qt. Returns the exit status:
// Ok written, Fault a refused function, a points file that can't be opened or a PNG that can't
// be written, FloatFault a floating-point fault.
ExitStatus RunPlot(int &argc, char **argv, const PictureCommand &command, char decimalSeparator,
                   std::ostream &out, std::ostream &err);

} // namespace ziffa

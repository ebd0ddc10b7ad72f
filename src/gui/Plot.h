#pragma once

#include "cli/ExitStatus.h"

#include <iosfwd>
#include <span>
#include <string>

namespace ziffa {

// Draws a function of x and y (or a points file) with the chart mode's look into a PNG file,
// without a display. Arguments are the ones after the program name, UTF-8. Returns the exit
// status: Ok written, Fault a refused function, a points file that can't be opened or a PNG that
// can't be written, FloatFault a floating-point fault, Usage a usage error.
ExitStatus RunPlot(int &argc, char **argv, std::span<const std::string> args, char decimalSeparator,
                   std::ostream &out, std::ostream &err);

} // namespace ziffa

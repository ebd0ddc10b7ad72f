#include "app/Application.h"
#include "app/Headless.h"
#include "app/LocaleSeparator.h"
#include "app/Plot.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char *argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (ziffa::IsPlotCommandLine(args))
        return ziffa::RunPlot(argc, argv, args, ziffa::LocaleDecimalSeparator(), std::cout,
                              std::cerr);
    if (ziffa::IsHeadlessCommandLine(args))
        return ziffa::RunHeadless(args, ziffa::LocaleDecimalSeparator(), std::cin, std::cout,
                                  std::cerr);
    return ziffa::RunApplication(argc, argv);
}

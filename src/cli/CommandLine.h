#pragma once

// The one reader of the command line: which mode it asks for, and that mode's options. The
// arguments are those after the program's name, as the system gives them (UTF-8 text).

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace ziffa {

// ziffa [--chart] [WYRAŻENIE]: the calculator window.
struct WindowedCommand {
    bool chart = false;                    // the chart mode that draws ("--chart" first)
    std::optional<std::string> expression; // calculated as the window is first shown
};

// ziffa --eval WYRAŻENIE [--var NAZWA=WARTOŚĆ]...
struct EvaluateCommand {
    std::string expression;                // "-": one expression a line of standard input
    std::vector<std::string> variableRows; // NAZWA=WARTOŚĆ, at most five
};

// ziffa --help
struct HelpCommand {};

// ziffa --plot FUNKCJA --output PLIK.png [--size SZERxWYS] [--points PLIK]
struct PictureCommand {
    std::optional<std::string> function; // of x and y
    std::optional<std::string> points;   // a points file, drawn instead of the function
    std::string output;                  // the PNG file, named as the file system spells it
    int width = 556;
    int height = 424;
};

// A command line the program doesn't take; message says why, in Polish.
struct UsageError {
    std::string message;
};

using CommandLine =
    std::variant<WindowedCommand, EvaluateCommand, HelpCommand, PictureCommand, UsageError>;

// Reads the command line. A picture is asked for by --plot or --points anywhere; the modes
// without a window by a first argument that begins with "--" (other than "--chart"); anything
// else is the windowed program.
CommandLine ParseCommandLine(std::span<const std::string> args);

// The windowed program's rule alone. The window library applies it to what Qt leaves of the
// command line once it has taken the options it knows itself (-platform, -style and the like,
// which may stand anywhere).
WindowedCommand ParseWindowedCommandLine(std::span<const std::string> args);

// Whether the command line needs the window library: the windowed program and the pictures.
bool NeedsWindowLibrary(const CommandLine &commandLine);

} // namespace ziffa

#pragma once

// The compiler of expression texts into programs (CompiledProgram.h). Internal to the interpreter
// library.

#include <memory>
#include <string>
#include <string_view>

namespace ziffa::compiled {

struct Program;

// The program of a text, compiled as CompileExpression describes (CompiledExpression.h): the
// variable names are names[0 .. variableCount - 1], and separator is the decimal separator.
// Throws std::length_error for a text longer than INT_MAX characters, and std::bad_alloc.
std::shared_ptr<Program> CompileProgram(std::string_view text, int variableCount,
                                        const std::string *names, char separator);

} // namespace ziffa::compiled

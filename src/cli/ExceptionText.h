#pragma once

#include <exception>
#include <string>

namespace ziffa {

// The Polish text of an exception that ends a run without a window, to follow "ziffa: ": the
// evaluator's floating-point faults by their kind, a lack of memory, and any other exception's
// own words after "nieoczekiwany błąd: ".
std::string ExceptionText(const std::exception &e);

} // namespace ziffa

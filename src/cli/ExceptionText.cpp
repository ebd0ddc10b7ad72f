#include "cli/ExceptionText.h"

#include "interpreter/FloatFault.h"

#include <new>

namespace ziffa {

std::string ExceptionText(const std::exception &e) {
    if (dynamic_cast<const FloatFault *>(&e) != nullptr)
        return e.what();
    if (dynamic_cast<const std::bad_alloc *>(&e) != nullptr)
        return "za mało pamięci";
    return std::string("nieoczekiwany błąd: ") + e.what();
}

} // namespace ziffa

#include "forms/HandlerGuard.h"

#include "forms/Reporter.h"

#include <QString>

#include <new>

namespace ziffa {

QString ExceptionMessage(const std::exception *exception) {
    if (!exception)
        return QStringLiteral("Nieznany wyjątek");
    if (dynamic_cast<const std::bad_alloc *>(exception))
        return QStringLiteral("Brak pamięci");
    // The program's own exceptions say what went wrong in Polish, UTF-8.
    return QString::fromUtf8(exception->what());
}

void ReportEscapedException(const std::exception *exception) noexcept {
    try {
        Reporter().ReportException(ExceptionMessage(exception));
    } catch (...) {
        // A reporter that fails itself has nothing left to report to.
    }
}

} // namespace ziffa

#include "forms/HandlerGuard.h"

#include "forms/Reporter.h"

#include <QString>

namespace ziffa {

void ReportEscapedException(const std::exception *exception) noexcept {
    try {
        Reporter().ReportException(exception ? QString::fromLocal8Bit(exception->what())
                                             : QStringLiteral("Unknown exception"));
    } catch (...) {
        // A reporter that fails itself has nothing left to report to.
    }
}

} // namespace ziffa

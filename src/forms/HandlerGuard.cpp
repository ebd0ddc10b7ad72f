#include "forms/HandlerGuard.h"

#include "forms/Reporter.h"
#include "interpreter/FloatFault.h"

#include <QString>

#include <new>

namespace ziffa {

namespace {

// The operation, as the Polish messages name it ("... w mnożeniu").
QString OperationInPolish(FloatFault::Operation operation) {
    switch (operation) {
    case FloatFault::Operation::Addition:
        return QStringLiteral("w dodawaniu");
    case FloatFault::Operation::Subtraction:
        return QStringLiteral("w odejmowaniu");
    case FloatFault::Operation::Multiplication:
        return QStringLiteral("w mnożeniu");
    case FloatFault::Operation::Division:
        return QStringLiteral("w dzieleniu");
    case FloatFault::Operation::RoundingToDouble:
        return QStringLiteral("przy zaokrąglaniu do podwójnej precyzji");
    case FloatFault::Operation::Number:
        break;
    }
    return QStringLiteral("w odczycie liczby");
}

} // namespace

QString ExceptionMessage(const std::exception *exception) {
    if (!exception)
        return QStringLiteral("Nieznany wyjątek");
    if (const auto *fault = dynamic_cast<const FloatFault *>(exception)) {
        if (fault->kind() == FloatFault::Kind::InvalidOperation)
            return QStringLiteral("Niedozwolona operacja zmiennoprzecinkowa ") +
                   OperationInPolish(fault->operation());
        if (fault->operation() == FloatFault::Operation::Number)
            return QStringLiteral("Przepełnienie zmiennoprzecinkowe: liczba jest zbyt duża");
        return QStringLiteral("Przepełnienie zmiennoprzecinkowe ") +
               OperationInPolish(fault->operation());
    }
    if (dynamic_cast<const std::bad_alloc *>(exception))
        return QStringLiteral("Brak pamięci");
    return QString::fromLocal8Bit(exception->what());
}

void ReportEscapedException(const std::exception *exception) noexcept {
    try {
        Reporter().ReportException(ExceptionMessage(exception));
    } catch (...) {
        // A reporter that fails itself has nothing left to report to.
    }
}

} // namespace ziffa

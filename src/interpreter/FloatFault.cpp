#include "interpreter/FloatFault.h"

#include <string>

namespace ziffa {

namespace {

// The operation, as the messages name it ("... w mnożeniu").
const char *OperationInPolish(FloatFault::Operation operation) {
    switch (operation) {
    case FloatFault::Operation::Addition:
        return "w dodawaniu";
    case FloatFault::Operation::Subtraction:
        return "w odejmowaniu";
    case FloatFault::Operation::Multiplication:
        return "w mnożeniu";
    case FloatFault::Operation::Division:
        return "w dzieleniu";
    case FloatFault::Operation::RoundingToDouble:
        return "przy zaokrąglaniu do podwójnej precyzji";
    case FloatFault::Operation::Number:
        break;
    }
    return "w odczycie liczby";
}

std::string Message(FloatFault::Kind kind, FloatFault::Operation operation) {
    if (kind == FloatFault::Kind::InvalidOperation)
        return std::string("Niedozwolona operacja zmiennoprzecinkowa ") +
               OperationInPolish(operation);
    if (operation == FloatFault::Operation::Number)
        return "Przepełnienie zmiennoprzecinkowe: liczba jest zbyt duża";
    return std::string("Przepełnienie zmiennoprzecinkowe ") + OperationInPolish(operation);
}

} // namespace

FloatFault::FloatFault(Kind kind, Operation operation)
    : std::runtime_error(Message(kind, operation)), kind_(kind), operation_(operation) {}

} // namespace ziffa

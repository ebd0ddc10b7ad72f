#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <utility>

namespace ziffa {

// The message of an exception as the standard exception box shows it: a floating-point fault of
// the evaluator in Polish, naming the fault and the operation; a lack of memory in Polish; any
// other exception by its own message; none (an exception of another kind) as an unknown one.
QString ExceptionMessage(const std::exception *exception);

// Shows the message of an exception that escaped a handler in the standard exception box.
void ReportEscapedException(const std::exception *exception) noexcept;

// Runs the body of an event handler. An exception that escapes it is reported in the standard
// exception box and goes no further (Qt can't carry one out of a slot), so the message loop
// goes on. Returns whether the body ran to its end.
template <class Body> bool RunGuarded(Body &&body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const std::exception &e) {
        ReportEscapedException(&e);
    } catch (...) {
        ReportEscapedException(nullptr);
    }
    return false;
}

// Connects a signal to a handler of a form that takes no arguments, run inside the guard.
template <class Sender, class Signal, class Form>
void BindHandler(Sender *sender, Signal signal, Form *form, void (Form::*handler)()) {
    QObject::connect(sender, signal, form,
                     [form, handler] { RunGuarded([&] { (form->*handler)(); }); });
}

} // namespace ziffa

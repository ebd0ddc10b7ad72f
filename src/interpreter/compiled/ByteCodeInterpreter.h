#pragma once

// The interpreter of a compiled expression's byte code (CompiledProgram.h), which runs any
// program, however long or deep. Internal to the interpreter library.

namespace ziffa::compiled {

struct Program;

// Evaluates the program with values[0 .. variable count - 1]: first with the plain arithmetic,
// and again with the checked one when the first run may have met an overflow or an invalid
// operation, so that the fault is found where the evaluator finds it. errorCode must be 0 on
// entry; on return it is 0 on success, or the code of the first fault with errorPosition its
// position. Returns 0 whenever a fault is reported. Throws FloatFault as the evaluator does.
long double Interpret(const Program &program, const double *values, int &errorCode,
                      int &errorPosition);

// The same with the checked arithmetic only: for a fault that a faster evaluation could not
// tell from an overflow or an invalid operation of its own.
long double InterpretChecked(const Program &program, const double *values, int &errorCode,
                             int &errorPosition);

} // namespace ziffa::compiled

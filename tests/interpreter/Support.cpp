#include "Support.h"

#include "interpreter/ExpressionText.h"

namespace ziffa::test {

SeparatorScope::SeparatorScope(char separator) : saved_(ExprDecimalSeparator) {
    ExprDecimalSeparator = separator;
}

SeparatorScope::~SeparatorScope() {
    ExprDecimalSeparator = saved_;
}

} // namespace ziffa::test

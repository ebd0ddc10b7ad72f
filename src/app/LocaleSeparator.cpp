#include "app/LocaleSeparator.h"

#include "interpreter/Codepage.h"

#include <QLocale>
#include <QString>

namespace ziffa {

char LocaleDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.isEmpty())
        return '.';
    const std::string bytes = Utf8ToCp1250(point.left(1).toStdString());
    if (bytes.size() != 1 || bytes[0] == '?')
        return '.';
    return bytes[0];
}

} // namespace ziffa

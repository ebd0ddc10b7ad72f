// The yardstick of the whole-process measurements (bench/whole-process.sh): a plain C++ program
// that reads the locale's decimal point and prints a number, as "ziffa --eval 2*pi" does.
#include <clocale>
#include <iostream>
#include <sstream>
#include <string>

int main() {
    std::setlocale(LC_NUMERIC, "");
    const char point = *std::localeconv()->decimal_point;
    std::ostringstream number;
    number.precision(15);
    number << 2 * 3.141592653589793;
    std::string text = number.str();
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text[dot] = point;
    std::cout << text << '\n';
}

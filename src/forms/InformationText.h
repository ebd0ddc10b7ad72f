#pragma once

#include <array>
#include <string_view>

namespace ziffa {

// The help text of the information window, line by line (UTF-8). The spaces inside the lines
// line up its columns in a fixed-pitch font.
inline constexpr std::array<std::string_view, 32> InformationText = {
    "",
    "Kalkulator w formie Interpretera Wyrażeń Matematycznych",
    "",
    "Operatory arytmetyczne:",
    "  -     - odejmowanie  np. 2-3  lub  -2",
    "  +     - dodawanie    np. 2+3  lub  +2",
    "  /     - dzielenie    np. 2/3",
    "  *     - mnożenie     np. 2*3",
    "  ^     - potęga       np. 2^3^4  równoznaczne z  (2^3)^4",
    "  (     - otwarcie nawiasu    np. (2+3)*4",
    "  )     - zamknięcie nawiasu  np. (2+3)*4",
    "",
    "Stałe interpretera:",
    "  pi = 3.14159265358979",
    "  e  = 2.71828182845905",
    "  h  = 6.626076e-34",
    "  k  = 1.380651e-23",
    "  R  = 1.097373153e7",
    "",
    "Funkcje wbudowane w interpreter",
    "  sin(a)    - sinus trygonometryczny",
    "  cos(a)    - kosinus trygonometryczny",
    "  asin(a)   - arcus sinus trygonometryczny",
    "  acos(a)   - arcus kosinus trygonometryczny",
    "  ln(a)     - logarytm naturalny",
    "  !(a)      - silnia",
    "  tg(a)     - tangens trygonometryczny",
    "  ctg(a)    - kotangens trygonometryczny",
    "  abs(a)    - wartość bezwzględna",
    "  log10(a)  - logarytm dziesiesiętny",
    "  exp(a)    - eksponent",
    "  sqrt(a)   - pierwiastek kwadratowy",
};

} // namespace ziffa

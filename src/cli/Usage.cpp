#include "cli/Usage.h"

#include <ostream>

namespace ziffa {

std::string UsageText() {
    return "Użycie:\n"
           "  ziffa [--chart] [WYRAŻENIE]             uruchamia kalkulator i oblicza\n"
           "                                          WYRAŻENIE; --chart pokazuje przycisk\n"
           "                                          \"Wykres\" (F6)\n"
           "  ziffa --eval WYRAŻENIE [--var NAZWA=WARTOŚĆ]...\n"
           "                                          wypisuje wartość WYRAŻENIA\n"
           "  ziffa --eval - [--var NAZWA=WARTOŚĆ]...\n"
           "                                          oblicza po jednym wyrażeniu z każdego\n"
           "                                          wiersza standardowego wejścia\n"
           "  ziffa --plot FUNKCJA --output PLIK.png [--size SZERxWYS] [--points PLIK]\n"
           "                                          rysuje bez ekranu powierzchnię funkcji\n"
           "                                          x i y w pliku PNG (domyślny rozmiar\n"
           "                                          556x424); --points rysuje zamiast niej\n"
           "                                          trójki liczb z pliku (FUNKCJĘ można\n"
           "                                          wtedy pominąć)\n"
           "  ziffa --help                            wypisuje ten tekst\n"
           "\n"
           "Najwyżej pięć opcji --var określa zmienne, tak jak wiersze okna zmiennych.\n"
           "Separatorem dziesiętnym jest separator ustawień regionalnych (LC_ALL,\n"
           "LC_NUMERIC, LANG) według danych locale biblioteki C; \".\" tam, gdzie tych\n"
           "ustawień nie zainstalowano.\n"
           "\n"
           "Kod zakończenia:\n"
           "  0   sukces; wartości, które daje biblioteka matematyczna, takie jak INF\n"
           "      (10^4000) i NAN (asin(-2)), są wynikami\n"
           "  1   błąd w wyrażeniu (komunikat na standardowym wyjściu, a wyrażenie i znak ^\n"
           "      pod miejscem błędu na standardowym wyjściu błędów), wiersz za długi do\n"
           "      obliczenia, plik punktów, którego nie można otworzyć, lub obraz, którego\n"
           "      nie można zapisać\n"
           "  2   własna arytmetyka interpretera przekroczyła zakres liczb lub wykonała\n"
           "      niedozwoloną operację (!(1755), 10^4000-10^4000) albo zabrakło pamięci\n"
           "      na wiersz\n"
           "  64  błędne użycie\n"
           "  72  brak biblioteki okien (okna i obrazy) albo nie można jej wczytać\n"
           "  74  nie można zapisać standardowego wyjścia lub odczytać standardowego wejścia\n"
           "Przy --eval - kodem zakończenia jest najwyższy z kodów wszystkich wierszy.\n";
}

ExitStatus ReportUsageError(std::string_view message, std::ostream &err) {
    err << "ziffa: " << message << "\n\n" << UsageText();
    return ExitStatus::Usage;
}

} // namespace ziffa

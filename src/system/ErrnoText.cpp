#include "system/ErrnoText.h"

#include <array>
#include <cerrno>
#include <string_view>
#include <utility>

namespace ziffa {

namespace {

using Entry = std::pair<int, std::string_view>;

// The system's refusals of files, folders and streams, in the words of the program.
constexpr std::array kTexts{
    Entry{ENOSPC, "brak miejsca na urządzeniu"},
    Entry{EDQUOT, "przekroczony przydział miejsca na dysku"},
    Entry{EROFS, "system plików jest tylko do odczytu"},
    Entry{EACCES, "brak dostępu"},
    Entry{EPERM, "operacja niedozwolona"},
    Entry{ENOENT, "nie ma takiego pliku ani folderu"},
    Entry{EISDIR, "to jest folder"},
    Entry{ENOTDIR, "element ścieżki nie jest folderem"},
    Entry{EFBIG, "plik jest za duży"},
    Entry{EIO, "błąd wejścia/wyjścia"},
    Entry{EPIPE, "przerwany potok"},
    Entry{EBADF, "błędny deskryptor pliku"},
    Entry{EMLINK, "zbyt wiele dowiązań"},
    Entry{ELOOP, "zbyt wiele poziomów dowiązań symbolicznych"},
    Entry{ENAMETOOLONG, "za długa nazwa pliku"},
    Entry{EBUSY, "urządzenie lub zasób jest zajęty"},
    Entry{ENOMEM, "za mało pamięci"},
    Entry{EEXIST, "plik już istnieje"},
    Entry{ETXTBSY, "plik wykonywalny jest w użyciu"},
    Entry{EMFILE, "za dużo otwartych plików"},
    Entry{ENFILE, "za dużo otwartych plików w systemie"},
    Entry{ENXIO, "nie ma takiego urządzenia ani adresu"},
    Entry{ENODEV, "nie ma takiego urządzenia"},
    Entry{ENOMEDIUM, "brak nośnika w urządzeniu"},
    Entry{EXDEV, "przeniesienie między różnymi systemami plików"},
    Entry{ENOTEMPTY, "folder nie jest pusty"},
    Entry{ESPIPE, "nie można zmienić pozycji w tym pliku"},
    Entry{ESTALE, "nieaktualny uchwyt pliku sieciowego"},
    Entry{EOVERFLOW, "wartość za duża dla typu danych"},
    Entry{ENOLCK, "brak wolnych blokad"},
    Entry{ENOTSUP, "operacja nieobsługiwana"},
    Entry{ENOSYS, "funkcja nieobsługiwana przez system"},
    Entry{EINVAL, "nieprawidłowy argument"},
    Entry{EAGAIN, "zasób chwilowo niedostępny"},
    Entry{EINTR, "przerwane wywołanie systemowe"},
    Entry{ETIMEDOUT, "przekroczony czas oczekiwania"},
    Entry{ECONNRESET, "połączenie zerwane przez drugą stronę"},
    Entry{ENOTCONN, "brak połączenia"},
};

} // namespace

std::string ErrnoText(int error) {
    for (const auto &[number, text] : kTexts)
        if (number == error)
            return std::string(text);
    // The C library's text through the thread-safe path of the standard library.
    return "błąd systemu " + std::to_string(error) + ": " + std::generic_category().message(error);
}

std::string ErrorCodeText(const std::error_code &code) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return ErrnoText(code.value());
    return code.message();
}

} // namespace ziffa

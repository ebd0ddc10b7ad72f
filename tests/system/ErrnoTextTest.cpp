#include "system/ErrnoText.h"

#include <cerrno>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <system_error>

namespace ziffa {
namespace {

struct ErrnoCase {
    int error;
    const char *text;
};

// The failures a user meets when files and streams fail, each in its own words.
constexpr ErrnoCase kCases[] = {
    {ENOSPC, "brak miejsca na urządzeniu"},
    {EDQUOT, "przekroczony przydział miejsca na dysku"},
    {EROFS, "system plików jest tylko do odczytu"},
    {EACCES, "brak dostępu"},
    {EPERM, "operacja niedozwolona"},
    {ENOENT, "nie ma takiego pliku ani folderu"},
    {EISDIR, "to jest folder"},
    {ENOTDIR, "element ścieżki nie jest folderem"},
    {EFBIG, "plik jest za duży"},
    {EIO, "błąd wejścia/wyjścia"},
    {EPIPE, "przerwany potok"},
    {EBADF, "błędny deskryptor pliku"},
    {EMLINK, "zbyt wiele dowiązań"},
    {ELOOP, "zbyt wiele poziomów dowiązań symbolicznych"},
    {ENAMETOOLONG, "za długa nazwa pliku"},
    {EBUSY, "urządzenie lub zasób jest zajęty"},
    {ENOMEM, "za mało pamięci"},
    {EEXIST, "plik już istnieje"},
    {ETXTBSY, "plik wykonywalny jest w użyciu"},
    {EMFILE, "za dużo otwartych plików"},
    {ENFILE, "za dużo otwartych plików w systemie"},
    {ENXIO, "nie ma takiego urządzenia ani adresu"},
    {ENODEV, "nie ma takiego urządzenia"},
    {ENOMEDIUM, "brak nośnika w urządzeniu"},
    {EXDEV, "przeniesienie między różnymi systemami plików"},
    {ENOTEMPTY, "folder nie jest pusty"},
    {ESPIPE, "nie można zmienić pozycji w tym pliku"},
    {ESTALE, "nieaktualny uchwyt pliku sieciowego"},
    {EOVERFLOW, "wartość za duża dla typu danych"},
    {ENOLCK, "brak wolnych blokad"},
    {ENOTSUP, "operacja nieobsługiwana"},
    {ENOSYS, "funkcja nieobsługiwana przez system"},
    {EINVAL, "nieprawidłowy argument"},
    {EAGAIN, "zasób chwilowo niedostępny"},
    {EINTR, "przerwane wywołanie systemowe"},
    {ETIMEDOUT, "przekroczony czas oczekiwania"},
    {ECONNRESET, "połączenie zerwane przez drugą stronę"},
    {ENOTCONN, "brak połączenia"},
};

TEST(ErrnoText, KnownFailuresInPolish) {
    std::set<std::string> seen;
    for (const ErrnoCase &c : kCases) {
        EXPECT_EQ(ErrnoText(c.error), c.text) << "errno " << c.error;
        EXPECT_TRUE(seen.insert(c.text).second) << "two failures read alike: " << c.text;
    }
}

TEST(ErrnoText, OthersKeepTheNumberAndTheCLibrarysText) {
    for (const int error : {ECHILD, EDOM, ERANGE, 0, -1, 123456}) {
        const std::string expected =
            "błąd systemu " + std::to_string(error) + ": " + std::generic_category().message(error);
        EXPECT_EQ(ErrnoText(error), expected);
    }
}

TEST(ErrnoText, ErrorCodesOfTheSystemAndOtherCategories) {
    EXPECT_EQ(ErrorCodeText(std::make_error_code(std::errc::no_space_on_device)),
              "brak miejsca na urządzeniu");
    EXPECT_EQ(ErrorCodeText(std::error_code(EACCES, std::system_category())), "brak dostępu");
    // What the file system library reports comes through in the same words.
    std::error_code error;
    EXPECT_TRUE(std::filesystem::read_symlink("/nonexistent/ziffa", error).empty());
    EXPECT_EQ(ErrorCodeText(error), "nie ma takiego pliku ani folderu");
    // A code of another kind keeps its own message.
    const std::error_code future = std::make_error_code(std::future_errc::no_state);
    EXPECT_EQ(ErrorCodeText(future), future.message());
}

} // namespace
} // namespace ziffa

#include "cli/FaultEcho.h"

#include "interpreter/Codepage.h"
#include "interpreter/Tables.h"

#include <algorithm>
#include <ostream>

namespace ziffa {

std::string FaultLine(int code) {
    return "BŁĄD: " + Cp1250ToUtf8(ErrorMessage(code)) + '\n';
}

void EchoWithCaret(std::ostream &err, std::string_view cp1250Text, int position) {
    // Windows-1250 has one byte a character, so the text converts piece by piece, and a long
    // text is never held twice.
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < cp1250Text.size(); at += kPiece) {
        const std::string_view piece = cp1250Text.substr(at, kPiece);
        if (IsAscii(piece))
            err << piece;
        else
            err << Cp1250ToUtf8(piece);
    }
    err << '\n';
    const std::string spaces(4096, ' ');
    for (std::size_t left = static_cast<std::size_t>(std::max(position, 0)); left > 0;) {
        const std::size_t n = std::min(left, spaces.size());
        err.write(spaces.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    err << "^\n";
}

} // namespace ziffa

#include "interpreter/Codepage.h"

#include <array>
#include <cerrno>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <stdexcept>
#include <wctype.h>

namespace ziffa {

namespace {

// One iconv conversion descriptor, opened for the lifetime of a conversion.
class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("Biblioteka C nie umie przekształcić tekstu z ") +
                                     from + " na " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    // Converts the whole input; a sequence that can't be converted (or isn't valid input)
    // becomes the replacement and the conversion goes on after it.
    std::string Convert(std::string_view input, std::size_t badInputStep,
                        std::string_view replacement) {
        std::string out;
        out.reserve(input.size() * 2);
        char *in = const_cast<char *>(input.data());
        std::size_t inLeft = input.size();
        std::array<char, 4096> buffer;
        while (inLeft > 0) {
            char *outPtr = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer.data(), buffer.size() - outLeft);
            if (r != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ (not representable or invalid) or EINVAL (incomplete sequence at the end).
            out.append(replacement);
            std::size_t step = badInputStep;
            if (badInputStep == 0) {
                // UTF-8 input: skip one whole character, or one byte if it is malformed.
                const unsigned char lead = static_cast<unsigned char>(*in);
                step = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
                std::size_t k = 1;
                while (k < step && k < inLeft && (static_cast<unsigned char>(in[k]) & 0xC0) == 0x80)
                    ++k;
                step = k;
            }
            if (step > inLeft)
                step = inLeft;
            in += step;
            inLeft -= step;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

// The lower-case image of every Windows-1250 byte, built from the code page's characters and the
// Unicode lower-casing of the C.UTF-8 locale.
std::array<char, 256> BuildLowerTable() {
    std::array<char, 256> table{};
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    Iconv toWide("WCHAR_T", "WINDOWS-1250");
    Iconv fromWide("WINDOWS-1250", "WCHAR_T");
    for (int b = 0; b < 256; ++b) {
        table[static_cast<std::size_t>(b)] = static_cast<char>(b);
        const char byte = static_cast<char>(b);
        const std::string wide = toWide.Convert(std::string_view(&byte, 1), 1, "");
        if (wide.size() != sizeof(wchar_t))
            continue;
        wchar_t wc;
        std::copy(wide.begin(), wide.end(), reinterpret_cast<char *>(&wc));
        const wint_t lower =
            utf8 ? towlower_l(static_cast<wint_t>(wc), utf8) : towlower(static_cast<wint_t>(wc));
        if (lower == static_cast<wint_t>(wc))
            continue;
        const wchar_t lw = static_cast<wchar_t>(lower);
        const std::string back = fromWide.Convert(
            std::string_view(reinterpret_cast<const char *>(&lw), sizeof(lw)), sizeof(lw), "");
        if (back.size() == 1)
            table[static_cast<std::size_t>(b)] = back[0];
    }
    if (utf8)
        freelocale(utf8);
    return table;
}

const std::array<char, 256> &LowerTable() {
    static const std::array<char, 256> table = BuildLowerTable();
    return table;
}

} // namespace

char LowerChar1250(char c) {
    return LowerTable()[static_cast<unsigned char>(c)];
}

std::string LowerCase1250(std::string_view text) {
    std::string out(text);
    LowerCase1250InPlace(out);
    return out;
}

void LowerCase1250InPlace(std::string &text) {
    // ASCII letters by themselves; the table, built on first need, for the code page's others.
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            c = LowerTable()[byte];
        else if (byte >= 'A' && byte <= 'Z')
            c = static_cast<char>(byte + ('a' - 'A'));
    }
}

bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

std::string Utf8ToCp1250(std::string_view utf8) {
    if (IsAscii(utf8))
        return std::string(utf8);
    Iconv cd("WINDOWS-1250", "UTF-8");
    return cd.Convert(utf8, 0, "?");
}

std::string Cp1250ToUtf8(std::string_view cp1250) {
    if (IsAscii(cp1250))
        return std::string(cp1250);
    Iconv cd("UTF-8", "WINDOWS-1250");
    // The five bytes that Windows-1250 leaves undefined become "?".
    return cd.Convert(cp1250, 1, "?");
}

} // namespace ziffa

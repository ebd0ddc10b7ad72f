#pragma once

#include <cstring>
#include <string>

namespace ziffa::test {

// The ten significant bytes of an x87 long double, as hex, so that values compare bit for bit
// and a failure shows the bits.
inline std::string Bits(long double v) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &v, 10);
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (int i = 9; i >= 0; --i) {
        out += hex[bytes[i] >> 4];
        out += hex[bytes[i] & 15];
    }
    return out;
}

// Sets ExprDecimalSeparator for one scope.
class SeparatorScope {
public:
    explicit SeparatorScope(char separator);
    ~SeparatorScope();
    SeparatorScope(const SeparatorScope &) = delete;
    SeparatorScope &operator=(const SeparatorScope &) = delete;

private:
    char saved_;
};

} // namespace ziffa::test

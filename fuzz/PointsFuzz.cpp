// The points reader on arbitrary bytes. The numbers read don't depend on how the bytes arrive
// (all at once or one at a time), each is finite, and a text that is one number by the grammar
// converts as the C library's strtof does (correctly rounded, subnormals included; beyond the
// float range refused). Any difference aborts.
#include "components/PointsFile.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Gives the bytes in chunks of a given size.
class Chunks : public std::streambuf {
public:
    Chunks(std::string_view bytes, std::size_t chunk) : bytes_(bytes), chunk_(chunk) {}

protected:
    int_type underflow() override {
        if (at_ == bytes_.size())
            return traits_type::eof();
        const std::size_t n = std::min(chunk_, bytes_.size() - at_);
        char *begin = const_cast<char *>(bytes_.data() + at_);
        setg(begin, begin, begin + n);
        at_ += n;
        return traits_type::to_int_type(*begin);
    }

private:
    std::string_view bytes_;
    std::size_t chunk_;
    std::size_t at_ = 0;
};

std::vector<std::uint32_t> ReadBits(std::string_view bytes, std::size_t chunk) {
    Chunks source(bytes, chunk);
    ziffa::PointsReader reader(source);
    std::vector<std::uint32_t> bits;
    while (const std::optional<float> n = reader.NextNumber()) {
        if (!std::isfinite(*n)) {
            std::fprintf(stderr, "NOT FINITE: %g\n", static_cast<double>(*n));
            std::abort();
        }
        std::uint32_t b;
        std::memcpy(&b, &*n, sizeof b);
        bits.push_back(b);
    }
    return bits;
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// [sign] digits [. digits] [e [sign] digits], with a digit in the mantissa.
bool IsNumber(std::string_view t) {
    std::size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    for (; i < t.size() && Digit(t[i]); ++i)
        ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && Digit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const std::size_t first = i;
        for (; i < t.size() && Digit(t[i]); ++i) {
        }
        if (i == first)
            return false;
    }
    return i == t.size();
}

void CompareWithStrtof(std::string_view text) {
    if (!IsNumber(text))
        return;
    const std::string copy(text);
    errno = 0;
    const float expected = std::strtof(copy.c_str(), nullptr);
    const bool tooLarge = errno == ERANGE && std::isinf(expected);
    const std::optional<float> got = ziffa::ParsePointNumber(text);
    const bool same = tooLarge ? !got : got && std::memcmp(&*got, &expected, sizeof expected) == 0;
    if (!same) {
        std::fprintf(stderr, "CONVERSION: \"%s\": strtof %a, ours %s%a\n", copy.c_str(),
                     static_cast<double>(expected), got ? "" : "nothing ",
                     got ? static_cast<double>(*got) : 0.0);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::vector<std::uint32_t> whole = ReadBits(bytes, bytes.size() + 1);
    const std::vector<std::uint32_t> dribbled = ReadBits(bytes, 1 + size % 7);
    if (whole != dribbled) {
        std::fprintf(stderr, "CHUNKS: %zu numbers read at once, %zu in chunks\n", whole.size(),
                     dribbled.size());
        std::abort();
    }
    // The grammar's longest accepted text is what a reader takes as one number.
    if (size <= 4096)
        CompareWithStrtof(bytes);
    return 0;
}

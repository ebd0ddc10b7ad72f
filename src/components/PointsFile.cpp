#include "components/PointsFile.h"

#include "system/FileDescriptor.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

namespace ziffa {

namespace {

// A number longer than this is not taken for one.
constexpr std::size_t MaxNumberLength = 4096;

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Whether a number's magnitude is at least 1, judged from its digits and exponent; used only
// for values that the conversions report as out of range.
bool MagnitudeAtLeastOne(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    long long position = 0; // decimal exponent of the first significant digit, plus one
    bool seenPoint = false, seenSignificant = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            seenPoint = true;
        } else if (!seenSignificant) {
            if (text[i] != '0')
                seenSignificant = true;
            else if (seenPoint)
                --position;
            if (seenSignificant && !seenPoint)
                ++position;
        } else if (!seenPoint) {
            ++position;
        }
    }
    if (!seenSignificant)
        return false;
    long long exponent = 0;
    if (i < text.size()) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negative = text[i++] == '-';
        for (; i < text.size(); ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), 1'000'000'000'000LL);
        if (negative)
            exponent = -exponent;
    }
    return position + exponent > 0;
}

} // namespace

std::optional<float> ParsePointNumber(std::string_view text) {
    // Check the grammar: [sign] digits [. digits] [e [sign] digits], with a digit somewhere in
    // the mantissa.
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t mantissa = i;
    std::size_t digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && IsDigit(text[i]); ++i)
            ++digits;
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            ++exponentDigits;
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;

    // from_chars takes no leading "+".
    const bool negative = text[0] == '-';
    const char *first = text.data() + mantissa;
    const char *last = text.data() + text.size();
    float value = 0;
    auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc() && result.ptr == last)
        return negative ? -value : value;
    if (result.ec != std::errc::result_out_of_range)
        return std::nullopt;
    long double wide = 0;
    result = std::from_chars(first, last, wide, std::chars_format::general);
    bool tiny;
    if (result.ec == std::errc())
        tiny = std::fabs(wide) <= std::numeric_limits<float>::max();
    else
        tiny = !MagnitudeAtLeastOne(text);
    if (!tiny)
        return std::nullopt;
    const float small = result.ec == std::errc() ? static_cast<float>(wide) : 0.0f;
    return negative ? -small : small;
}

std::optional<float> PointsReader::NextNumber() {
    if (ended_)
        return std::nullopt;
    using Traits = std::streambuf::traits_type;
    int c = source_.sgetc();
    while (c != Traits::eof() && IsBlank(c))
        c = source_.snextc();
    // Take the longest run that can belong to a number; the grammar check decides.
    std::string text;
    auto take = [&] {
        text.push_back(static_cast<char>(c));
        c = source_.snextc();
    };
    if (c == '+' || c == '-')
        take();
    while (c != Traits::eof() && IsDigit(c) && text.size() <= MaxNumberLength)
        take();
    if (c == '.') {
        take();
        while (c != Traits::eof() && IsDigit(c) && text.size() <= MaxNumberLength)
            take();
    }
    std::optional<float> mantissaOnly = ParsePointNumber(text);
    if (mantissaOnly && (c == 'e' || c == 'E')) {
        // An exponent belongs to the number only with at least one digit; without one, the
        // number ends before the "e" and reading ends after it.
        std::string exponent(1, static_cast<char>(c));
        c = source_.snextc();
        if (c == '+' || c == '-') {
            exponent.push_back(static_cast<char>(c));
            c = source_.snextc();
        }
        while (c != Traits::eof() && IsDigit(c) && exponent.size() <= MaxNumberLength) {
            exponent.push_back(static_cast<char>(c));
            c = source_.snextc();
        }
        if (exponent.size() == 1 || !IsDigit(exponent.back())) {
            ended_ = true;
            return mantissaOnly;
        }
        text += exponent;
    }
    if (text.size() > MaxNumberLength) {
        ended_ = true;
        return std::nullopt;
    }
    std::optional<float> value = ParsePointNumber(text);
    if (!value)
        ended_ = true;
    return value;
}

std::optional<std::array<float, 3>> PointsReader::NextTriple() {
    std::array<float, 3> triple{};
    for (float &v : triple) {
        const std::optional<float> n = NextNumber();
        if (!n) {
            ended_ = true;
            return std::nullopt;
        }
        v = *n;
    }
    return triple;
}

std::vector<PointTriple> ReadAllPoints(PointsReader &reader) {
    std::vector<PointTriple> points;
    while (const std::optional<PointTriple> p = reader.NextTriple())
        points.push_back(*p);
    return points;
}

// Reads a file descriptor through a buffer of its own, and closes it.
class PointsFile::Buffer : public std::streambuf {
public:
    Buffer(FileDescriptor fd, bool regular) : fd_(std::move(fd)), regular_(regular) {}

    bool regular() const noexcept { return regular_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        // A failed read ends the numbers as the end of the file does.
        const ReadOutcome read = ReadSome(fd_.get(), bytes_.data(), bytes_.size());
        if (read.error || read.bytes == 0)
            return traits_type::eof();
        setg(bytes_.data(), bytes_.data(), bytes_.data() + read.bytes);
        return traits_type::to_int_type(*gptr());
    }

private:
    FileDescriptor fd_;
    bool regular_;
    std::array<char, 65536> bytes_{};
};

PointsFile::PointsFile(std::unique_ptr<Buffer> buffer) : buffer_(std::move(buffer)) {}
PointsFile::PointsFile(PointsFile &&) noexcept = default;
PointsFile &PointsFile::operator=(PointsFile &&) noexcept = default;
PointsFile::~PointsFile() = default;

std::optional<PointsFile> PointsFile::Open(std::string_view fileName) {
    // A zero byte would end the name early: another file would open.
    if (fileName.empty() || fileName.find('\0') != std::string_view::npos)
        return std::nullopt;
    FileDescriptor fd = OpenFile(std::string(fileName), O_RDONLY);
    if (!fd.valid())
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return PointsFile(std::make_unique<Buffer>(std::move(fd), S_ISREG(st.st_mode)));
}

bool PointsFile::CanReadAgain() const noexcept {
    return buffer_->regular();
}

std::streambuf &PointsFile::Data() noexcept {
    return *buffer_;
}

} // namespace ziffa

#include "forms/TextConvert.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ziffa {

namespace {

constexpr const char *CodePage = "windows-1250";
constexpr char Substitute = '\x1a'; // what the encoder writes for a character it can't hold

// Encodes one code point (one or two UTF-16 units); "?" when the code page has no byte for it.
char EncodeCodePoint(QStringView codePoint) {
    if (codePoint.size() == 1 && codePoint.front() == QChar(Substitute))
        return Substitute;
    QStringEncoder encoder(CodePage);
    const QByteArray bytes = encoder.encode(codePoint);
    if (encoder.hasError() || bytes.size() != 1 || bytes.front() == Substitute)
        return '?';
    return bytes.front();
}

} // namespace

std::string ToCp1250(const QString &text) {
    QStringEncoder encoder(CodePage);
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));

    // Some character has no byte: go code point by code point so that each one becomes "?".
    std::string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ? 2
                : 1;
        result.push_back(EncodeCodePoint(QStringView(text).mid(i, length)));
        i += length;
    }
    return result;
}

QString FromCp1250(std::string_view text) {
    QStringDecoder decoder(CodePage);
    return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace ziffa

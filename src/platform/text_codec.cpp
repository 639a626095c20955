#include "platform/text_codec.h"

#include <array>

namespace platform {
namespace {

// Code points of bytes 0x80..0x9F. The five bytes the code page leaves
// undefined map to the C1 control of the same value, so they round-trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

// -1 for a character the code page does not hold.
int ByteOf(char16_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return code;
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == code) return static_cast<int>(0x80 + i);
    }
    return -1;
}

char FromUnicode(char16_t code) {
    const int byte = ByteOf(code);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

}  // namespace

QString ToQString(std::string_view bytes) {
    QString out;
    out.resize(static_cast<qsizetype>(bytes.size()));
    QChar* data = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        data[i] = QChar(ToUnicode(static_cast<unsigned char>(bytes[i])));
    }
    return out;
}

std::string FromQString(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) out.push_back(FromUnicode(c.unicode()));
    return out;
}

bool InCodePage(QChar c) {
    return ByteOf(c.unicode()) >= 0;
}

QString OutsideCodePage(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (!InCodePage(c)) out.append(c);
    }
    return out;
}

std::optional<std::string> ArgumentInCodePage(const char* argument) {
    const QString text = QString::fromLocal8Bit(argument);
    if (!OutsideCodePage(text).isEmpty()) return std::nullopt;
    return FromQString(text);
}

}  // namespace platform

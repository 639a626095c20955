#include "stored_text.h"

#include <QString>

#include "platform/text_codec.h"

namespace docserver {
namespace {

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string StoredFromWire(std::string_view wire) {
    if (IsAscii(wire)) return std::string(wire);
    return platform::ToQString(wire).toUtf8().toStdString();
}

std::string WireFromStored(std::string_view stored) {
    if (IsAscii(stored)) return std::string(stored);
    QByteArray bytes(stored.data(), static_cast<qsizetype>(stored.size()));
    QString text = QString::fromUtf8(bytes);
    // Invalid UTF-8 decodes to U+FFFD, which UTF-8 text of ours never holds.
    if (text.contains(QChar::ReplacementCharacter)) return std::string(stored);
    return platform::FromQString(text);
}

}  // namespace docserver

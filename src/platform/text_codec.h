#pragma once
// Core code holds texts as byte strings in the Windows-1252 code page, one
// byte per character. These two helpers convert at the widget edge.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

QString ToQString(std::string_view bytes);
// Characters outside the code page become '?'.
std::string FromQString(const QString& text);

// Whether the code page holds a character, so that FromQString keeps it.
bool InCodePage(QChar c);
// The characters of a text the code page cannot hold, in order; a pair of
// surrogates (an emoji) stays whole.
QString OutsideCodePage(const QString& text);

// A command-line argument, which comes in the locale's encoding, in the code
// page; nothing when it holds a character the code page cannot.
std::optional<std::string> ArgumentInCodePage(const char* argument);

}  // namespace platform

#include "viewer/startup_command_line.h"

#include <vector>

#include "foundation/fields.h"
#include "platform/wire_separators.h"

namespace modView {
namespace {

struct Token {
    std::string upper;
    std::string original;
};

// Splits at every single blank, so two blanks in a row give an empty token.
std::vector<Token> SplitAtBlanks(const std::string& upper, const std::string& original) {
    std::vector<Token> tokens;
    size_t start = 0;
    for (;;) {
        size_t blank = upper.find(' ', start);
        size_t end = blank == std::string::npos ? upper.size() : blank;
        tokens.push_back({upper.substr(start, end - start), original.substr(start, end - start)});
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return tokens;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string BarsToBlanks(std::string text) {
    for (char& c : text) {
        if (c == '|') c = ' ';
    }
    return text;
}

}  // namespace

const char* const kCommandLineHelp =
    "usage: talqvyn [-NUSER] [-PPASSWORD] [-RPROJECT] [-LFILE] [-KWORDS] [PROJECT:KEY | KEY]\n"
    "       talqvyn FILE.TLQ\n"
    "Starts the viewer; when one is already running, hands it the command line\n"
    "and ends. A switch's value follows its letter without a blank; letter case\n"
    "does not matter.\n"
    "  -NUSER       log in as USER (always in the network-drive mode)\n"
    "  -PPASSWORD   the password of that user\n"
    "  -RPROJECT    open PROJECT\n"
    "  -LFILE       open the key-list FILE (one image key a line) as the query\n"
    "               list, then delete it; kept when no project is open\n"
    "  -KWORDS      highlight WORDS on the pages (several joined by \"|\")\n"
    "  PROJECT:KEY  open PROJECT and show the page KEY\n"
    "  KEY          show the page KEY (asks for the login and the project first\n"
    "               when none is open)\n"
    "  FILE.TLQ     a parameter file instead: lines PROJECT=, USERID=, PASSWORD=,\n"
    "               KEYWORDS=, IP=, PORT=, DOMAIN=, DELETE=NO; every other line is\n"
    "               an image key (two or more open as the query list); the file is\n"
    "               deleted after reading unless it says DELETE=NO\n"
    "  -h, --help   print this and end\n";

bool AsksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help") return true;
    }
    return false;
}

std::string UpperCaseText(const std::string& text) {
    std::string out = text;
    for (char& ch : out) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            c = static_cast<unsigned char>(c - 0x20);
        } else if (c == 0x9A || c == 0x9C || c == 0x9E) {  // s, oe, z with marks
            c = static_cast<unsigned char>(c - 0x10);
        } else if (c == 0xFF) {  // y diaeresis
            c = 0x9F;
        }
        ch = static_cast<char>(c);
    }
    return out;
}

bool IsSendableKey(const std::string& key) {
    for (char ch : key) {
        switch (static_cast<unsigned char>(ch)) {
            case ',':
            case 0:
            case wire::kRecordSep:
            case wire::kSectionSep:
            case wire::kCommaSub:
            case wire::kListSep:
            case wire::kFieldSep:
                return false;
            default:
                break;
        }
    }
    return true;
}

std::string StripEnclosingQuotes(const std::string& text) {
    if (text.empty() || text.front() != '"') return text;
    std::string inner = text.substr(1);
    if (!inner.empty() && inner.back() == '"') inner.pop_back();
    return inner;
}

CommandLineValues ParseCommandLine(const std::string& commandLine, CommandLineSource source) {
    const bool startup = source == CommandLineSource::Startup;
    CommandLineValues values;
    std::string original = commandLine;
    if (startup) original = StripEnclosingQuotes(mVBUtil::TrimSpaces(original));
    const std::string upper = UpperCaseText(original);
    if (upper.empty()) return values;

    if (EndsWith(upper, ".TLQ") || (!startup && EndsWith(upper, ".TLQ\""))) {
        values.parameterFile = StripEnclosingQuotes(original);
        return values;
    }

    for (const Token& token : SplitAtBlanks(upper, original)) {
        if (token.upper.empty() || token.upper[0] != '-') {
            size_t colon = token.upper.find(':');
            if (colon != std::string::npos) {
                values.project = token.upper.substr(0, colon);
                values.key = token.upper.substr(colon + 1);
                if (!startup) values.projectGiven = true;
            } else {
                values.key = token.upper;
            }
            if (!startup) values.keyGiven = true;
            continue;
        }
        const char sw = token.upper.size() > 1 ? token.upper[1] : '\0';
        const std::string value = token.upper.size() > 2 ? token.upper.substr(2) : std::string();
        switch (sw) {
            case 'N':
                values.userId = value;
                values.userGiven = true;
                break;
            case 'P':
                values.password = value;
                break;
            case 'R':
                values.project = value;
                if (!startup) values.projectGiven = true;
                break;
            case 'L':
                values.listFile = token.original.size() > 2 ? token.original.substr(2) : "";
                values.listGiven = true;
                break;
            case 'K':
                if (startup) {
                    values.keywords = BarsToBlanks(value);
                    values.keywordsGiven = true;
                }
                break;
            default:
                break;
        }
    }
    if (startup) {
        // At start-up a key or project counts only when it is not empty.
        values.keyGiven = !values.key.empty();
        values.projectGiven = !values.project.empty();
    }
    values.keyRefused = values.keyGiven && !IsSendableKey(values.key);
    return values;
}

}  // namespace modView

#include "viewer/command_messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "foundation/fields.h"
#include "viewer/startup_command_line.h"

namespace modView {
namespace {

constexpr const char* kQueuedCommands[] = {"PROJECT",    "PROJVIEW", "VIEW",
                                           "LISTCREATE", "MULTVIEW", "CMDLINE",
                                           "PRINTPAGE",  "PRINTDOC", "KEYWORDS"};

struct PokeItem {
    const char* item;
    const char* prefix;
};
constexpr PokeItem kPokeItems[] = {
    {"View", "DDE,VIEW,"},
    {"Project", "DDE,PROJECT,"},
    {"ProjView", "DDE,PROJVIEW,"},
    {"KeyWords", "DDE,KEYWORDS,"},
    {"ListCreate", "DDE,LISTCREATE,"},
    {"PrintDoc", "DDE,PRINTDOC,"},
    {"PrintPage", "DDE,PRINTPAGE,"},
    {"CloseApp", nullptr},
};

bool SameName(const std::string& a, const char* b) {
    return UpperCaseText(a) == UpperCaseText(b);
}

std::string BarsToBlanks(std::string text) {
    for (char& c : text) {
        if (c == '|') c = ' ';
    }
    return text;
}

}  // namespace

bool MessageQueue::Append(const std::string& message, MessageAnswer answer) {
    if (Count() >= kSlots) return false;
    slots_.push_back({message, std::move(answer)});
    return true;
}

MessageAnswer MessageQueue::TakeFirstAnswer() {
    if (slots_.empty()) return {};
    return std::exchange(slots_.front().answer, MessageAnswer());
}

void MessageQueue::RemoveFirst() {
    if (!slots_.empty()) slots_.pop_front();
}

std::string MessageQueue::TakeFirst() {
    if (slots_.empty()) return {};
    std::string first = std::move(slots_.front().text);
    slots_.pop_front();
    return first;
}

std::vector<std::string> MessagesForExecute(const std::string& text) {
    const std::string upper = UpperCaseText(text);
    std::vector<std::string> messages;
    const size_t comma = upper.find(',');
    if (comma != std::string::npos) {
        const std::string command = upper.substr(0, comma);
        for (const char* known : kQueuedCommands) {
            if (command == known) messages.push_back("DDE," + text);
        }
        return messages;
    }
    if (upper.find("EXIT") != std::string::npos) messages.push_back("DDE,EXIT");
    if (upper.find("CLOSEAPP") != std::string::npos) messages.push_back("DDE,EXIT");
    return messages;
}

bool MessageForPoke(const std::string& item, const std::string& text, std::string& message) {
    message.clear();
    for (const PokeItem& known : kPokeItems) {
        if (!SameName(item, known.item)) continue;
        if (!text.empty()) message = known.prefix ? known.prefix + text : "DDE,EXIT";
        return true;
    }
    return false;
}

CommandMessage ParseCommandMessage(const std::string& message) {
    CommandMessage m;
    const std::string upper = UpperCaseText(message);
    m.command = mVBUtil::GetField(",", upper, 2);
    const std::string argument = mVBUtil::GetField(",", upper, 3);
    // Upper-casing keeps every character in its place.
    const std::string original = mVBUtil::GetField(",", message, 3);
    const std::string& c = m.command;

    if (c == "VIEW" || c == "PRINTPAGE" || c == "PRINTDOC") {
        m.key = argument;
        m.keyGiven = true;
        if (c == "PRINTPAGE") m.printFlag = 1;
        if (c == "PRINTDOC") m.printFlag = 2;
        if (m.key.empty()) m.errorCode = 1;
    } else if (c == "PROJVIEW") {
        m.project = mVBUtil::GetField(";", argument, 1);
        m.key = mVBUtil::GetField(";", argument, 2);
        m.projectGiven = m.keyGiven = true;
        if (m.project.empty() || m.key.empty()) m.errorCode = 2;
    } else if (c == "PROJECT") {
        m.project = argument;
        m.projectGiven = true;
        if (m.project.empty()) m.errorCode = 3;
    } else if (c == "MULTVIEW") {
        const int count = mVBUtil::CountFields(";", argument);
        for (int i = 1; i <= count; ++i) {
            const std::string key = mVBUtil::TrimSpaces(mVBUtil::GetField(";", argument, i));
            if (!key.empty() && IsSendableKey(key)) m.listKeys.push_back(key);
        }
    } else if (c == "LISTCREATE") {
        m.listFile = original;
        m.listGiven = true;
        if (m.listFile.empty()) m.errorCode = 6;
    } else if (c == "KEYWORDS") {
        m.keywords = BarsToBlanks(argument);
        m.keywordsGiven = true;
    } else if (c == "CMDLINE") {
        static_cast<CommandLineValues&>(m) = ParseCommandLine(original, CommandLineSource::Message);
    }
    m.keyRefused = m.keyGiven && !IsSendableKey(m.key);
    return m;
}

std::string MultViewFileName(int random, int hour, int minute, int second) {
    char name[32];
    std::snprintf(name, sizeof name, "MV%04d%02d%02d%02d.TMP", random % 10000, hour % 100,
                  minute % 100, second % 100);
    return name;
}

std::string CreateNewFile(const std::string& folder, const std::string& name,
                          const std::string& content) {
    if (folder.empty() || name.empty()) return {};
    const std::string base = folder.back() == '/' ? folder : folder + "/";
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            base + (attempt == 0 ? name : stem + "_" + std::to_string(attempt) + extension);
        const int fd =
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = write(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        const bool closed = close(fd) == 0;
        if (done != content.size() || !closed) {
            unlink(path.c_str());
            return {};
        }
        return path;
    }
    return {};
}

std::string KeyListText(const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) text += key + "\r\n";
    return text;
}

}  // namespace modView

#pragma once
// Command messages other programs send the viewer: the texts "source,
// command, argument" that the message window queues and the main window's
// interpreter carries out, and the queue both of them keep.
//
// Messages travel in the case they arrived in; the interpreter upper-cases
// them to read them, but takes a file path from the original text at the
// same place, so the path still names the file.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "viewer/startup_command_line.h"

namespace modView {

// How a sender that waits for a message to be carried out learns how it
// ended: "" when it did all it was sent for, else why not.
using MessageAnswer = std::function<void(const std::string& failure)>;

// Ten messages at most, oldest first, each with the answer its sender
// waits for, if it waits.
class MessageQueue {
  public:
    static constexpr int kSlots = 10;

    // False (and nothing kept) when the queue is full.
    bool Append(const std::string& message, MessageAnswer answer = {});
    bool Empty() const { return slots_.empty(); }
    int Count() const { return static_cast<int>(slots_.size()); }
    const std::string& First() const { return slots_.front().text; }
    // The first message's answer, which its taker then owes.
    MessageAnswer TakeFirstAnswer();
    void RemoveFirst();
    std::string TakeFirst();
    void Clear() { slots_.clear(); }

  private:
    struct Slot {
        std::string text;
        MessageAnswer answer;
    };
    std::deque<Slot> slots_;
};

// The messages an execute string gives, in order: "DDE," and the string for
// a known command before its first comma; without a comma, "DDE,EXIT" for
// EXIT and again for CLOSEAPP found anywhere in it; nothing otherwise.
std::vector<std::string> MessagesForExecute(const std::string& text);

// The message a poked item gives: false for an item the window does not
// have; message stays empty when the text is empty.
bool MessageForPoke(const std::string& item, const std::string& text, std::string& message);

// What a message gathers: the values a command line gives (CMDLINE gives
// exactly those), and more.
struct CommandMessage : CommandLineValues {
    std::string command;
    // MULTVIEW: the keys the interpreter writes to a key-list file.
    std::vector<std::string> listKeys;
    int printFlag = 0;  // 1 current page, 2 current document
    // 1 key, 2 project and key, 3 project, 6 list file missing.
    int errorCode = 0;
};

CommandMessage ParseCommandMessage(const std::string& message);

// "MV", four digits of random, the time "hhmmss", ".TMP".
std::string MultViewFileName(int random, int hour, int minute, int second);

// Creates a new file in folder (never one that exists) holding content; a
// name taken is tried again with a number before its extension. The path
// made, or "" when none could be made.
std::string CreateNewFile(const std::string& folder, const std::string& name,
                          const std::string& content);

// The lines of a key-list file for keys, each ended by CR LF.
std::string KeyListText(const std::vector<std::string>& keys);

}  // namespace modView

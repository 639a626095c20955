#pragma once
// The viewer's command line: the one it starts with and the one a second
// instance hands over in a CMDLINE message. Pure functions over the text; the
// caller logs in, selects, shows and opens what they find.
//
// Keys, projects, users and passwords come out upper-cased as the system
// compares them; file paths (a parameter file, a key-list file) keep the case
// of the original text at the same place, so they still name the file.

#include <string>
#include <vector>

namespace modView {

// What -h or --help prints: the command line the viewer takes.
extern const char* const kCommandLineHelp;

// True when one of the process's arguments is -h or --help: the viewer then
// only prints kCommandLineHelp, without a window and without handing the
// line to a running viewer.
bool AsksForHelp(const std::vector<std::string>& arguments);

// Upper-cases the code page's letters (a-z and the accented small letters);
// the length never changes.
std::string UpperCaseText(const std::string& text);

// False when a key holds one of the separators of the server's wire (",",
// characters 0, 24, 25, 29, 30, 31): such a key is never sent.
bool IsSendableKey(const std::string& key);

// A text that begins with a double quote loses it, and loses its last
// character only when that is a double quote too.
std::string StripEnclosingQuotes(const std::string& text);

enum class CommandLineSource {
    Startup,  // the process's own command line
    Message,  // the argument of a CMDLINE message
};

struct CommandLineValues {
    // Not empty: the line names a parameter file (original case), and no
    // tokens were read.
    std::string parameterFile;

    std::string key;
    bool keyGiven = false;
    // The key holds a wire separator: treat it as not found.
    bool keyRefused = false;
    std::string project;
    bool projectGiven = false;
    std::string userId;
    bool userGiven = false;
    std::string password;
    std::string listFile;  // original case
    bool listGiven = false;
    // -K, start-up only: the words with every "|" turned into a blank.
    std::string keywords;
    bool keywordsGiven = false;
};

CommandLineValues ParseCommandLine(const std::string& commandLine, CommandLineSource source);

}  // namespace modView

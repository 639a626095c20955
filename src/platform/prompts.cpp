#include "platform/prompts.h"

namespace platform {
namespace {

// Answers without a person when nothing else was installed (a tool run
// without a window): the first button of every box, Cancel for input.
class SilentPrompts : public Prompts {
public:
    int MsgBox(const std::string&, int style, const std::string&) override {
        return FirstButtonAnswer(style);
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override {
        return "";
    }
    void Beep() override {}
    int PickFromList(const std::string&, const std::vector<std::string>&, int) override {
        return 0;
    }
};

Prompts*& Installed() {
    static SilentPrompts silent;
    static Prompts* current = &silent;
    return current;
}

std::function<bool()>& QuietGate() {
    static std::function<bool()> gate;
    return gate;
}

}  // namespace

int FirstButtonAnswer(int style) {
    switch (style & kButtonMask) {
        case vbAbortRetryIgnore: return vbAbort;
        case vbYesNoCancel:
        case vbYesNo: return vbYes;
        case vbRetryCancel: return vbRetry;
        default: return vbOK;
    }
}

void SetQuietGate(std::function<bool()> quiet) {
    QuietGate() = std::move(quiet);
}
bool PromptsQuiet() {
    return QuietGate() && QuietGate()();
}

Prompts& CurrentPrompts() { return *Installed(); }
void InstallPrompts(Prompts& prompts) { Installed() = &prompts; }

ScopedPrompts::ScopedPrompts(Prompts& prompts) : previous_(Installed()) {
    Installed() = &prompts;
}
ScopedPrompts::~ScopedPrompts() { Installed() = previous_; }

}  // namespace platform

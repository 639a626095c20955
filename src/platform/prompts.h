#pragma once
// Every message box, input box, beep and modal pick of the program goes
// through this interface. The Qt implementation lives in platform/widgets;
// tests install a scripted one that answers from a queue.

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Buttons, icons and answers of a message box, with the numbers the rest of
// the program passes and compares.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

inline constexpr int kButtonMask = 0x0F;
inline constexpr int kIconMask = 0xF0;

// The answer of a box's first button (what a box answers without a person).
int FirstButtonAnswer(int style);

class Prompts {
public:
    virtual ~Prompts() = default;
    // Returns the button pressed (MsgBoxResult).
    virtual int MsgBox(const std::string& text, int style, const std::string& title) = 0;
    // Returns the entered text; the empty text after Cancel.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;
    // An input box whose text is not shown; by default an input box.
    virtual std::string PasswordBox(const std::string& prompt, const std::string& title) {
        return InputBox(prompt, title, "");
    }
    virtual void Beep() = 0;
    // A modal choice from a list: the 1-based index chosen, 0 after Cancel.
    virtual int PickFromList(const std::string& title, const std::vector<std::string>& items,
                             int preselected) = 0;
};

Prompts& CurrentPrompts();

class ScopedPrompts {
public:
    explicit ScopedPrompts(Prompts& prompts);
    ~ScopedPrompts();
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

private:
    Prompts* previous_;
};

// Installs the prompts of the running program (the Qt implementation).
void InstallPrompts(Prompts& prompts);

// While the gate answers true, a box that only informs is answered OK unseen
// and a beep stays silent: a window closing tells nothing of the work its
// close cut short. An empty gate removes it.
void SetQuietGate(std::function<bool()> quiet);
bool PromptsQuiet();

inline int MsgBox(const std::string& text, int style = vbOKOnly, const std::string& title = "") {
    if ((style & kButtonMask) == vbOKOnly && PromptsQuiet()) return vbOK;
    return CurrentPrompts().MsgBox(text, style, title);
}
inline std::string InputBox(const std::string& prompt, const std::string& title = "",
                            const std::string& defaultText = "") {
    return CurrentPrompts().InputBox(prompt, title, defaultText);
}
inline std::string PasswordBox(const std::string& prompt, const std::string& title = "") {
    return CurrentPrompts().PasswordBox(prompt, title);
}
inline void Beep() {
    if (!PromptsQuiet()) CurrentPrompts().Beep();
}
// How a check refuses a value and how a failed operation is reported: a
// beep, then the message with the critical icon under the title "Warning".
inline void BeepWarning(const std::string& text) {
    Beep();
    MsgBox(text, vbCritical, "Warning");
}

}  // namespace platform

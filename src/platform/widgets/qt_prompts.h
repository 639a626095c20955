#pragma once
// The prompts of the running program: Qt message boxes, input dialogs and the
// desktop's beep.

#include "platform/prompts.h"

namespace platform {

class QtPrompts : public Prompts {
public:
    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
    std::string PasswordBox(const std::string& prompt, const std::string& title) override;
    void Beep() override;
    int PickFromList(const std::string& title, const std::vector<std::string>& items,
                     int preselected) override;
};

}  // namespace platform

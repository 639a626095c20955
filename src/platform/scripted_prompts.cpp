#include "platform/scripted_prompts.h"

namespace platform {

int ScriptedPrompts::MsgBox(const std::string& text, int style, const std::string& title) {
    records_.push_back({PromptRecord::kMessage, text, style, title, "", {}});
    if (!answers_.empty()) {
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return FirstButtonAnswer(style);
}

std::string ScriptedPrompts::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
    records_.push_back({PromptRecord::kInput, prompt, 0, title, defaultText, {}});
    if (inputs_.empty()) return "";
    std::string answer = inputs_.front();
    inputs_.pop_front();
    return answer;
}

void ScriptedPrompts::Beep() { records_.push_back({PromptRecord::kBeep, "", 0, "", "", {}}); }

int ScriptedPrompts::PickFromList(const std::string& title, const std::vector<std::string>& items,
                                  int preselected) {
    records_.push_back({PromptRecord::kPick, title, preselected, "", "", items});
    if (picks_.empty()) return 0;
    int answer = picks_.front();
    picks_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedPrompts::Messages() const {
    std::vector<std::string> out;
    for (const auto& r : records_) {
        if (r.kind == PromptRecord::kMessage) out.push_back(r.text);
    }
    return out;
}

int ScriptedPrompts::Beeps() const {
    int n = 0;
    for (const auto& r : records_) n += r.kind == PromptRecord::kBeep;
    return n;
}

}  // namespace platform

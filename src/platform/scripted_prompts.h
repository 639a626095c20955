#pragma once
// Prompts for tests: records every prompt and answers from queues.

#include <deque>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace platform {

struct PromptRecord {
    enum Kind { kMessage, kInput, kBeep, kPick } kind = kMessage;
    std::string text;   // message, input prompt or pick title
    int style = 0;      // buttons and icon of a message box
    std::string title;
    std::string defaultText;
    std::vector<std::string> items;
};

class ScriptedPrompts : public Prompts {
public:
    // Queue answers; when a queue is empty a message box answers with its
    // first button, an input box with Cancel and a pick with Cancel.
    void QueueAnswer(int button) { answers_.push_back(button); }
    void QueueInput(std::string text) { inputs_.push_back(std::move(text)); }
    void QueuePick(int index) { picks_.push_back(index); }

    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
    void Beep() override;
    int PickFromList(const std::string& title, const std::vector<std::string>& items,
                     int preselected) override;

    const std::vector<PromptRecord>& Records() const { return records_; }
    std::vector<std::string> Messages() const;  // texts of the message boxes, in order
    int Beeps() const;
    void Clear() { records_.clear(); }

private:
    std::deque<int> answers_;
    std::deque<std::string> inputs_;
    std::deque<int> picks_;
    std::vector<PromptRecord> records_;
};

}  // namespace platform

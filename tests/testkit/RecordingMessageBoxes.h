#pragma once
#include "common/Messages.h"

#include <deque>
#include <string>
#include <vector>

namespace fb::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons;
    MessageIcon icon;
    std::string reason; // the details a failure carries
};

// Records every box shown; answers from a queue, else the default (Ok; No for Yes/No).
class RecordingMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& caption,
                       MessageButtons buttons = MessageButtons::Ok,
                       MessageIcon icon = MessageIcon::None) override
    {
        shown.push_back({text, caption, buttons, icon, {}});
        return answer(buttons);
    }
    MessageAnswer showWithReason(const std::string& text, const std::string& caption,
                                 const std::string& reason, MessageButtons buttons = MessageButtons::Ok,
                                 MessageIcon icon = MessageIcon::None) override
    {
        shown.push_back({text, caption, buttons, icon, reason});
        return answer(buttons);
    }
    MessageAnswer answer(MessageButtons buttons)
    {
        if (!answers.empty()) {
            MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : shown)
            out.push_back(m.text);
        return out;
    }
    std::vector<ShownMessage> shown;
    std::deque<MessageAnswer> answers;
};

} // namespace fb::test

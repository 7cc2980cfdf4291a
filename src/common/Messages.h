#pragma once
#include <string>

namespace fb {

enum class MessageButtons { Ok, YesNo };
// Exclamation is the warning icon under its other name.
enum class MessageIcon { None, Warning, Information, Question, Exclamation = Warning };
enum class MessageAnswer { Ok, Yes, No };

// Every user-facing report goes through this, so the window, headless runs and
// tests can each decide how a message box is shown and answered.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer show(const std::string& text, const std::string& caption,
                               MessageButtons buttons = MessageButtons::Ok,
                               MessageIcon icon = MessageIcon::None) = 0;
    // A failure with its reason (the system's error text or the PDF layer's):
    // the text stays as it is and the reason comes as its details. Boxes that
    // cannot show details write the reason on a line after the text.
    virtual MessageAnswer showWithReason(const std::string& text, const std::string& caption,
                                         const std::string& reason,
                                         MessageButtons buttons = MessageButtons::Ok,
                                         MessageIcon icon = MessageIcon::None)
    {
        return show(withReason(text, reason), caption, buttons, icon);
    }
    static std::string withReason(const std::string& text, const std::string& reason)
    {
        return reason.empty() ? text : text + "\n" + reason;
    }
};

// The caption of the program's own message boxes: the name the program was
// started under, without folder and extension ("mervo", or a link's own name).
std::string applicationName();

// Without a display nobody can answer: write the box to standard error, its
// control characters escaped, and take its default answer (OK; No for Yes/No).
class StderrMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& caption,
                       MessageButtons buttons = MessageButtons::Ok,
                       MessageIcon icon = MessageIcon::None) override;
};

} // namespace fb

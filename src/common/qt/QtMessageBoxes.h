#pragma once
#include "common/FileDialogs.h"
#include "common/Messages.h"

namespace fb {

// Message boxes and the clipboard of a session with a display.
class QtMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& caption,
                       MessageButtons buttons = MessageButtons::Ok,
                       MessageIcon icon = MessageIcon::None) override;
    // The reason goes into the box's details, under "Show Details...".
    MessageAnswer showWithReason(const std::string& text, const std::string& caption,
                                 const std::string& reason, MessageButtons buttons = MessageButtons::Ok,
                                 MessageIcon icon = MessageIcon::None) override;
};

class QtClipboard : public Clipboard {
public:
    bool setText(const std::string& text) override;
};

} // namespace fb

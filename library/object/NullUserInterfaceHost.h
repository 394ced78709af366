#pragma once

#include <sonarchive/UserInterfaceHost.h>

namespace sonarchive {

// Used when the client supplies no user interface: every question is answered
// No or Cancel, so nothing is ever destroyed, and the prompt goes to stderr.
class NullUserInterfaceHost final : public UserInterfaceHost {
public:
    MessageResult messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                             MessageIcon icon) override;
    std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) override;
};

}  // namespace sonarchive

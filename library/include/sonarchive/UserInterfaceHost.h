#pragma once

#include <cstdint>
#include <string>

namespace sonarchive {

enum class MessageButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageResult { OK, Cancel, Yes, No };

// What the library needs from its client's user interface: modal message boxes,
// letting the client's message loop run during long work, and a folder browser.
// The client supplies it; without one the library answers every question with
// No or Cancel (never destroying anything) and writes the prompt to stderr.
class UserInterfaceHost {
public:
    virtual ~UserInterfaceHost() = default;

    // An empty title means "no title of its own" (the host picks its default).
    virtual MessageResult messageBox(const std::u16string& prompt, const std::u16string& title,
                                     MessageButtons buttons, MessageIcon icon) = 0;

    // Lets pending user-interface events run; may be called often.
    virtual void pumpMessages() {}

    // A modal folder picker owned by the given window; empty when cancelled.
    virtual std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) = 0;
};

}  // namespace sonarchive

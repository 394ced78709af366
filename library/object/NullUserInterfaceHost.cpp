#include "NullUserInterfaceHost.h"

#include <sonarchive/ByteText.h>

#include <iostream>

namespace sonarchive {

MessageResult NullUserInterfaceHost::messageBox(const std::u16string& prompt, const std::u16string& title,
                                                MessageButtons buttons, MessageIcon)
{
    std::cerr << (title.empty() ? std::string() : toUtf8(title) + ": ") << toUtf8(prompt) << '\n';
    switch (buttons) {
    case MessageButtons::OK: return MessageResult::OK;
    case MessageButtons::YesNo: return MessageResult::No;
    case MessageButtons::OKCancel:
    case MessageButtons::YesNoCancel: return MessageResult::Cancel;
    }
    return MessageResult::Cancel;
}

std::u16string NullUserInterfaceHost::browseForFolder(std::int32_t, const std::u16string& title)
{
    std::cerr << toUtf8(title) << ": no folder browser available\n";
    return {};
}

}  // namespace sonarchive

#include "TerminalHost.h"

#include <sonarchive/ByteText.h>

#include <iostream>
#include <unistd.h>

namespace cli {

using sonarchive::MessageButtons;
using sonarchive::MessageResult;

TerminalHost::RepairMode TerminalHost::repairModeFrom(const std::string& option)
{
    if (option == "reset")
        return RepairMode::Reset;
    if (option == "rebuild")
        return RepairMode::Rebuild;
    return RepairMode::No;
}

TerminalHost::TerminalHost(RepairMode mode) : m_mode(mode), m_interactive(isatty(STDIN_FILENO) != 0) {}

MessageResult TerminalHost::scriptedAnswer(const std::u16string& prompt, MessageButtons buttons) const
{
    if (buttons == MessageButtons::OK)
        return MessageResult::OK;
    const bool offersRebuild = prompt.find(u"rebuild") != std::u16string::npos;
    const bool offersReset = !offersRebuild && prompt.find(u"reset") != std::u16string::npos;
    if ((offersRebuild && m_mode == RepairMode::Rebuild) || (offersReset && m_mode == RepairMode::Reset))
        return MessageResult::Yes;
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
}

MessageResult TerminalHost::messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                                       sonarchive::MessageIcon)
{
    std::string text = sonarchive::toUtf8(prompt);
    for (char& c : text)
        if (c == '\r')
            c = '\n';
    std::cerr << (title.empty() ? std::string() : "[" + sonarchive::toUtf8(title) + "] ") << text << '\n';
    if (!m_interactive || buttons == MessageButtons::OK) {
        const MessageResult answer = scriptedAnswer(prompt, buttons);
        if (buttons != MessageButtons::OK)
            std::cerr << "  -> " << (answer == MessageResult::Yes ? "yes" : "no") << " (--repair=" <<
                (m_mode == RepairMode::Rebuild ? "rebuild" : m_mode == RepairMode::Reset ? "reset" : "no") << ")\n";
        return answer;
    }
    for (;;) {
        std::cerr << (buttons == MessageButtons::YesNo ? "[y/n] " : "[y/n/c] ") << std::flush;
        std::string line;
        if (!std::getline(std::cin, line))
            return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
        if (line == "y" || line == "Y" || line == "yes")
            return MessageResult::Yes;
        if (line == "n" || line == "N" || line == "no")
            return MessageResult::No;
        if ((line == "c" || line == "cancel") && buttons != MessageButtons::YesNo)
            return MessageResult::Cancel;
    }
}

std::u16string TerminalHost::browseForFolder(std::int32_t, const std::u16string& title)
{
    if (!m_interactive)
        return {};
    std::cerr << sonarchive::toUtf8(title) << " (folder path, empty to cancel): " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line))
        return {};
    return sonarchive::fromUtf8(line);
}

}  // namespace cli

#include "ScriptedHost.h"

namespace testsupport {

using sonarchive::MessageButtons;
using sonarchive::MessageResult;

MessageResult ScriptedHost::messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                                       sonarchive::MessageIcon icon)
{
    prompts.push_back({prompt, title, buttons, icon});
    if (!m_answers.empty()) {
        const MessageResult result = m_answers.front();
        m_answers.pop_front();
        return result;
    }
    switch (buttons) {
    case MessageButtons::OK: return MessageResult::OK;
    case MessageButtons::YesNo: return MessageResult::No;
    default: return MessageResult::Cancel;
    }
}

std::u16string ScriptedHost::browseForFolder(std::int32_t, const std::u16string& title)
{
    browserTitles.push_back(title);
    if (m_folders.empty())
        return {};
    std::u16string folder = m_folders.front();
    m_folders.pop_front();
    return folder;
}

}  // namespace testsupport

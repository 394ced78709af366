#pragma once

#include <sonarchive/UserInterfaceHost.h>

#include <deque>
#include <string>
#include <vector>

namespace testsupport {

// A user interface that records every prompt and answers from a script.
// Unscripted questions get No/Cancel (OK for OK-only boxes); an unscripted
// browser is cancelled.
class ScriptedHost final : public sonarchive::UserInterfaceHost {
public:
    struct Prompt {
        std::u16string text;
        std::u16string title;
        sonarchive::MessageButtons buttons;
        sonarchive::MessageIcon icon;
    };

    void answer(sonarchive::MessageResult result) { m_answers.push_back(result); }
    void chooseFolder(std::u16string folder) { m_folders.push_back(std::move(folder)); }

    sonarchive::MessageResult messageBox(const std::u16string& prompt, const std::u16string& title,
                                         sonarchive::MessageButtons buttons, sonarchive::MessageIcon icon) override;
    void pumpMessages() override { ++pumps; }
    std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) override;

    std::vector<Prompt> prompts;
    std::vector<std::u16string> browserTitles;
    int pumps = 0;

private:
    std::deque<sonarchive::MessageResult> m_answers;
    std::deque<std::u16string> m_folders;
};

}  // namespace testsupport

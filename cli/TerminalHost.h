#pragma once

#include <sonarchive/UserInterfaceHost.h>

#include <string>

namespace cli {

// The library's questions on a terminal: asked when standard input is a
// terminal, otherwise answered from --repair (no, reset or rebuild).
class TerminalHost final : public sonarchive::UserInterfaceHost {
public:
    enum class RepairMode { No, Reset, Rebuild };
    static RepairMode repairModeFrom(const std::string& option);

    explicit TerminalHost(RepairMode mode);

    sonarchive::MessageResult messageBox(const std::u16string& prompt, const std::u16string& title,
                                         sonarchive::MessageButtons buttons, sonarchive::MessageIcon icon) override;
    std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) override;

private:
    sonarchive::MessageResult scriptedAnswer(const std::u16string& prompt, sonarchive::MessageButtons buttons) const;

    RepairMode m_mode;
    bool m_interactive;
};

}  // namespace cli

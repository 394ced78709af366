#pragma once

#include "Dialogs.h"

#include <sonarchive/UserInterfaceHost.h>

namespace tracklift {

// The library's user interface: its messages and folder browser go through the
// program's dialogs, and the event loop runs while it works.
class DialogsHost final : public sonarchive::UserInterfaceHost {
public:
    DialogsHost(Dialogs& dialogs, QWidget* owner) : m_dialogs(dialogs), m_owner(owner) {}

    MessageResult messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                             MessageIcon icon) override;
    void pumpMessages() override;
    std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) override;

private:
    Dialogs& m_dialogs;
    QWidget* m_owner;
};

}  // namespace tracklift

#pragma once

#include "Dialogs.h"

#include <sonarchive/UserInterfaceHost.h>

#include <functional>

namespace tracklift {

// The library's user interface: its messages and folder browser go through the
// program's dialogs, and the event loop runs while it works. Before a question
// whose Yes would change the device (resetting or rebuilding its database),
// the device's write notice, when there is one, says why that can't work.
class DialogsHost final : public sonarchive::UserInterfaceHost {
public:
    DialogsHost(Dialogs& dialogs, QWidget* owner) : m_dialogs(dialogs), m_owner(owner) {}

    MessageResult messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                             MessageIcon icon) override;
    void pumpMessages() override;
    std::u16string browseForFolder(std::int32_t ownerWindow, const std::u16string& title) override;

    // Hands out the write notice once; empty when the device can be changed.
    void setWriteNotice(std::function<QString()> takeNotice) { m_takeWriteNotice = std::move(takeNotice); }

private:
    Dialogs& m_dialogs;
    QWidget* m_owner;
    std::function<QString()> m_takeWriteNotice;
};

}  // namespace tracklift

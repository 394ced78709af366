#include "DialogsHost.h"

#include <QCoreApplication>

namespace tracklift {

MessageResult DialogsHost::messageBox(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                                      MessageIcon icon)
{
    const QString caption = title.empty() ? applicationTitle() : QString::fromStdU16String(title);
    // The library's questions about resetting or rebuilding a database carry this title.
    if (m_takeWriteNotice && buttons == MessageButtons::YesNo && title == u"iPod DB is Corrupted") {
        if (const QString notice = m_takeWriteNotice(); !notice.isEmpty())
            m_dialogs.messageBox(m_owner, notice, applicationTitle(), MessageButtons::OK, MessageIcon::Information);
    }
    return m_dialogs.messageBox(m_owner, QString::fromStdU16String(prompt), caption, buttons, icon);
}

void DialogsHost::pumpMessages()
{
    QCoreApplication::processEvents();
}

std::u16string DialogsHost::browseForFolder(std::int32_t, const std::u16string& title)
{
    return m_dialogs.browseForFolder(m_owner, QString::fromStdU16String(title)).toStdU16String();
}

}  // namespace tracklift

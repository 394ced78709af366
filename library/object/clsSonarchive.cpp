// The library object's life and the helpers its operations share.

#include "clsSonarchive.h"

#include "NullUserInterfaceHost.h"

#include <atomic>
#include <chrono>

namespace sonarchive {

namespace {
std::atomic<bool> g_cancelRequested{false};
}

bool cancelRequested() { return g_cancelRequested.load(); }
void clearCancelRequest() { g_cancelRequested.store(false); }

std::unique_ptr<_clsSonarchive> createSonarchive()
{
    return std::make_unique<clsSonarchive>();
}

clsSonarchive::clsSonarchive()
    : m_random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^ std::random_device{}())
{
}
clsSonarchive::~clsSonarchive() = default;

void clsSonarchive::initlaize(std::int32_t hParentWindow, const std::u16string& applicationName,
                              const std::u16string& drive)
{
    sApplicationName = applicationName;
    if (drive.empty())
        DetectiPodDrive(hParentWindow, applicationName);
    else
        siPodDrive = drive;
    m_paths.clear();
}

void clsSonarchive::CancelUpdate()
{
    g_cancelRequested.store(true);
}

void clsSonarchive::GetVideoInformation(const std::u16string& sFilePath)
{
    (void)sFilePath;  // kept for clients that still call it; it does nothing
}

UserInterfaceHost& clsSonarchive::host() const
{
    static NullUserInterfaceHost fallback;
    return m_host ? *m_host : fallback;
}

MessageResult clsSonarchive::message(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                                     MessageIcon icon) const
{
    return host().messageBox(prompt, title, buttons, icon);
}

std::filesystem::path clsSonarchive::devicePath(std::u16string_view relative) const
{
    return m_paths.resolve(std::filesystem::path(toUtf8(siPodDrive)), toUtf8(relative));
}

}  // namespace sonarchive

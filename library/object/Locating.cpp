// Finding the device: the disk inventory asked for the iPod, the user asked when
// the answer is not clear.

#include "clsSonarchive.h"

#include "DeviceDriveMatch.h"

#include <system_error>

namespace sonarchive {

namespace {

bool folderExists(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec);
}

}  // namespace

void clsSonarchive::DetectiPodDrive(std::int32_t hParentWindow, const std::u16string& applicationName)
{
    locateiPodDrive(hParentWindow, applicationName);
}

std::u16string clsSonarchive::GetiPodDriveString(std::int32_t hwndParent, const std::u16string& applicationName,
                                                 bool bConfirm)
{
    if (locateiPodDrive(hwndParent, applicationName) == DriveOutcome::Determined && bConfirm)
        message(u"iPod Drive is detect as " + siPodDrive
                    + u", If this is incorrect, so please Manually specify the iPod Drive",
                applicationName, MessageButtons::OK, MessageIcon::Information);
    return siPodDrive;
}

// Finds the device's drive, asking the user when the answer is not clear, and
// leaves the result in siPodDrive. Errors of the disk inventory reach the caller.
clsSonarchive::DriveOutcome clsSonarchive::locateiPodDrive(std::int32_t hParentWindow,
                                                            const std::u16string& applicationName)
{
    siPodDrive.clear();
    m_paths.clear();

    const DeviceDriveMatch match = matchDeviceDrive(*systemDiskInventory());
    siPodDrive = match.driveRoot;

    if (!siPodDrive.empty()) {
        if (folderExists(devicePath(u"iPod_Control/iTunes")))
            return DriveOutcome::Determined;
        const MessageResult answer = message(u"iPod drive was detected as " + siPodDrive
                                                 + u", but this drive does not contain iTunes Folder.\r"
                                                   u"Is the detection correct?",
                                             {}, MessageButtons::YesNo, MessageIcon::Question);
        if (answer == MessageResult::Yes)
            return DriveOutcome::ConfirmedByUser;
        siPodDrive = BrowseForDrive(hParentWindow, u"Please, Select the iPod Drive");
        return siPodDrive.empty() ? DriveOutcome::NotDetermined : DriveOutcome::Determined;
    }

    const std::u16string question = match.deviceFound
        ? applicationName + u" can't find your iPod drive. Do you want to locate it?\r\n"
                            u"Note:- 'Enable Disk Use' option in the iTunes may be unchecked."
        : applicationName + u" can't find your iPod device. Do you want to locate it?\r\n"
                            u"Note:- 'Enable Disk Use' option in the iTunes may be unchecked or the iPod is not connected";
    if (message(question, {}, MessageButtons::YesNo, MessageIcon::Question) != MessageResult::Yes)
        return DriveOutcome::NotDetermined;
    siPodDrive = BrowseForDrive(hParentWindow, u"Please, select the iPod Drive");
    return siPodDrive.empty() ? DriveOutcome::NotDetermined : DriveOutcome::Determined;
}

// The host's folder picker. The chosen folder is used as the drive root, so it
// always ends with "/"; empty when cancelled.
std::u16string clsSonarchive::BrowseForDrive(std::int32_t hParentWindow, const std::u16string& sTitle)
{
    std::u16string folder = host().browseForFolder(hParentWindow, sTitle);
    // The platform browser cut its path at the first NUL; a host may hand one back.
    if (const auto nul = folder.find(u'\0'); nul != std::u16string::npos)
        folder.resize(nul);
    if (!folder.empty() && folder.back() != u'/')
        folder += u'/';
    m_paths.clear();
    return folder;
}

}  // namespace sonarchive

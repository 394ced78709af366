#include "CliContext.h"

#include <DeviceChoice.h>
#include <UDisks2Lister.h>
#include <WriteAccess.h>

#include <iostream>
#include <optional>
#include <vector>

namespace cli {

using namespace sonarchive;

namespace {

// The drive root of the iPod the desktop's disk service knows, mounted first
// when it is not. Empty when the service can't be asked or knows no iPod: the
// library then looks itself, as it does without the service. `known` gets the
// devices the service listed, the one mounted here with its mount point.
std::string serviceDriveRoot(std::vector<devices::Device>& known)
{
    devices::UDisks2Lister lister;
    try {
        known = lister.devices();
        const std::optional<devices::Device> found = devices::chooseiPod(known, nullptr);
        if (!found)
            return {};
        if (found->isMounted())
            return found->driveRoot();
        devices::Device device = *found;
        device.mountPoint = lister.mount(device);
        for (devices::Device& listed : known)
            if (listed.blockObject == device.blockObject)
                listed.mountPoint = device.mountPoint;
        std::cerr << "sonarchive: mounted " << device.name << " (" << device.deviceFile << ") at " << device.mountPoint << '\n';
        return device.driveRoot();
    } catch (const devices::DeviceError& e) {
        if (e.kind() == devices::DeviceError::Kind::Unavailable)
            return {};
        throw;
    }
}

// Says why the device at `root` can't be changed, before anything tries to.
// `listed`: the disk service's devices when they were listed for this command already.
void explainReadOnly(const std::string& root, const std::optional<std::vector<devices::Device>>& listed)
{
    std::vector<devices::Device> known;
    if (listed) {
        known = *listed;
    } else {
        try {
            known = devices::UDisks2Lister().devices();
        } catch (const devices::DeviceError&) {
            // Without the disk service the mount table alone tells.
        }
    }
    const std::string reason = devices::readOnlyReason(root, known, devices::readMountTable());
    if (!reason.empty())
        std::cerr << "sonarchive: " << reason << '\n';
}

// openDevice(); `listed` gets the disk service's devices when it was asked for them.
DeviceSession openListing(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned,
                          std::optional<std::vector<devices::Device>>& listed)
{
    DeviceSession session;
    session.host = std::make_unique<TerminalHost>(TerminalHost::repairModeFrom(context.repair));
    session.library = createSonarchive();
    session.library->setUserInterfaceHost(session.host.get());
    session.library->setAllowUnsignedWrite(allowUnsigned);

    std::string root = deviceRoot;
    if (deviceRoot == "auto")
        root = serviceDriveRoot(listed.emplace());
    if (!root.empty() && root.back() != '/')
        root.push_back('/');
    session.library->initlaize(0, u"sonarchive", fromUtf8(root));
    if (session.library->iPodDriveLetter().empty()) {
        std::cerr << "sonarchive: no iPod drive found or chosen\n";
        session.library.reset();
    }
    return session;
}

DeviceSession loaded(DeviceSession session)
{
    if (session.library && !session.library->LoadiPodDB()) {
        // A disk that could not be read has said so in its one message, reason included.
        if (session.library->lastFailure().code != FailureCode::Unreadable)
            reportFailure(*session.library, "the iPod database of " + toUtf8(session.library->iPodDriveLetter()) + " could not be loaded");
        session.library.reset();
    }
    if (session.library)
        for (const std::string& warning : session.library->loadWarnings())
            std::cerr << "sonarchive: warning: " << warning << '\n';
    return session;
}

}  // namespace

DeviceSession openDevice(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned)
{
    std::optional<std::vector<devices::Device>> listed;
    return openListing(context, deviceRoot, allowUnsigned, listed);
}

DeviceSession loadDevice(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned)
{
    return loaded(openDevice(context, deviceRoot, allowUnsigned));
}

DeviceSession openDeviceToChange(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned)
{
    // The devices listed to find the drive tell whether it can be changed: the service is asked once.
    std::optional<std::vector<devices::Device>> listed;
    DeviceSession session = openListing(context, deviceRoot, allowUnsigned, listed);
    if (session.library)
        explainReadOnly(toUtf8(session.library->iPodDriveLetter()), listed);
    return session;
}

DeviceSession loadDeviceToChange(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned)
{
    return loaded(openDeviceToChange(context, deviceRoot, allowUnsigned));
}

void reportFailure(const _clsSonarchive& library, const std::string& what)
{
    const Failure failure = library.lastFailure();
    std::cerr << "sonarchive: " << what;
    if (failure)
        std::cerr << ": " << failure.message;
    if (failure.code == FailureCode::Signed)
        std::cerr << " (--allow-unsigned writes it all the same)";
    std::cerr << '\n';
}

int writeDatabase(DeviceSession& session)
{
    if (session.library->writeDatabase())
        return kExitOk;
    reportFailure(*session.library, "the database was not written");
    return kExitFailure;
}

std::shared_ptr<std::string> addDeviceRoot(CLI::App& command)
{
    auto root = std::make_shared<std::string>();
    addDeviceRoot(command, *root);
    return root;
}

void addDeviceRoot(CLI::App& command, std::string& root)
{
    command.add_option("DEVICE_ROOT", root, "The device's mount folder, or 'auto'")->required();
}

void onChosen(CLI::App& command, CliContext& context, std::function<int()> run)
{
    command.callback([&context, run = std::move(run)] { context.action = run; });
}

void addAllowUnsignedFlag(CLI::App& command, const std::shared_ptr<bool>& allow)
{
    command.add_flag("--allow-unsigned", *allow,
                     "Write a signed database although its signature can't be renewed (the iPod may then show no music "
                     "until its own software signs it again)");
}

int guarded(const std::function<int()>& action)
{
    try {
        return action();
    } catch (const std::exception& e) {
        std::cerr << "sonarchive: " << e.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace cli

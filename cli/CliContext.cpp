#include "CliContext.h"

#include <iostream>

namespace cli {

using namespace sonarchive;

DeviceSession openDevice(const CliContext& context, const std::string& deviceRoot)
{
    DeviceSession session;
    session.host = std::make_unique<TerminalHost>(TerminalHost::repairModeFrom(context.repair));
    session.library = createSonarchive();
    session.library->setUserInterfaceHost(session.host.get());

    std::string root = deviceRoot == "auto" ? std::string() : deviceRoot;
    if (!root.empty() && root.back() != '/')
        root.push_back('/');
    session.library->initlaize(0, u"sonarchive", fromUtf8(root));
    if (session.library->iPodDriveLetter().empty()) {
        std::cerr << "sonarchive: no iPod drive found or chosen\n";
        session.library.reset();
    }
    return session;
}

DeviceSession loadDevice(const CliContext& context, const std::string& deviceRoot)
{
    DeviceSession session = openDevice(context, deviceRoot);
    if (session.library && !session.library->LoadiPodDB()) {
        std::cerr << "sonarchive: the iPod database of " << toUtf8(session.library->iPodDriveLetter())
                  << " could not be loaded\n";
        session.library.reset();
    }
    return session;
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

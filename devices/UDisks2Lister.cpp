#include "UDisks2Lister.h"

#include "UDisks2Objects.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <chrono>

namespace devices {

using namespace std::chrono_literals;

namespace {

// Listing answers at once; mounting and unmounting may wait for the user to
// authenticate and for the disk to be flushed.
constexpr auto kListTimeout = 10s;
constexpr auto kActionTimeout = 120s;

using Options = std::map<std::string, sdbus::Variant>;

DeviceError serviceUnavailable(const sdbus::Error& e)
{
    return DeviceError(DeviceError::Kind::Unavailable, "the desktop's disk service (UDisks2) can't be asked: " + e.getMessage());
}

// The disk service's refusals, sorted by what the user can do about them.
DeviceError actionFailed(const sdbus::Error& e, const std::string& what)
{
    const std::string& name = e.getName();
    const std::string& message = e.getMessage();
    if (name == "org.freedesktop.UDisks2.Error.DeviceBusy" || message.find("target is busy") != std::string::npos)
        return DeviceError(DeviceError::Kind::Busy, what + ": " + message);
    if (name.starts_with("org.freedesktop.UDisks2.Error.NotAuthorized"))
        return DeviceError(DeviceError::Kind::NotAuthorized, what + ": not allowed (" + message + ")");
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner")
        return serviceUnavailable(e);
    return DeviceError(DeviceError::Kind::Failed, what + ": " + (message.empty() ? name : message));
}

}  // namespace

// ---- Watching ------------------------------------------------------------------

// A connection of its own, with its event loop on its own thread: the object
// manager's signals and the file systems' property changes keep a table of the
// service's objects, and each change of the iPods found in it is told.
struct UDisks2Lister::Watch {
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> manager;
    sdbus::Slot objectSignals;
    sdbus::Slot propertySignals;
    DeviceListener* listener = nullptr;
    ObjectTable table;
    std::vector<Device> reported;

    explicit Watch(DeviceListener* l) : listener(l) {}
    ~Watch()
    {
        if (connection)
            connection->leaveEventLoop();
        propertySignals.reset();
        objectSignals.reset();
        manager.reset();
    }

    void start();
    void onObjectSignal(sdbus::Message& message);
    void onPropertiesChanged(sdbus::Message& message);
    void tell();
};

void UDisks2Lister::Watch::start()
{
    connection = sdbus::createSystemBusConnection();
    const std::string sender = std::string("sender='") + udisks2::kService + "'";
    objectSignals = connection->addMatch("type='signal'," + sender + ",interface='" + udisks2::kObjectManager + "',path='"
                                             + udisks2::kManagerObject + "'",
                                         [this](sdbus::Message& m) { onObjectSignal(m); });
    propertySignals = connection->addMatch("type='signal'," + sender + ",interface='" + udisks2::kProperties
                                               + "',member='PropertiesChanged',path_namespace='" + udisks2::kManagerObject + "'",
                                           [this](sdbus::Message& m) { onPropertiesChanged(m); });
    // Signals that come before the answer are older than the state it gives.
    manager = sdbus::createProxy(*connection, udisks2::kService, udisks2::kManagerObject);
    manager->callMethodAsync("GetManagedObjects")
        .onInterface(udisks2::kObjectManager)
        .uponReplyInvoke([this](const sdbus::Error* error, const ManagedObjects& objects) {
            if (error)
                return;  // no disk service: nothing is ever told
            table.replace(objects);
            tell();
        });
    connection->enterEventLoopAsync();
}

void UDisks2Lister::Watch::onObjectSignal(sdbus::Message& message)
{
    try {
        sdbus::ObjectPath path;
        if (message.getMemberName() == std::string("InterfacesAdded")) {
            InterfaceMap interfaces;
            message >> path >> interfaces;
            table.add(path, interfaces);
        } else if (message.getMemberName() == std::string("InterfacesRemoved")) {
            std::vector<std::string> interfaces;
            message >> path >> interfaces;
            table.remove(path, interfaces);
        }
    } catch (const sdbus::Error&) {
        return;  // a signal not shaped as the service sends it: nothing learned
    }
    tell();
}

void UDisks2Lister::Watch::onPropertiesChanged(sdbus::Message& message)
{
    try {
        std::string interface;
        PropertyMap changed;
        message >> interface >> changed;
        table.change(message.getPath(), interface, changed);
    } catch (const sdbus::Error&) {
        return;
    }
    tell();
}

// Compares the iPods in the table with those told before, by their block device.
void UDisks2Lister::Watch::tell()
{
    std::vector<Device> now = iPodsOf(table);
    const auto find = [](const std::vector<Device>& list, const std::string& block) {
        return std::find_if(list.begin(), list.end(), [&](const Device& d) { return d.blockObject == block; });
    };
    for (const Device& old : reported)
        if (find(now, old.blockObject) == now.end())
            listener->deviceRemoved(old);
    for (const Device& device : now) {
        const auto old = find(reported, device.blockObject);
        if (old == reported.end())
            listener->deviceAdded(device);
        else if (!(*old == device))
            listener->deviceChanged(device);
    }
    reported = std::move(now);
}

bool UDisks2Lister::watch(DeviceListener* listener)
{
    m_watch.reset();
    if (!listener)
        return true;
    auto watch = std::make_unique<Watch>(listener);
    try {
        watch->start();
    } catch (const sdbus::Error&) {
        return false;  // no system bus
    }
    m_watch = std::move(watch);
    return true;
}

// ---- Asking and acting -----------------------------------------------------------

UDisks2Lister::UDisks2Lister() = default;

UDisks2Lister::~UDisks2Lister() = default;

sdbus::IConnection& UDisks2Lister::calls()
{
    if (!m_calls) {
        try {
            m_calls = sdbus::createSystemBusConnection();
        } catch (const sdbus::Error& e) {
            throw DeviceError(DeviceError::Kind::Unavailable, "the system bus can't be reached: " + e.getMessage());
        }
    }
    return *m_calls;
}

ObjectTable UDisks2Lister::objects()
{
    sdbus::IConnection& connection = calls();
    ManagedObjects objects;
    try {
        sdbus::createProxy(connection, udisks2::kService, udisks2::kManagerObject)
            ->callMethod("GetManagedObjects")
            .onInterface(udisks2::kObjectManager)
            .withTimeout(kListTimeout)
            .storeResultsTo(objects);
    } catch (const sdbus::Error& e) {
        throw serviceUnavailable(e);
    }
    ObjectTable table;
    table.replace(objects);
    return table;
}

std::vector<Device> UDisks2Lister::devices()
{
    return iPodsOf(objects());
}

std::string UDisks2Lister::mount(const Device& device)
{
    std::string mountPoint;
    try {
        sdbus::createProxy(calls(), udisks2::kService, device.blockObject)
            ->callMethod("Mount")
            .onInterface(udisks2::kFilesystem)
            .withTimeout(kActionTimeout)
            .withArguments(Options{})
            .storeResultsTo(mountPoint);
    } catch (const sdbus::Error& e) {
        // Mounted meanwhile (by the desktop, say): where it is now is the answer.
        if (e.getName() == "org.freedesktop.UDisks2.Error.AlreadyMounted")
            for (const Device& now : devices())
                if (now.blockObject == device.blockObject && now.isMounted())
                    return now.mountPoint;
        throw actionFailed(e, "cannot mount " + device.deviceFile);
    }
    return mountPoint;
}

void UDisks2Lister::unmount(const std::string& blockObject, const std::string& mountPoint)
{
    try {
        sdbus::createProxy(calls(), udisks2::kService, blockObject)
            ->callMethod("Unmount")
            .onInterface(udisks2::kFilesystem)
            .withTimeout(kActionTimeout)
            .withArguments(Options{});
    } catch (const sdbus::Error& e) {
        throw actionFailed(e, "cannot unmount " + mountPoint);
    }
}

EjectResult UDisks2Lister::eject(const Device& device)
{
    const ObjectTable table = objects();
    const auto drive = table.drives().find(device.driveObject);
    if (drive == table.drives().end())
        throw DeviceError(DeviceError::Kind::Failed, device.name + " is no longer connected");
    EjectResult result;
    for (const auto& [path, block] : table.blocks()) {
        if (block.drive != device.driveObject || !block.hasFilesystem || block.mountPoints.empty())
            continue;
        unmount(path, block.mountPoints.front());
        result.unmounted.push_back(block.mountPoints.front());
    }
    const char* action = drive->second.canPowerOff ? "PowerOff" : drive->second.ejectable ? "Eject" : nullptr;
    if (!action)
        return result;
    try {
        sdbus::createProxy(calls(), udisks2::kService, device.driveObject)
            ->callMethod(action)
            .onInterface(udisks2::kDrive)
            .withTimeout(kActionTimeout)
            .withArguments(Options{});
    } catch (const sdbus::Error& e) {
        throw actionFailed(e, std::string("its file systems are unmounted, but it cannot be ") +
                                  (drive->second.canPowerOff ? "powered off" : "ejected"));
    }
    result.poweredOff = drive->second.canPowerOff;
    return result;
}

}  // namespace devices

'''A stand-in for the desktop's disk service, org.freedesktop.UDisks2.

Loaded as a python-dbusmock template on a private system bus. It serves the
objects the service would show for a few disks, each made of a drive and its
block devices:

  ipod      an iPod (Apple iPod on USB) with an unmounted FAT file system
  stick     a USB stick with a mounted FAT file system
  mac-ipod  an iPod formatted for Mac (HFS+), mounted, that cannot power off

Parameters (JSON): "mount_root", the folder below which file systems are
mounted (<mount_root>/<label>); "journal", a file that gets one line per
call of Mount, Unmount, PowerOff and Eject ("Mount <object path>");
"plugged", the disks present at the start.

Tests drive it through org.freedesktop.DBus.Mock on /org/freedesktop/UDisks2:
Plug(name) and Unplug(name) add and remove a disk's objects with the object
manager's signals, SetBusy(name, busy) makes unmounting fail as a file system
in use does, SetSlow(name, seconds) makes its Mount, Unmount and PowerOff
take that long, as a slow disk does, and MountQuietly(name) mounts as the desktop's automounter would.
'''

import os
import time

import dbus

from dbusmock import MOCK_IFACE, OBJECT_MANAGER_IFACE, mockobject

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
MAIN_IFACE = 'org.freedesktop.UDisks2.Manager'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

DRIVE_IFACE = 'org.freedesktop.UDisks2.Drive'
BLOCK_IFACE = 'org.freedesktop.UDisks2.Block'
FILESYSTEM_IFACE = 'org.freedesktop.UDisks2.Filesystem'
PARTITION_TABLE_IFACE = 'org.freedesktop.UDisks2.PartitionTable'
ERROR = 'org.freedesktop.UDisks2.Error.'

DISKS = {
    'ipod': {
        'drive': 'Apple_iPod_000A27001B3C9D2F', 'vendor': 'Apple', 'model': 'iPod',
        'serial': '000A27001B3C9D2F', 'size': 8 * 1024**3, 'power_off': True,
        'disk': 'sdb', 'partition': 'sdb2', 'type': 'vfat', 'label': 'IPOD', 'mounted': False,
    },
    'stick': {
        'drive': 'SanDisk_Cruzer_Blade_4C530001', 'vendor': 'SanDisk', 'model': 'Cruzer Blade',
        'serial': '4C530001', 'size': 16 * 1024**3, 'power_off': True,
        'disk': 'sdc', 'partition': 'sdc1', 'type': 'vfat', 'label': 'STICK', 'mounted': True,
    },
    'mac-ipod': {
        'drive': 'Apple_iPod_000A2700ABCDEF01', 'vendor': 'Apple', 'model': 'iPod',
        'serial': '000A2700ABCDEF01', 'size': 30 * 1024**3, 'power_off': False,
        'disk': 'sdd', 'partition': 'sdd2', 'type': 'hfsplus', 'label': 'MAC IPOD', 'mounted': True,
    },
}

settings = {'mount_root': '/tmp', 'journal': None}
busy = set()
slow = {}


def journal(line):
    if settings['journal']:
        with open(settings['journal'], 'a', encoding='utf-8') as out:
            out.write(line + '\n')


def byte_string(text):
    return dbus.Array([dbus.Byte(b) for b in text.encode() + b'\0'], signature='y')


def mount_points(folder):
    return dbus.Array([byte_string(folder)] if folder else [], signature='ay')


def mount_folder(disk):
    return os.path.join(settings['mount_root'], disk['label'])


def drive_path(disk):
    return MAIN_OBJ + '/drives/' + disk['drive']


def block_path(name):
    return MAIN_OBJ + '/block_devices/' + name


def disk_named(name):
    if name not in DISKS:
        raise dbus.exceptions.DBusException('no disk ' + name, name='org.freedesktop.DBus.Mock.NameError')
    return name, DISKS[name]


def disk_of_block(path):
    for name, disk in DISKS.items():
        if block_path(disk['partition']) == path:
            return name, disk
    raise dbus.exceptions.DBusException('no block ' + path, name=ERROR + 'Failed')


def mounted_at(block):
    points = block.props[FILESYSTEM_IFACE]['MountPoints']
    return bytes(points[0][:-1]).decode() if points else ''


def fs_mount(block, options):
    name, disk = disk_of_block(block.path)
    journal('Mount ' + block.path)
    time.sleep(slow.get(name, 0))
    if mounted_at(block):
        raise dbus.exceptions.DBusException(
            f'Device /dev/{disk["partition"]} is already mounted at `{mounted_at(block)}\'.', name=ERROR + 'AlreadyMounted')
    folder = mount_folder(disk)
    os.makedirs(folder, exist_ok=True)
    block.UpdateProperties(FILESYSTEM_IFACE, {'MountPoints': mount_points(folder)})
    return folder


def fs_unmount(block, options):
    name, disk = disk_of_block(block.path)
    journal('Unmount ' + block.path)
    time.sleep(slow.get(name, 0))
    if name in busy:
        raise dbus.exceptions.DBusException(
            f'Error unmounting /dev/{disk["partition"]}: target is busy', name=ERROR + 'DeviceBusy')
    if not mounted_at(block):
        raise dbus.exceptions.DBusException(f'Device `/dev/{disk["partition"]}\' is not mounted', name=ERROR + 'NotMounted')
    block.UpdateProperties(FILESYSTEM_IFACE, {'MountPoints': mount_points('')})


def drive_power_off(drive, options):
    journal('PowerOff ' + drive.path)
    for name, disk in DISKS.items():
        if drive_path(disk) == drive.path:
            time.sleep(slow.get(name, 0))
            unplug(mockobject.objects[MAIN_OBJ], name)  # the disk goes away once it is off


def drive_eject(drive, options):
    journal('Eject ' + drive.path)


def add(manager, path, interfaces, methods):
    '''Adds an object with its interfaces and tells the object manager's listeners.'''
    first, *others = interfaces
    manager.AddObject(path, first, interfaces[first], [])
    obj = mockobject.objects[path]
    for interface in others:
        obj.AddProperties(interface, interfaces[interface])
    for interface, name, code in methods:
        obj.AddMethod(interface, name, 'a{sv}', 's' if name == 'Mount' else '', code)
    manager.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                       [dbus.ObjectPath(path), dbus.Dictionary(obj.props, signature='sa{sv}')])


def plug(manager, name):
    disk = DISKS[name]
    drive = drive_path(disk)
    add(manager, drive, {DRIVE_IFACE: {
        'Vendor': disk['vendor'], 'Model': disk['model'], 'Serial': disk['serial'],
        'Id': f'{disk["vendor"]}-{disk["model"]}-{disk["serial"]}'.replace(' ', '-'),
        'ConnectionBus': 'usb', 'Size': dbus.UInt64(disk['size']), 'Removable': True, 'Ejectable': True,
        'CanPowerOff': disk['power_off'],
    }}, [(DRIVE_IFACE, 'PowerOff', drive_power_off), (DRIVE_IFACE, 'Eject', drive_eject)])

    def block(device, usage, fs_type, label):
        return {'Device': byte_string('/dev/' + device), 'PreferredDevice': byte_string('/dev/' + device),
                'Drive': dbus.ObjectPath(drive), 'Size': dbus.UInt64(disk['size']), 'ReadOnly': False,
                'IdUsage': usage, 'IdType': fs_type, 'IdLabel': label, 'HintIgnore': False}

    add(manager, block_path(disk['disk']), {
        BLOCK_IFACE: block(disk['disk'], '', '', ''),
        PARTITION_TABLE_IFACE: {'Type': 'dos'},
    }, [])
    folder = mount_folder(disk) if disk['mounted'] else ''
    if folder:
        os.makedirs(folder, exist_ok=True)
    add(manager, block_path(disk['partition']), {
        BLOCK_IFACE: block(disk['partition'], 'filesystem', disk['type'], disk['label']),
        FILESYSTEM_IFACE: {'MountPoints': mount_points(folder)},
    }, [(FILESYSTEM_IFACE, 'Mount', fs_mount), (FILESYSTEM_IFACE, 'Unmount', fs_unmount)])


def unplug(manager, name):
    disk = DISKS[name]
    for path in (block_path(disk['partition']), block_path(disk['disk']), drive_path(disk)):
        if path not in mockobject.objects:
            continue
        interfaces = list(mockobject.objects[path].props.keys())
        manager.RemoveObject(path)
        manager.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                           [dbus.ObjectPath(path), dbus.Array(interfaces, signature='s')])


def load(mock, parameters):
    settings['mount_root'] = parameters.get('mount_root', settings['mount_root'])
    settings['journal'] = parameters.get('journal')
    for name in parameters.get('plugged', []):
        plug(mock, name)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def Plug(self, name):
    plug(self, disk_named(name)[0])


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def Unplug(self, name):
    unplug(self, disk_named(name)[0])


@dbus.service.method(MOCK_IFACE, in_signature='sb', out_signature='')
def SetBusy(self, name, is_busy):
    name, _ = disk_named(name)
    (busy.add if is_busy else busy.discard)(name)


@dbus.service.method(MOCK_IFACE, in_signature='sd', out_signature='')
def SetSlow(self, name, seconds):
    name, _ = disk_named(name)
    slow[name] = seconds


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def MountQuietly(self, name):
    _, disk = disk_named(name)
    folder = mount_folder(disk)
    os.makedirs(folder, exist_ok=True)
    mockobject.objects[block_path(disk['partition'])].UpdateProperties(FILESYSTEM_IFACE, {'MountPoints': mount_points(folder)})

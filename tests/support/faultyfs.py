#!/usr/bin/python3
"""A failing disk for the tests: shows a device folder through FUSE and fails
on command, as a dying iPod does.

    faultyfs.py BACKING MOUNTPOINT RULES

BACKING is the folder shown, MOUNTPOINT where it is shown, RULES a JSON file
read again whenever it changes (write it whole and rename it into place). Its
keys, all optional:

    "files": {"iPod_Control/Music/F00/ABCD.mp3": RULE, ...}   paths below BACKING
        RULE: {"eio": "always"}     every read of the file fails with EIO
              {"eio": N}            its first N reads fail with EIO, later ones work
              {"eio_from": OFFSET}  reads reaching OFFSET or beyond fail (a bad sector)
              {"open_eio": true}    opening it fails with EIO
              {"stall": SECONDS}    each read waits that long first ("stall_reads": N: only the first N)
    "gone": "ENOTCONN"             every call fails with this error (the device was pulled)
    "vanish_after_bytes": N         once N bytes have been read, the device goes away:
    "vanish": "ENODEV"|"exit"       every call fails with that error, or the process ends
                                    so the kernel answers ENOTCONN for the dead mount

Counters ("the first N reads", the bytes read) start again when the rules change.
Files are read past the page cache, so each read reaches the rules.
"""

import errno
import json
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations


class Rules:
    def __init__(self, path):
        self.path = path
        self.stamp = None
        self.data = {}
        self.reads = {}
        self.bytes = 0
        self.lock = threading.Lock()

    def current(self):
        try:
            info = os.stat(self.path)
            stamp = (info.st_ino, info.st_mtime_ns, info.st_size)
        except OSError:
            stamp = None
        with self.lock:
            if stamp != self.stamp:
                self.stamp = stamp
                self.reads = {}
                self.bytes = 0
                try:
                    with open(self.path) as f:
                        self.data = json.load(f)
                except (OSError, ValueError):
                    self.data = {}
            return self.data


def error_number(name):
    return getattr(errno, name, errno.EIO)


class FaultyFS(Operations):
    use_ns = True

    def __init__(self, backing, rules):
        self.backing = backing
        self.rules = rules

    # Every call first asks whether the device is still there.
    def __call__(self, op, path, *args):
        gone = self.rules.current().get("gone")
        if gone and op not in ("init", "destroy"):
            raise FuseOSError(error_number(gone))
        return super().__call__(op, path, *args)

    def real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def rule(self, path):
        return self.rules.current().get("files", {}).get(path.lstrip("/"), {})

    def getattr(self, path, fh=None):
        info = os.lstat(self.real(path))
        attributes = {key: getattr(info, key) for key in ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size")}
        for key in ("st_atime", "st_mtime", "st_ctime"):
            attributes[key] = getattr(info, key + "_ns")
        return attributes

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def statfs(self, path):
        info = os.statvfs(self.real(path))
        return {key: getattr(info, key) for key in ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
                                                     "f_files", "f_flag", "f_frsize", "f_namemax")}

    def open(self, path, flags):
        if self.rule(path).get("open_eio"):
            raise FuseOSError(errno.EIO)
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, size, offset, fh):
        rule = self.rule(path)
        key = path.lstrip("/")
        with self.rules.lock:
            count = self.rules.reads.get(key, 0)
            self.rules.reads[key] = count + 1
        stall = rule.get("stall")
        if stall and count < rule.get("stall_reads", 1 << 62):
            time.sleep(float(stall))
        eio = rule.get("eio")
        if eio == "always" or (isinstance(eio, int) and count < eio):
            raise FuseOSError(errno.EIO)
        if "eio_from" in rule and offset + size > int(rule["eio_from"]):
            raise FuseOSError(errno.EIO)
        data = os.pread(fh, size, offset)
        self.count_bytes(len(data))
        return data

    def count_bytes(self, n):
        data = self.rules.current()
        limit = data.get("vanish_after_bytes")
        with self.rules.lock:
            self.rules.bytes += n
            reached = limit is not None and self.rules.bytes >= int(limit)
        if not reached:
            return
        how = data.get("vanish", "ENODEV")
        if how == "exit":
            os._exit(0)
        data["gone"] = how

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), ns=times)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    backing, mountpoint, rules = sys.argv[1:]
    FUSE(FaultyFS(os.path.abspath(backing), Rules(os.path.abspath(rules))), mountpoint, foreground=True,
         nothreads=False, direct_io=True, attr_timeout=0, entry_timeout=0, negative_timeout=0, fsname="faultyfs")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# SPDX-License-Identifier: LicenseRef-proprietary
# A slow disk that answers every request, each after DELAY seconds, as a stick in error
# recovery may: a FUSE file system mirroring the directory SOURCE, without caching, so that
# every lookup reaches it. Each request's arrival is a line on standard output, in
# milliseconds of the monotonic clock. Given OPERATIONs (FUSE's names: getattr, open,
# read...), only those are late. Runs in the foreground until unmounted.
#   slowfs.py SOURCE MOUNTPOINT DELAY [OPERATION...]
import os
import sys
import time

from fusepy import FUSE, Operations

STAT_FIELDS = ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime", "st_ctime")


class Slow(Operations):
    def __init__(self, source, delay, late):
        self.source = source
        self.delay = delay
        self.late = late

    def _answer_late(self, operation):
        print("%.3f" % (time.monotonic() * 1000), flush=True)
        if not self.late or operation in self.late:
            time.sleep(self.delay)

    def _at(self, path, operation):
        self._answer_late(operation)
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._at(path, "getattr"))
        return {field: getattr(st, field) for field in STAT_FIELDS}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._at(path, "readdir"))

    def open(self, path, flags):
        return os.open(self._at(path, "open"), flags)

    def read(self, path, size, offset, fh):
        self._answer_late("read")
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)

    def chmod(self, path, mode):
        os.chmod(self._at(path, "chmod"), mode)

    def unlink(self, path):
        os.unlink(self._at(path, "unlink"))

    def statfs(self, path):
        st = os.statvfs(self._at(path, "statfs"))
        return {field: getattr(st, field) for field in ("f_bsize", "f_blocks", "f_bfree", "f_bavail", "f_namemax")}


if __name__ == "__main__":
    source, mountpoint, delay = sys.argv[1], sys.argv[2], float(sys.argv[3])
    FUSE(Slow(source, delay, set(sys.argv[4:])), mountpoint, foreground=True, nothreads=True, attr_timeout=0, entry_timeout=0)

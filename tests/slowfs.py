#!/usr/bin/python3
# SPDX-License-Identifier: LicenseRef-proprietary
# A slow disk that answers every request, each after DELAY seconds, as a stick in error
# recovery may: a FUSE file system mirroring the directory SOURCE, without caching, so that
# every lookup reaches it; only a release, which no call waits for, is answered at once.
# Each request's arrival is a line on standard output, in milliseconds of the monotonic
# clock. Given OPERATIONs (FUSE's names: getattr, open, read...), only those are late;
# --read-only mounts it read-only. Runs in the foreground until unmounted.
#   slowfs.py MOUNTPOINT SOURCE DELAY [--read-only] [OPERATION...]
import os
import sys
import time

from fusepy import FUSE, Operations

STAT_FIELDS = ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime", "st_ctime")


class Slow(Operations):
    # What no caller waits for: a release comes after the close has returned.
    UNWAITED = {"init", "destroy", "release", "releasedir"}

    def __init__(self, source, delay, late):
        self.source = source
        self.delay = delay
        self.late = late

    def __call__(self, operation, *args):
        if operation not in self.UNWAITED:
            print("%.3f" % (time.monotonic() * 1000), flush=True)
            if not self.late or operation in self.late:
                time.sleep(self.delay)
        return super().__call__(operation, *args)

    def _at(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._at(path))
        return {field: getattr(st, field) for field in STAT_FIELDS}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._at(path))

    def open(self, path, flags):
        return os.open(self._at(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)

    def chmod(self, path, mode):
        os.chmod(self._at(path), mode)

    def unlink(self, path):
        os.unlink(self._at(path))

    def statfs(self, path):
        st = os.statvfs(self._at(path))
        return {field: getattr(st, field) for field in ("f_bsize", "f_blocks", "f_bfree", "f_bavail", "f_namemax")}


if __name__ == "__main__":
    mountpoint, source, delay, late = sys.argv[1], sys.argv[2], float(sys.argv[3]), set(sys.argv[4:])
    read_only = "--read-only" in late
    FUSE(Slow(source, delay, late - {"--read-only"}), mountpoint, foreground=True, nothreads=True, attr_timeout=0,
         entry_timeout=0, ro=read_only)

#!/usr/bin/python3
# SPDX-License-Identifier: LicenseRef-proprietary
# A hostile root whose listing never ends, as a FAT whose cluster chain loops: a FUSE file
# system listing the files e0, e1, e2... for ever, each as fast as it is asked for. Runs in
# the foreground until unmounted.
#   endlessfs.py MOUNTPOINT
import errno
import stat
import sys

from fusepy import FUSE, FuseOSError, Operations


class Endless(Operations):
    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        if path[1:2] == "e" and path[2:].isdigit():
            return {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": 0}
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, offset):
        # Each entry with the offset of the next, so that the kernel asks on where it stopped.
        while True:
            offset += 1
            yield "e%d" % offset, None, offset


if __name__ == "__main__":
    FUSE(Endless(), sys.argv[1], foreground=True, nothreads=True)

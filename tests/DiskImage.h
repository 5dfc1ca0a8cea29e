// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "TempVolume.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/mount.h>

// A disk image laid out from short descriptions and mounted in a temporary directory until
// it goes. Fat is mounted through fusefat; Ext2 by the kernel and Ntfs through ntfs-3g, each
// from a loop device, as a desktop mounts a stick. Entries as TempVolume lays them (Ext2 all
// of them); on Fat and Ntfs only files, Fat's read-only, hidden, system and archive as a worm
// leaves them. Ext2 also has "lying:NAME", a regular file whose directory entry calls it a
// directory.
class DiskImage
{
public:
    enum class Kind { Fat, Ext2, Ntfs };

    // Why such an image cannot be mounted here, or an empty string when it can.
    static QString unavailableReason(Kind kind)
    {
        if (::geteuid() != 0)
            return u"mounting a disk image needs root"_qs;
        if (kind != Kind::Ext2 && !QFile::exists(u"/dev/fuse"_qs))
            return u"no /dev/fuse on this machine"_qs;
        if (kind != Kind::Fat && !QFile::exists(u"/dev/loop-control"_qs))
            return u"no loop devices on this machine"_qs;
        if (kind == Kind::Fat)
            return missingTool({u"mkfs.vfat"_qs, u"mcopy"_qs, u"mattrib"_qs, u"fusefat"_qs});
        return missingTool(kind == Kind::Ext2 ? QStringList{u"mkfs.ext2"_qs, u"debugfs"_qs, u"mount"_qs}
                                              : QStringList{u"mkntfs"_qs, u"mount.ntfs-3g"_qs, u"mount"_qs});
    }

    // "TOOL is not installed" for the first of `tools` found neither on PATH nor in the
    // system directories; an empty string when all are there.
    static QString missingTool(const QStringList &tools)
    {
        for (const QString &tool : tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty()
                && QStandardPaths::findExecutable(tool, {u"/sbin"_qs, u"/usr/sbin"_qs}).isEmpty())
                return tool + u" is not installed"_qs;
        }
        return {};
    }

    static int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr,
                   int timeoutMs = 60'000)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"MTOOLS_SKIP_CHECK"_qs, u"1"_qs);
        env.insert(u"PATH"_qs, env.value(u"PATH"_qs) + u":/sbin:/usr/sbin"_qs);
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        if (!p.waitForFinished(timeoutMs))
            return -1;
        if (output)
            *output = p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    // The 4 MiB FAT image file `image`, holding each of `names` with kAutorunText, read-only,
    // hidden, system and archive.
    static bool makeFat(const QString &image, const QStringList &names)
    {
        const QString source = image + u".source"_qs;
        bool made = writeFile(source, kAutorunText) && run(u"mkfs.vfat"_qs, {u"-C"_qs, image, u"4096"_qs}) == 0;
        for (const QString &name : names) {
            made = made && run(u"mcopy"_qs, {u"-i"_qs, image, source, u"::"_qs + name}) == 0
                && run(u"mattrib"_qs, {u"-i"_qs, image, u"+r"_qs, u"+h"_qs, u"+s"_qs, u"+a"_qs, u"::"_qs + name}) == 0;
        }
        return made;
    }

    explicit DiskImage(Kind kind) : m_kind(kind), m_mountPoint(QFile::encodeName(m_dir.filePath(u"stick"_qs)))
    {
        ::mkdir(m_mountPoint.constData(), 0755);
    }
    DiskImage(const DiskImage &) = delete;
    DiskImage &operator=(const DiskImage &) = delete;
    ~DiskImage()
    {
        resume();
        // A call of a disk thread may still be on its way out of the volume: let it go lazily
        // (a loop device goes with its last user).
        if (!unmount())
            ::umount2(m_mountPoint.constData(), MNT_DETACH);
    }

    bool create(const QStringList &layout)
    {
        if (m_kind == Kind::Fat)
            return makeFat(image(), layout);
        return m_kind == Kind::Ext2 ? createExt2(layout) : createNtfs(layout);
    }

    // `options`: fusefat's ("ro", "rw+"), or mount's ("ro", "rw").
    bool mount(const QString &options = u"rw"_qs)
    {
        if (!m_mounted && m_kind == Kind::Fat)
            m_mounted = run(u"fusefat"_qs, {u"-o"_qs, options, image(), root()}) == 0;
        else if (!m_mounted)
            m_mounted = run(u"mount"_qs,
                            {u"-t"_qs, m_kind == Kind::Ext2 ? u"ext2"_qs : u"ntfs-3g"_qs, u"-o"_qs,
                             u"loop,"_qs + options, image(), root()})
                == 0;
        return m_mounted;
    }

    bool unmount()
    {
        if (m_mounted && ::umount2(m_mountPoint.constData(), 0) == 0)
            m_mounted = false;
        return !m_mounted;
    }

    QString root() const { return QFile::decodeName(m_mountPoint); }

    // The root's entries as the kernel lists them, less the file system's own.
    QStringList entries() const
    {
        QStringList names =
            QDir(root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeOne(u"lost+found"_qs);
        return names;
    }

    // Stops the FUSE daemon, as a disk that no longer answers; resume() lets it go on.
    bool stop()
    {
        // A request already on its way may still be answered: stopped means every thread is.
        const pid_t pid = daemonPid();
        return pid > 0 && ::kill(pid, SIGSTOP) == 0 && QTest::qWaitFor([pid] {
                   const QByteArray states = threadStates(QString::number(pid));
                   return states.count('T') == states.size();
               });
    }
    bool resume()
    {
        const pid_t pid = daemonPid();
        return pid > 0 && ::kill(pid, SIGCONT) == 0;
    }

    // The scheduler's state letter of each thread of process `pid` ("self": this one), such
    // as D for a wait no signal interrupts and T for stopped; "?" for one that is gone.
    static QByteArray threadStates(const QString &pid)
    {
        QByteArray states;
        const QString tasks = u"/proc/"_qs + pid + u"/task/"_qs;
        for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            // "pid (name) state ...": the name may hold anything, the state follows its last ')'.
            const QByteArray line = readFile(tasks + task + u"/stat"_qs);
            states += line.isEmpty() ? QByteArray("?") : line.mid(line.lastIndexOf(')') + 2, 1);
        }
        return states;
    }

    QString image() const { return m_dir.filePath(u"volume.img"_qs); }

private:
    // The FUSE daemon: the process whose command line names this image.
    [[nodiscard]] pid_t daemonPid() const
    {
        for (const QString &pid : QDir(u"/proc"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (m_mounted && m_kind == Kind::Fat && pid.toInt() > 0
                && readFile(u"/proc/"_qs + pid + u"/cmdline"_qs).split('\0').contains(QFile::encodeName(image())))
                return pid.toInt();
        }
        return 0;
    }

    bool createExt2(const QStringList &layout)
    {
        QStringList lying;
        for (const QString &entry : layout) {
            if (entry.startsWith(u"lying:"))
                lying.append(entry.section(u':', -1));
            m_source.lay(entry.startsWith(u"lying:") ? u"dir:"_qs + lying.last() : entry);
        }
        if (run(u"mkfs.ext2"_qs, {u"-q"_qs, u"-F"_qs, u"-d"_qs, m_source.root(), image(), u"4M"_qs}) != 0)
            return false;
        // The inode becomes an empty regular file; the entry in its directory still says directory.
        for (const QString &name : lying) {
            for (const QString &field : {u"mode 0100644"_qs, u"links_count 1"_qs, u"size 0"_qs}) {
                if (run(u"debugfs"_qs, {u"-w"_qs, u"-R"_qs, u"sif "_qs + name + u' ' + field, image()}) != 0)
                    return false;
            }
        }
        return true;
    }

    bool createNtfs(const QStringList &layout)
    {
        if (QFile f(image()); !f.open(QIODevice::WriteOnly) || !f.resize(8 << 20))
            return false;
        if (run(u"mkntfs"_qs, {u"-q"_qs, u"-F"_qs, u"-f"_qs, image()}) != 0 || !mount())
            return false;
        bool written = true;
        for (const QString &name : layout)
            written = written && writeFile(root() + u'/' + name, kAutorunText);
        return written;
    }

    QTemporaryDir m_dir;
    TempVolume m_source; // what an Ext2 image is made from
    Kind m_kind;
    QByteArray m_mountPoint;
    bool m_mounted = false;
};

// A FUSE file system written in Python (tests/SCRIPT MOUNTPOINT ARGUMENTS...), mounted in a
// temporary directory until it goes.
class PythonDisk
{
public:
    // Why one cannot be mounted here, or "".
    static QString unavailableReason()
    {
        return ::geteuid() == 0 && QFile::exists(u"/dev/fuse"_qs)
                && QFile::exists(u"/usr/lib/python3/dist-packages/fusepy.py"_qs)
            ? QString()
            : u"a FUSE disk in Python needs root, /dev/fuse and Debian's python3-fusepy"_qs;
    }

    PythonDisk(const QString &script, const QStringList &arguments)
    {
        m_process.start(u"/usr/bin/python3"_qs, QStringList{script, root()} + arguments);
        struct stat inside = {}, above = {};
        m_mounted = QTest::qWaitFor([&] {
            return ::stat(QFile::encodeName(root()).constData(), &inside) == 0
                && ::stat(QFile::encodeName(root() + u"/.."_qs).constData(), &above) == 0
                && inside.st_dev != above.st_dev;
        });
    }
    PythonDisk(const PythonDisk &) = delete;
    PythonDisk &operator=(const PythonDisk &) = delete;
    ~PythonDisk()
    {
        ::umount2(QFile::encodeName(root()).constData(), MNT_DETACH);
        m_process.kill();
        m_process.waitForFinished();
    }

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString root() const { return m_dir.path(); }
    // What the file system wrote since last asked.
    QByteArray output() { return m_process.readAllStandardOutput(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_mounted = false;
};

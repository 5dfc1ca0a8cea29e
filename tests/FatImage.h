// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

// A FAT image mounted through FUSE, unmounted when it goes. Needs root, /dev/fuse and
// Debian's dosfstools, mtools and fusefat.
class FatImage
{
public:
    FatImage() = default;
    FatImage(const FatImage &) = delete;
    FatImage &operator=(const FatImage &) = delete;

    // Why a FAT volume cannot be made here, or an empty string when it can.
    static QString unavailableReason()
    {
        if (::geteuid() != 0)
            return QStringLiteral("mounting through FUSE needs root");
        if (!QFile::exists(QStringLiteral("/dev/fuse")))
            return QStringLiteral("no /dev/fuse on this machine");
        return missingTool({u"mkfs.vfat"_qs, u"mcopy"_qs, u"mattrib"_qs, u"mdir"_qs, u"fusefat"_qs, u"fusermount"_qs});
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

    // `timeoutMs` -1: no time limit.
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

    // The image file `image`, of `kib` KiB, holding `name` with `content`, given the FAT
    // attributes in `attributes` ("+h +s +r").
    static bool makeImage(const QString &image, const QString &name, const QByteArray &content,
                          const QStringList &attributes, const QString &kib = u"4096"_qs)
    {
        const QString source = image + u".source"_qs;
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return false;
        f.close();
        return run(u"mkfs.vfat"_qs, {u"-C"_qs, image, kib}) == 0
            && run(u"mcopy"_qs, {u"-i"_qs, image, source, u"::"_qs + name}) == 0
            && run(u"mattrib"_qs, QStringList{u"-i"_qs, image} + attributes + QStringList{u"::"_qs + name}) == 0;
    }
    bool create(const QString &name, const QByteArray &content, const QStringList &attributes)
    {
        return makeImage(image(), name, content, attributes);
    }

    // Mounts with fusefat's options: "ro" or "rw+".
    bool mount(const QString &options)
    {
        QDir().mkpath(mountPoint());
        m_mounted = run(u"fusefat"_qs, {u"-o"_qs, options, image(), mountPoint()}) == 0;
        return m_mounted;
    }

    bool unmount()
    {
        if (m_mounted && run(u"fusermount"_qs, {u"-u"_qs, mountPoint()}) == 0)
            m_mounted = false;
        return !m_mounted;
    }

    ~FatImage()
    {
        resume();
        // A call of a disk thread may still be on its way out of the volume: let it go lazily.
        if (!unmount())
            run(u"fusermount"_qs, {u"-uz"_qs, mountPoint()});
    }

    QByteArray rootListing() const
    {
        QByteArray listing;
        run(u"mdir"_qs, {u"-a"_qs, u"-i"_qs, image(), u"::"_qs}, &listing);
        return listing;
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
            QFile stat(tasks + task + u"/stat"_qs);
            // "pid (name) state ...": the name may hold anything, the state follows its last ')'.
            const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            states += line.isEmpty() ? QByteArray("?") : line.mid(line.lastIndexOf(')') + 2, 1);
        }
        return states;
    }

    QString image() const { return m_dir.filePath(u"volume.img"_qs); }
    QString mountPoint() const { return m_dir.filePath(u"mnt"_qs); }

private:
    // The FUSE daemon: the process whose command line names this image.
    [[nodiscard]] pid_t daemonPid() const
    {
        const QStringList processes = QDir(u"/proc"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &pid : processes) {
            QFile cmdline(u"/proc/"_qs + pid + u"/cmdline"_qs);
            if (m_mounted && pid.toInt() > 0 && cmdline.open(QIODevice::ReadOnly)
                && cmdline.readAll().split('\0').contains(QFile::encodeName(image())))
                return pid.toInt();
        }
        return 0;
    }

    QTemporaryDir m_dir;
    bool m_mounted = false;
};

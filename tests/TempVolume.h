// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

inline const QByteArray kAutorunText = "[autorun]\r\nopen=evil.exe\r\n";
inline const QString kAutorunShown = QStringLiteral("[autorun]\nopen=evil.exe\n");

// Skips the test, saying why, unless `reason` is empty (an `else` after it binds as it reads).
#define SKIP_FOR(reason)                                                                                               \
    if (const QString skipReason = (reason); skipReason.isEmpty()) {                                                   \
    } else                                                                                                             \
        QSKIP(qPrintable(skipReason))

// A layout or a listing written "a b c", as its entries.
inline QStringList entriesOf(const char *spaced)
{
    return QString::fromUtf8(spaced).split(u' ', Qt::SkipEmptyParts);
}

// Writes `bytes` to a new file at `path`; whether all of them were written.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The whole of the file at `path`; nothing where it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The permissions of each of `names` in `root`, as Qt reads them.
inline QList<QFile::Permissions> permissionsOf(const QString &root, const QStringList &names)
{
    QList<QFile::Permissions> permissions;
    for (const QString &name : names)
        permissions.append(QFileInfo(root + u'/' + name).permissions());
    return permissions;
}

// A temporary directory standing for a volume's root, laid out from short descriptions:
// "NAME" a file holding kAutorunText, "ro:NAME" the same read-only (on Windows hidden and
// system too, as a worm leaves it), "dir:NAME" a
// directory, "fifo:NAME" a FIFO, "link:NAME" a link to outside() holding "outside",
// "hard:NAME" another name of the file autorun.inf laid before it.
class TempVolume
{
public:
    explicit TempVolume(const QStringList &entries = {})
    {
        writeFile(outside(), "outside");
        setReadOnly(outside(), true);
        for (const QString &entry : entries)
            lay(entry);
    }

    QString root() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString outside() const { return m_outside.filePath(QStringLiteral("target")); }

    void lay(const QString &entry) const
    {
        const QString kind = entry.section(u':', 0, 0);
        const QString name = entry.section(u':', -1);
        const QByteArray at = QFile::encodeName(path(name));
        QDir(root()).mkpath(QFileInfo(path(name)).path());
        if (kind == u"dir")
            QVERIFY(QDir(root()).mkdir(name));
#ifdef Q_OS_WIN
        else if (kind == u"fifo" || kind == u"link" || kind == u"hard")
            QFAIL("Windows has no FIFOs, and its links need a privilege");
#else
        else if (kind == u"fifo")
            QCOMPARE(::mkfifo(at.constData(), 0644), 0);
        else if (kind == u"link")
            QCOMPARE(::symlink(QFile::encodeName(outside()).constData(), at.constData()), 0);
        else if (kind == u"hard")
            QCOMPARE(::link(QFile::encodeName(path(u"autorun.inf"_qs)).constData(), at.constData()), 0);
#endif
        else {
            QVERIFY(writeFile(path(name), kAutorunText));
            QVERIFY(setReadOnly(path(name), kind == u"ro"));
        }
#ifdef Q_OS_WIN
        const DWORD worm = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        QVERIFY(kind != u"ro" || ::SetFileAttributesW(reinterpret_cast<const wchar_t *>(path(name).utf16()), worm));
#endif
    }
    QStringList entries() const
    {
        return QDir(root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Whether the file outside the volume is as it was made.
    bool outsideUntouched() const
    {
        return readFile(outside()) == "outside" && !(QFileInfo(outside()).permissions() & QFile::WriteOwner);
    }

private:
    // Mode 0444 or 0644; on Windows, without write, the read-only attribute.
    static bool setReadOnly(const QString &path, bool readOnly)
    {
        const QFile::Permissions read = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        return QFile::setPermissions(path, readOnly ? read : read | QFile::WriteOwner);
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_outside;
};

#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

// A temporary directory standing for a volume's root, with helpers to lay out entries.
class TempVolume
{
public:
    QString root() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const QByteArray &bytes, mode_t mode = 0644) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();
        QCOMPARE(::chmod(QFile::encodeName(path(name)).constData(), mode), 0);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString &name) const
    {
        struct stat st {};
        return ::lstat(QFile::encodeName(path(name)).constData(), &st) == 0;
    }
    mode_t mode(const QString &name) const
    {
        struct stat st {};
        ::lstat(QFile::encodeName(path(name)).constData(), &st);
        return st.st_mode & 07777;
    }

private:
    QTemporaryDir m_dir;
};

// Where one volume's entry points outside it: a second temporary directory.
inline QString outsideFile(const QTemporaryDir &outside, const QByteArray &content)
{
    const QString target = outside.filePath(QStringLiteral("target.txt"));
    QFile f(target);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return target;
}

// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/Controls.h"
#include "platform/files/TextFileLoader.h"
#include "scan/StagedScan.h"

#include <QSet>
#include <QStringList>
#include <QVariant>

#include <functional>

// The scan's and Delete's boxes, as FakeControls notes them: "title|text|style".
inline const QString kCleanBox = QStringLiteral("Information|This Disk was escaped from 'autorun' viruses.|64");
inline const QString kFoundBox = QStringLiteral("Information|An autorun file was founded, see its contents.|64");
inline const QString kNotCheckedBox = QStringLiteral("Information|This Disk could not be checked.|48");
inline const QString kNotDeletedBox = QStringLiteral("Delete|The autorun file could not be deleted.|48");
inline const QString kNotAnsweredBox =
    QStringLiteral("Delete|The disk did not answer; the autorun file may still be there.|48");

// The control operations, as a test names one to fail.
enum class Op { Caption, Timer, Check, Contents, Drive, Progress, Box, Load, RText };

// The window's controls without a window, with `drive` selected: records every call as
// "op:value", keeps what a user would see, and fails the operations in `failing`.
class FakeControls final : public platform::Controls
{
public:
    explicit FakeControls(QString drive = {}, platform::FileFunctions &files = platform::localFileFunctions())
        : drive(std::move(drive)), m_r(files)
    {
    }

    QStringList calls;
    QSet<Op> failing;
    QString drive;
    platform::CheckValue check = platform::CheckValue::Ticked;
    std::function<void()> whileBoxOpen;

    QString caption = QStringLiteral("Done");
    QString contents;
    int progress = 0;
    bool timerEnabled = false;
    QStringList boxes; // "title|text|style"

    platform::Status setStatusCaption(const QString &text) override { return set(Op::Caption, text, caption); }
    platform::Status setTimerEnabled(bool enabled) override { return set(Op::Timer, enabled, timerEnabled); }
    platform::Status setContentsText(const QString &text) override { return set(Op::Contents, text, contents); }
    platform::Status setProgressValue(int percent) override { return set(Op::Progress, percent, progress); }
    platform::Result<platform::CheckValue> checkValue() override { return get(Op::Check, check); }
    platform::Result<QString> driveSpecification() override { return get(Op::Drive, drive); }
    platform::Result<QString> rText() override { return get(Op::RText, m_r.text()); }
    platform::Status messageBox(const QString &text, platform::MessageStyle style, const QString &title) override
    {
        const QString box = title + u'|' + text + u'|' + QString::number(int(style));
        if (record(Op::Box, box))
            return platform::Status::ControlFailed;
        boxes.append(box);
        if (whileBoxOpen)
            whileBoxOpen();
        return platform::Status::Ok;
    }
    platform::Status loadIntoR(const QString &path) override
    {
        return record(Op::Load, path) ? platform::Status::ControlFailed : m_r.loadFile(path);
    }

private:
    // Notes the call; whether it is to fail.
    bool record(Op op, const QVariant &value)
    {
        static const QStringList names{u"caption"_qs,  u"timer"_qs, u"check"_qs, u"contents"_qs, u"drive"_qs,
                                       u"progress"_qs, u"box"_qs,   u"load"_qs,  u"rtext"_qs};
        calls.append(names[int(op)] + (value.isValid() ? u':' + value.toString() : QString()));
        return failing.contains(op);
    }
    template <typename T>
    platform::Status set(Op op, const T &value, T &state)
    {
        if (record(op, QVariant::fromValue(value)))
            return platform::Status::ControlFailed;
        state = value;
        return platform::Status::Ok;
    }
    template <typename T>
    platform::Result<T> get(Op op, const T &value)
    {
        if (record(op, {}))
            return platform::Result<T>::failure(platform::Status::ControlFailed);
        return {value};
    }

    platform::TextFileLoader m_r;
};

// The machine's file functions (or `files`), except that the volume may refuse every write,
// and the disk may change right after one chosen operation ("reset" or "lookup");
// remembers what the last reset answered.
class ScriptedFiles final : public platform::FileFunctions
{
public:
    explicit ScriptedFiles(platform::FileFunctions &files = platform::localFileFunctions()) : m_files(files) {}

    bool writeProtected = false;
    QString changeAfter;
    std::function<void()> change;
    platform::Status reset = platform::Status::NotFound;

    platform::Status setAttributes(const QString &path, platform::FileAttributes attributes) override
    {
        reset = writeProtected ? platform::Status::WriteProtected : m_files.setAttributes(path, attributes);
        changed(u"reset"_qs);
        return reset;
    }
    platform::Status deleteFile(const QString &path) override
    {
        if (!writeProtected)
            return m_files.deleteFile(path);
        return m_files.lookup(path).value.isEmpty() ? platform::Status::NotFound : platform::Status::WriteProtected;
    }
    platform::Result<QString> lookup(const QString &path) override
    {
        platform::Result<QString> found = m_files.lookup(path);
        changed(u"lookup"_qs);
        return found;
    }
    platform::Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        return m_files.readPrefix(path, limit);
    }

private:
    void changed(const QString &op)
    {
        if (op == changeAfter && change)
            std::exchange(change, nullptr)();
    }

    platform::FileFunctions &m_files;
};

// `ticks` ticks of the scan's timer, counted on from `tickCount`.
inline void runTicks(scan::TickCounter &tickCount, int ticks, platform::Controls &controls,
                     platform::FileFunctions &files = platform::localFileFunctions())
{
    for (int i = 0; i < ticks; ++i)
        scan::tickSequence(tickCount, controls, files);
}

// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/Controls.h"
#include "platform/files/TextFileLoader.h"

#include <QSet>
#include <QStringList>
#include <QVariant>

#include <functional>

// The window's controls without a window: records every call, keeps what a user would
// see, and fails the operations named in `failing` ("caption", "timer", "check",
// "contents", "drive", "progress", "box", "load", "rtext").
class FakeControls final : public platform::Controls
{
public:
    explicit FakeControls(platform::FileFunctions &files = platform::localFileFunctions()) : m_r(files) {}

    QStringList calls;
    QSet<QString> failing;
    QString drive;
    platform::CheckValue check = platform::CheckValue::Ticked;
    std::function<void()> whileBoxOpen;

    QString caption = QStringLiteral("Done");
    QString contents;
    int progress = 0;
    bool timerEnabled = false;
    QStringList boxes; // "title|text|style"

    platform::Status setStatusCaption(const QString &text) override { return act(u"caption"_qs, text, caption); }
    platform::Status setTimerEnabled(bool enabled) override { return act(u"timer"_qs, enabled, timerEnabled); }
    platform::Status setContentsText(const QString &text) override { return act(u"contents"_qs, text, contents); }
    platform::Status setProgressValue(int percent) override { return act(u"progress"_qs, percent, progress); }
    platform::Result<platform::CheckValue> checkValue() override { return get(u"check"_qs, check); }
    platform::Result<QString> driveSpecification() override { return get(u"drive"_qs, drive); }
    platform::Result<QString> rText() override { return get(u"rtext"_qs, m_r.text()); }
    platform::Status messageBox(const QString &text, platform::MessageStyle style, const QString &title) override
    {
        const QString box = title + u'|' + text + u'|' + QString::number(int(style));
        calls.append(u"box:"_qs + box);
        if (failing.contains(u"box"_qs))
            return platform::Status::ControlFailed;
        boxes.append(box);
        if (whileBoxOpen)
            whileBoxOpen();
        return platform::Status::Ok;
    }
    platform::Status loadIntoR(const QString &path) override
    {
        calls.append(u"load:"_qs + path);
        return failing.contains(u"load"_qs) ? platform::Status::ControlFailed : m_r.loadFile(path);
    }

private:
    template <typename T>
    platform::Status act(const QString &op, const T &value, T &state)
    {
        calls.append(op + u':' + QVariant::fromValue(value).toString());
        if (failing.contains(op))
            return platform::Status::ControlFailed;
        state = value;
        return platform::Status::Ok;
    }
    template <typename T>
    platform::Result<T> get(const QString &op, const T &value)
    {
        calls.append(op);
        if (failing.contains(op))
            return platform::Result<T>::failure(platform::Status::ControlFailed);
        return {value};
    }

    platform::TextFileLoader m_r;
};

// The machine's file functions, except that the volume may refuse every write, and the
// disk may change right after one chosen operation ("reset" or "lookup").
class ScriptedFiles final : public platform::FileFunctions
{
public:
    bool writeProtected = false;
    QString changeAfter;
    std::function<void()> change;

    platform::Status setAttributes(const QString &path, platform::FileAttributes attributes) override
    {
        const platform::Status s =
            writeProtected ? platform::Status::WriteProtected : local().setAttributes(path, attributes);
        changed(u"reset"_qs);
        return s;
    }
    platform::Status deleteFile(const QString &path) override
    {
        if (!writeProtected)
            return local().deleteFile(path);
        return local().lookup(path).value.isEmpty() ? platform::Status::NotFound : platform::Status::WriteProtected;
    }
    platform::Result<QString> lookup(const QString &path) override
    {
        const platform::Result<QString> found = local().lookup(path);
        changed(u"lookup"_qs);
        return found;
    }
    platform::Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        return local().readPrefix(path, limit);
    }

private:
    static platform::FileFunctions &local() { return platform::localFileFunctions(); }
    void changed(const QString &op)
    {
        if (op == changeAfter && change)
            std::exchange(change, nullptr)();
    }
};

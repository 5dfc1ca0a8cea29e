#pragma once

#include "platform/Controls.h"
#include "platform/RichTextBox.h"

#include <QSet>
#include <QStringList>

#include <functional>

// The window's controls without a window: records every call, keeps the state a user
// would see, and fails the operations named in `failing`.
class FakeControls final : public platform::Controls
{
public:
    explicit FakeControls(platform::FileFunctions &files = platform::localFileFunctions()) : m_r(files) {}

    QStringList calls;
    QSet<QString> failing; // "caption", "timer", "check", "contents", "drive", "progress", "box", "load", "rtext"
    QString drive;
    platform::CheckValue check = platform::CheckValue::Ticked;
    std::function<void()> whileBoxOpen;

    QString caption = QStringLiteral("Done");
    QString contents;
    int progress = 0;
    bool timerEnabled = false;
    QStringList boxes; // "title|text|style"

    platform::Status setStatusCaption(const QString &text) override
    {
        return act(QStringLiteral("caption"), text, [&] { caption = text; });
    }
    platform::Status setTimerEnabled(bool enabled) override
    {
        return act(QStringLiteral("timer"), QString::number(enabled), [&] { timerEnabled = enabled; });
    }
    platform::Result<platform::CheckValue> checkValue() override
    {
        if (act(QStringLiteral("check"), {}, [] {}) != platform::Status::Ok)
            return platform::Result<platform::CheckValue>::failure(platform::Status::ControlFailed);
        return {check};
    }
    platform::Status setContentsText(const QString &text) override
    {
        return act(QStringLiteral("contents"), text, [&] { contents = text; });
    }
    platform::Result<QString> driveSpecification() override
    {
        if (act(QStringLiteral("drive"), {}, [] {}) != platform::Status::Ok)
            return platform::Result<QString>::failure(platform::Status::ControlFailed);
        return {drive};
    }
    platform::Status setProgressValue(int percent) override
    {
        return act(QStringLiteral("progress"), QString::number(percent), [&] { progress = percent; });
    }
    platform::Status messageBox(const QString &text, platform::MessageStyle style, const QString &title) override
    {
        return act(QStringLiteral("box"), title + u'|' + text + u'|' + QString::number(int(style)), [&] {
            boxes.append(title + u'|' + text + u'|' + QString::number(int(style)));
            if (whileBoxOpen)
                whileBoxOpen();
        });
    }
    platform::Status loadIntoR(const QString &path) override
    {
        calls.append(QStringLiteral("load:") + path);
        return failing.contains(QStringLiteral("load")) ? platform::Status::ControlFailed : m_r.loadFile(path);
    }
    platform::Result<QString> rText() override
    {
        if (act(QStringLiteral("rtext"), {}, [] {}) != platform::Status::Ok)
            return platform::Result<QString>::failure(platform::Status::ControlFailed);
        return {m_r.text()};
    }

private:
    template <typename Effect>
    platform::Status act(const QString &op, const QString &argument, Effect effect)
    {
        calls.append(argument.isNull() ? op : op + u':' + argument);
        if (failing.contains(op))
            return platform::Status::ControlFailed;
        effect();
        return platform::Status::Ok;
    }

    platform::RichTextBox m_r;
};

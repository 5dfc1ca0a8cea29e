// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <functional>

// Watches for message boxes while the event loop runs: notes each one shown in `shown`,
// and once it is on screen (its window exposed) in `seen`, as "title|text|style" (the style
// as platform::MessageStyle numbers it); then, from the box's own loop, dismisses it by OK
// unless `onBox` does something else.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QMessageBox &)> onBox = clickOk) : m_onBox(std::move(onBox))
    {
        qApp->installEventFilter(this);
    }

    QStringList seen;
    QStringList shown; // also those gone before they were on screen

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (auto *box = qobject_cast<QMessageBox *>(watched); box && event->type() == QEvent::Show) {
            m_box = box;
            shown.append(described(*box));
        } else if (event->type() == QEvent::Expose && m_box && watched == m_box->windowHandle()
                   && m_box->windowHandle()->isExposed()) {
            QMessageBox *box = std::exchange(m_box, nullptr);
            seen.append(described(*box));
            QTimer::singleShot(0, box, [this, box] { m_onBox(*box); });
        }
        return false;
    }

private:
    static void clickOk(QMessageBox &box) { box.button(QMessageBox::Ok)->click(); }
    static QString described(const QMessageBox &box)
    {
        return box.windowTitle() + u'|' + box.text() + u'|'
            + (box.icon() == QMessageBox::Warning ? u"48"_qs : u"64"_qs);
    }

    std::function<void(QMessageBox &)> m_onBox;
    QMessageBox *m_box = nullptr;
};

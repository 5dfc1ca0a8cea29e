// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Watches for modal message boxes while the test's event loop runs: notes each one as
// "title|text|icon" and dismisses it (by OK, unless `onBox` does something else).
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QMessageBox &)> onBox = {}) : m_onBox(std::move(onBox))
    {
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            // A new box may reuse an old one's address; a mark on the object tells them apart.
            if (!box || box->property("seenByTest").toBool())
                return;
            box->setProperty("seenByTest", true);
            seen.append(box->windowTitle() + u'|' + box->text() + u'|' + QString::number(int(box->icon())));
            if (m_onBox)
                m_onBox(*box);
            else
                box->button(QMessageBox::Ok)->click();
        });
        m_poll.start();
    }

    QStringList seen;

private:
    QTimer m_poll;
    std::function<void(QMessageBox &)> m_onBox;
};

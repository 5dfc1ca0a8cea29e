// SPDX-License-Identifier: LicenseRef-proprietary
#include "MessageBox.h"

#include <QMessageBox>

namespace platform {

void showMessageBox(QWidget *parent, const QString &text, MessageStyle style, const QString &title)
{
    QMessageBox box(style == MessageStyle::Warning ? QMessageBox::Warning : QMessageBox::Information, title, text,
                    QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace platform

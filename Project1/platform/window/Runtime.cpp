// SPDX-License-Identifier: LicenseRef-proprietary
#include "Runtime.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace platform {

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen)
        window.setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(), screen->availableGeometry()));
}

void endProgram()
{
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

} // namespace platform

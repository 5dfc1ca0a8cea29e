// SPDX-License-Identifier: LicenseRef-proprietary
#include "Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"orvane"_qs);
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QApplication::setOrganizationName(u"Pellium Corporation"_qs);
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVANE_APP_ID));

    Form1 window;
    window.show();
    return app.exec();
}

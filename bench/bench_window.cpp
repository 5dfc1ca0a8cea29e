// SPDX-License-Identifier: LicenseRef-proprietary
// Shows Orvane's window, or as floors an empty window of the same size ("empty") or one
// holding a single label ("label", the least a window that shows text pays), offscreen.
// Prints "shown" once the window is on screen, then "rss KIB" once it is idle.
#include "Stats.h"

#include "Form1.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "orvane";
    std::unique_ptr<QWidget> window;
    if (mode == "orvane") {
        window = std::make_unique<Form1>();
    } else {
        window = std::make_unique<QWidget>();
        window->setFixedSize(566, 361);
        if (mode == "label")
            new QLabel(QStringLiteral("Done"), window.get());
    }
    window->show();
    QTimer poll;
    poll.callOnTimeout([&] {
        if (window->windowHandle() && window->windowHandle()->isExposed()) {
            poll.stop();
            std::printf("shown\n");
            std::fflush(stdout);
            QTimer::singleShot(500, &app, [] {
                std::printf("rss %ld\n", procStatusKiB("VmRSS:"));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
    });
    poll.start(0);
    return app.exec();
}

// SPDX-License-Identifier: LicenseRef-proprietary
#include "Form1.h"

#include "BuildConfig.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

// Where the window could show: a display named in the environment, or a platform chosen there.
// Windows always has its desktop and names none.
bool hasDisplay()
{
#ifdef Q_OS_WIN
    return true;
#else
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#endif
}

// The program takes no options: --help and --version print and end it with 0, anything
// else ends it with 1 and says why.
void readCommandLine(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Orvane.\nFinds, shows and deletes the autorun.inf file in the root of a removable disk."_qs);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty()) {
        std::fprintf(stderr, "orvane: unexpected argument '%s'\n", qPrintable(extra.first()));
        std::exit(EXIT_FAILURE);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(u"orvane"_qs);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QCoreApplication::setOrganizationName(u"Pellium Corporation"_qs);
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVANE_APP_ID));

    if (!hasDisplay()) {
        // QApplication would abort here; the command line is still answered.
        const QCoreApplication app(argc, argv);
        readCommandLine(app);
        std::fputs("orvane: no display to show the window on\n", stderr);
        return EXIT_FAILURE;
    }

    QApplication app(argc, argv); // takes Qt's own options (-platform, -style...) off the command line
    readCommandLine(app);
    Form1 window;
    window.show();
    return app.exec();
}

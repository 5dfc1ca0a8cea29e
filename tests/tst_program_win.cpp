// SPDX-License-Identifier: LicenseRef-proprietary
#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <windows.h>

namespace {

// The visible top-level window titled "Orvane" of process `process`.
HWND windowOf(qint64 process)
{
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, nullptr, L"Orvane")) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == DWORD(process) && ::IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

} // namespace

// orvane.exe itself, as a user starts it: its window shows, and its buttons end it.
class TstProgramWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAndEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Quit") << u"Quit"_qs;
        QTest::newRow("the title bar's close") << u"close"_qs;
    }

    void startsAndEnds()
    {
        QFETCH(QString, how);

        QProcess orvane;
        // The one built beside the test, or the one ORVANE_EXE names (an installed one).
        orvane.start(
            qEnvironmentVariable("ORVANE_EXE", QCoreApplication::applicationDirPath() + u"/" ORVANE_BINARY_NAME ""_qs),
            {});
        QVERIFY2(orvane.waitForStarted(), qPrintable(orvane.errorString()));
        HWND window = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((window = windowOf(orvane.processId())) != nullptr, 30'000);

        // The client area the design gives, at the window's own DPI.
        RECT client = {};
        QVERIFY(::GetClientRect(window, &client));
        const double scale = ::GetDpiForWindow(window) / 96.0;
        QCOMPARE(QSize(int(client.right / scale + 0.5), int(client.bottom / scale + 0.5)), QSize(566, 361));

        if (how == u"Quit") {
            // The middle of the Quit button, 488,304 and 73 x 25 in the client area.
            const LPARAM at = MAKELPARAM(int((488 + 36) * scale), int((304 + 12) * scale));
            ::PostMessageW(window, WM_MOUSEMOVE, 0, at);
            ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            ::PostMessageW(window, WM_LBUTTONUP, 0, at);
        } else {
            ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        QVERIFY(orvane.waitForFinished(10'000));
        QCOMPARE(orvane.exitStatus(), QProcess::NormalExit);
        QCOMPARE(orvane.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TstProgramWin)
#include "tst_program_win.moc"

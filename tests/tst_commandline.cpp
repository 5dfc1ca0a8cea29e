// SPDX-License-Identifier: LicenseRef-proprietary
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// The program as a shell starts it, with no display to show its window on: the answers to
// --help and --version, and what it says of the display and of an argument.
class TstCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a pattern for the whole of standard output
        QTest::addColumn<QString>("errors");

        const QString help =
            uR"(^Usage: \S*orvane \[options\]\nOrvane\.\nFinds, shows and deletes the autorun\.inf file)"
            uR"( in the root of a removable disk\.\n\nOptions:\n(.*\n)*  -v, --version +.*\n$)"_qs;
        QTest::newRow("--help") << QStringList{u"--help"_qs} << 0 << help << QString();
        QTest::newRow("--version") << QStringList{u"--version"_qs} << 0 << uR"(^orvane 1\.00\n$)"_qs << QString();
        QTest::newRow("no display") << QStringList{} << 1 << u"^$"_qs
                                    << u"orvane: no display to show the window on\n"_qs;
        QTest::newRow("an argument") << QStringList{u"E:"_qs} << 1 << u"^$"_qs
                                     << u"orvane: unexpected argument 'E:'\n"_qs;
    }

    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, errors);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs, u"QT_QPA_PLATFORM"_qs})
            environment.remove(name);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ORVANE_BINARY), arguments);
        QVERIFY2(program.waitForFinished(60'000), qPrintable(program.errorString()));

        QCOMPARE(program.exitStatus(), QProcess::NormalExit); // no abort
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(QRegularExpression(output).match(out).hasMatch(), qPrintable(out));
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), errors);
        QCOMPARE(program.exitCode(), exitCode);
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"

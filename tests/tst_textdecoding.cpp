// SPDX-License-Identifier: LicenseRef-proprietary
#include "TextDecoding.h"

#include <QTest>

class TstTextDecoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<QString>("expected");

        QTest::newRow("valid UTF-8 without mark")
            << QByteArray("label=K\xC3\xB6ln \xE2\x82\xAC") << false << u"label=Köln €"_qs;
        QTest::newRow("UTF-8 mark dropped") << QByteArray("\xEF\xBB\xBFicon=a.ico") << false << u"icon=a.ico"_qs;
        QTest::newRow("Windows-1252 accents and quotes")
            << QByteArray("label=caf\xE9 \x93x\x94 \x80") << false << u"label=café “x” €"_qs;
        QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xC0\xAF") << false << u"À¯"_qs;
        QTest::newRow("UTF-16LE with mark")
            << QByteArray("\xFF\xFE[\0a\0]\0\r\0\n\0\xE9\0", 14) << false << u"[a]\né"_qs;
        QTest::newRow("UTF-16BE with mark") << QByteArray("\xFE\xFF\0x\0y", 6) << false << u"xy"_qs;
        QTest::newRow("UTF-16 odd byte dropped") << QByteArray("\xFF\xFEx\0y", 5) << false << u"x"_qs;
        QTest::newRow("NUL and controls shown, text goes on")
            << QByteArray("open=a\0b\x1B\177c\td", 13) << false << u"open=a\u2400b\u241B\u2421c\td"_qs;
        QTest::newRow("bidirectional controls and marks shown as replacement, not acted on")
            << QByteArray("open=\xE2\x80\xAE"    // RLO
                          "exe.txt \xE2\x81\xA7" // FSI
                          "x\xE2\x80\x8F"        // RLM
                          "y\xD8\x9C"            // ALM
                          "z\xE2\x80\x8E")       // LRM
            << false << u"open=\uFFFDexe.txt \uFFFDx\uFFFDy\uFFFDz\uFFFD"_qs;
        QTest::newRow("zero-width characters shown as replacement")
            << QByteArray("go\xE2\x80\x8B"      // ZWSP
                          "od\xE2\x81\xA0"      // WJ
                          ".e\xEF\xBB\xBF"      // ZWNBSP
                          "xe\xF3\xA0\x80\x81") // a tag character
            << false << u"go\uFFFDod\uFFFD.e\uFFFDxe\uFFFD"_qs;
        QTest::newRow("UTF-8 cut by the read limit stays UTF-8") << QByteArray("\xC3\xA9\xE2\x82") << true << u"é"_qs;
        QTest::newRow("UTF-8 with mark cut by the read limit")
            << QByteArray("\xEF\xBB\xBF\xC3\xA9\xE2\x82") << true << u"é"_qs;
        QTest::newRow("UTF-16 surrogate pair cut by the read limit")
            << QByteArray("\xFF\xFEx\0\x3D\xD8", 6) << true << u"x"_qs;
        QTest::newRow("UTF-16 lone surrogates shown as replacement") // found by fuzzing
            << QByteArray("\xFE\xFF\x5B\x2A\x00\x3D\xD8\xFF\xFF\xFF\xDC\x00\x00\x41", 14) << true
            << u"\u5B2A=\uFFFD\uFFFF\uFFFDA"_qs;
    }

    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, truncated);
        QFETCH(QString, expected);
        QCOMPARE(platform::decodeDiskText(bytes, truncated), expected);
    }
};

QTEST_GUILESS_MAIN(TstTextDecoding)
#include "tst_textdecoding.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventDecoder.h"

#include <QTest>

Q_DECLARE_METATYPE(StatusColour)

class EventDecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesEachCode_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("statusChanges");
        QTest::addColumn<QString>("status");
        QTest::addColumn<StatusColour>("colour");
        QTest::addColumn<QStringList>("boxes"); // boxes 0..4, "-" where unchanged

        const QStringList unchanged{"-", "-", "-", "-", "-"};
        QTest::newRow("output") << QByteArray("\x91\x03\x64\x02\x00", 5) << true
                                << "output mode= 3t_output= 100separater= 2" << StatusColour::Blue
                                << unchanged;
        QTest::newRow("clear") << QByteArray("\x96\x35\x00\x00\x00", 5) << true << ""
                               << StatusColour::Blue << unchanged;
        QTest::newRow("no clear") << QByteArray("\x96\x36\x00\x00\x00", 5) << false << ""
                                  << StatusColour::Blue << unchanged;
        QTest::newRow("money") << QByteArray("\x94\x2C\x01\x05\x77", 5) << true
                               << " money= 300  channel= 5" << StatusColour::Blue
                               << QStringList{"300", "-", "-", "-", "-"};
        // Values are unsigned: b2 of 128 or more does not turn negative.
        QTest::newRow("time") << QByteArray("\x95\xFF\xFF\x0C\x00", 5) << true
                              << "time= 65535  channel= 12" << StatusColour::Blue
                              << QStringList{"-", "65535", "12", "-", "-"};
        QTest::newRow("bad coin") << QByteArray("\x92\x07\x0A\x1F\x00", 5) << true
                                  << "N.G!! cntAH= 7  diaH= 1F0A" << StatusColour::Red
                                  << QStringList{"-", "-", "-", "7", "1F0A"};
        QTest::newRow("drop") << QByteArray("\x93\x00\x00\x00\x00", 5) << true
                              << "drop time too long" << StatusColour::Red << unchanged;
        QTest::newRow("sensor") << QByteArray("\xAA\x0C\xC8\x03\x00", 5) << true
                                << "cntAH=12($C) downSensor time1=200($C8) downSensor time2=3($3) "
                                << StatusColour::Blue << unchanged;
        // Two events read together: only the first is decoded.
        QTest::newRow("two at once")
            << QByteArray("\x93\x00\x00\x00\x00\x94\x01\x00\x01\x00", 10) << true
            << "drop time too long" << StatusColour::Red << unchanged;
        QTest::newRow("other code") << QByteArray("\x55\x01\x02\x03\x04", 5) << false << ""
                                    << StatusColour::Blue << unchanged;
    }
    void decodesEachCode()
    {
        QFETCH(QByteArray, message);
        QFETCH(bool, statusChanges);
        QFETCH(QString, status);
        QFETCH(StatusColour, colour);
        QFETCH(QStringList, boxes);
        const auto decoded = EventDecoder::decode(message);
        QVERIFY(decoded);
        QCOMPARE(decoded->status.has_value(), statusChanges);
        if (statusChanges) {
            QCOMPARE(decoded->status->text, status);
            QCOMPARE(decoded->status->colour, colour);
        }
        for (int box = 0; box < EventDecoder::ValueBoxCount; ++box)
            QCOMPARE(decoded->boxes[std::size_t(box)].value_or("-"), boxes[box]);
    }

    void ignoresAShortMessage()
    {
        QVERIFY(!EventDecoder::decode(QByteArray("\x94\x2C\x01\x05", 4)));
    }
};

QTEST_GUILESS_MAIN(EventDecoderTest)
#include "EventDecoderTest.moc"

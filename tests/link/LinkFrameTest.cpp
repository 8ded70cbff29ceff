// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkClock.h"
#include "LinkCommands.h"

#include <QTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class LinkFrameTest : public QObject
{
    Q_OBJECT
private slots:
    void framesCarryTheirChecksum_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("read 0") << LinkCommands::readRequest(0).toByteArray() << hex("E1000806EF");
        QTest::newRow("read 188") << LinkCommands::readRequest(188).toByteArray()
                                  << hex("E1BC0806AB");
        QTest::newRow("partial read 188")
            << LinkCommands::partialReadRequest(188).toByteArray() << hex("E1BC55AA9C");
        QTest::newRow("write 10 to 5")
            << LinkCommands::writeRequest(5, 10).toByteArray() << hex("E205550A46");
        QTest::newRow("end of block")
            << LinkCommands::endOfBlock().toByteArray() << hex("890102038F");
        QTest::newRow("teach start")
            << LinkCommands::teachStart().toByteArray() << hex("E3010203E9");
        QTest::newRow("stop") << LinkCommands::stopMeasuring().toByteArray() << hex("840102038A");
        QTest::newRow("id") << LinkCommands::idQuery().toByteArray() << hex("9A010203A0");
        QTest::newRow("chp") << LinkCommands::chpQuery().toByteArray() << hex("436850746F");
        QTest::newRow("cpr") << LinkCommands::cprQuery().toByteArray() << hex("4370527479");
    }
    void framesCarryTheirChecksum()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame.toHex(' ').toUpper(), expected.toHex(' ').toUpper());
    }

    void readRepliesAreChecked_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("valid");
        QTest::newRow("good") << hex("E1050809F7") << true;
        QTest::newRow("wrong address") << hex("E1060809F8") << false;
        QTest::newRow("wrong lead") << hex("E2050809F8") << false;
        QTest::newRow("wrong checksum") << hex("E1050809F8") << false;
        QTest::newRow("short") << hex("E1050809") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("extra bytes after a good frame") << hex("E1050809F7AA") << true;
    }
    void readRepliesAreChecked()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, valid);
        QCOMPARE(LinkCommands::isValidReadReply(reply, 5), valid);
    }

    void writeRepliesIgnoreTheAddress()
    {
        QVERIFY(LinkCommands::isValidWriteReply(LinkCommands::writeRequest(99, 3).toByteArray()));
        QVERIFY(LinkCommands::isValidWriteReply(hex("E205550A46")));
        QVERIFY(!LinkCommands::isValidWriteReply(hex("E205550A47")));
        QVERIFY(!LinkCommands::isValidWriteReply(hex("E105550A45")));
        QVERIFY(LinkCommands::isValidStartReply(hex("E3010203E9"), LinkCommands::TeachStartLead));
        QVERIFY(!LinkCommands::isValidStartReply(hex("E3010203E9"),
                                                 LinkCommands::CalibrationStartLead));
    }

    void elapsedTimeWrapsAtMidnight_data()
    {
        QTest::addColumn<double>("t0");
        QTest::addColumn<double>("now");
        QTest::addColumn<int>("elapsed");
        QTest::newRow("same day") << 1000.0 << 1020.0 << 20;
        QTest::newRow("across midnight") << 8639990.0 << 5.0 << 15;
        QTest::newRow("no time") << 8639990.0 << 8639990.0 << 0;
        QTest::newRow("rounded to nearest") << 100.0 << 119.6 << 20;
    }
    void elapsedTimeWrapsAtMidnight()
    {
        QFETCH(double, t0);
        QFETCH(double, now);
        QFETCH(int, elapsed);
        QCOMPARE(LinkClock::elapsedHundredths(static_cast<float>(t0), now), elapsed);
    }
};

QTEST_GUILESS_MAIN(LinkFrameTest)
#include "LinkFrameTest.moc"

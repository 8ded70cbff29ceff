// SPDX-License-Identifier: GPL-3.0-or-later
#include "LowLatency.h"
#include "LinkTrace.h"
#include "PseudoTerminal.h"
#include "SerialLinkPort.h"

#include <QRegularExpression>
#include <QTest>

#include <cerrno>
#include <optional>

class LowLatencyTest : public QObject
{
    Q_OBJECT
    static constexpr int lowLatency = static_cast<int>(ASYNC_LOW_LATENCY);
private slots:
    void onlyTheFlagIsAskedFor_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("readError");
        QTest::addColumn<int>("writeError");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("refused");
        const int others = static_cast<int>(ASYNC_SPD_HI | ASYNC_SKIP_TEST);
        QTest::newRow("taken") << others << 0 << 0 << true << false;
        QTest::newRow("already set") << (others | lowLatency) << 0 << 0 << false << false;
        QTest::newRow("no settings") << others << ENOTTY << 0 << false << true;
        QTest::newRow("refused") << others << 0 << EPERM << true << true;
    }
    void onlyTheFlagIsAskedFor()
    {
        QFETCH(int, flags);
        QFETCH(int, readError);
        QFETCH(int, writeError);
        QFETCH(bool, written);
        QFETCH(bool, refused);
        serial_struct driver{};
        driver.type = PORT_16550A;
        driver.line = 3;
        driver.baud_base = 115200;
        driver.custom_divisor = 6;
        driver.close_delay = 50;
        driver.closing_wait = 3000;
        driver.flags = flags;
        std::optional<serial_struct> got;
        const QString outcome = LowLatency::request(
            [&](serial_struct& settings) {
                settings = driver;
                return readError;
            },
            [&](const serial_struct& settings) {
                got = settings;
                return writeError;
            });
        QCOMPARE(outcome.isEmpty(), !refused);
        QCOMPARE(got.has_value(), written);
        if (!got)
            return;
        QCOMPARE(got->flags, flags | lowLatency);
        QCOMPARE(got->type, driver.type);
        QCOMPARE(got->line, driver.line);
        QCOMPARE(got->baud_base, driver.baud_base);
        QCOMPARE(got->custom_divisor, driver.custom_divisor);
        QCOMPARE(got->close_delay, driver.close_delay);
        QCOMPARE(got->closing_wait, driver.closing_wait);
    }

    // A pseudo-terminal has no serial settings: the port opens all the same, and says why in
    // the frame trace.
    void aTerminalThatRefusesStillOpens()
    {
        selectorsim::PseudoTerminal line;
        QVERIFY(line.open());
        LinkTrace::enable();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no low latency: "));
        SerialLinkPort port;
        QVERIFY(port.open(QString::fromStdString(line.slavePath())));
        QVERIFY(port.isOpen());
    }
};

QTEST_GUILESS_MAIN(LowLatencyTest)
#include "LowLatencyTest.moc"

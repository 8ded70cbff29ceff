// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLinkPort.h"
#include "OutputDrain.h"
#include "PortFailure.h"
#include "PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <poll.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include "LinkTrace.h"
#include "LowLatency.h"
#endif

class SerialLinkPortTest : public QObject
{
    Q_OBJECT
private slots:
    // Far more than the driver takes while nobody reads the line: the frames it refuses wait
    // in the port and must still go out whole, in order, behind the earlier ones.
    void framesReachTheLineInOrderWhenTheDriverIsFull()
    {
        selectorsim::PseudoTerminal line;
        QVERIFY(line.open());
        SerialLinkPort port;
        QVERIFY(port.open(QString::fromStdString(line.slavePath())));
        QByteArray sent;
        for (int i = 0; i < 40000; ++i) {
            const QByteArray frame = QByteArray::number(i, 36).rightJustified(5, '.');
            port.write(frame);
            sent += frame;
        }
        QByteArray received;
        char chunk[4096];
        for (QDeadlineTimer bound(10000); received.size() < sent.size() && !bound.hasExpired();) {
            QCoreApplication::processEvents(); // the port hands on what it holds
            pollfd readable{line.masterFd(), POLLIN, 0};
            if (poll(&readable, 1, 10) > 0)
                received +=
                    QByteArray(chunk, qMax<ssize_t>(0, read(line.masterFd(), chunk, sizeof chunk)));
        }
        QCOMPARE(received, sent);
    }

    // A reply wakes the program once, whole; what is held back below the threshold is dropped
    // with the rest of the input, so it cannot pose as the start of the next reply.
    void bytesBelowTheWakeThresholdWaitInTheDriver()
    {
        selectorsim::PseudoTerminal line;
        QVERIFY(line.open());
        SerialLinkPort port;
        port.setWakeThreshold(5);
        QVERIFY(port.open(QString::fromStdString(line.slavePath())));
        QSignalSpy wakes(&port, &LinkPort::readyRead);
        const auto farEndSends = [&](const char* bytes) {
            QVERIFY(::write(line.masterFd(), bytes, std::strlen(bytes)) > 0);
        };

        farEndSends("abc");
        QTest::qWait(50);
        QCOMPARE(wakes.count(), 0);
        port.clearInput();
        farEndSends("12345");
        QTRY_COMPARE(wakes.count(), 1);
        QCOMPARE(port.readAll(), QByteArray("12345"));

        port.setWakeThreshold(10); // taken while open
        farEndSends("ABCDEFGH");
        QTest::qWait(50);
        QCOMPARE(wakes.count(), 1);
        farEndSends("IJ");
        QTRY_COMPARE(wakes.count(), 2);
        QCOMPARE(port.readAll(), QByteArray("ABCDEFGHIJ"));
    }

    void reasonsAPortWillNotOpen_data()
    {
        QTest::addColumn<QSerialPort::SerialPortError>("error");
        QTest::addColumn<bool>("accessible");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no device") << QSerialPort::DeviceNotFoundError << false
                                   << "no device /dev/ttyUSB0: is the adapter plugged in?";
        QTest::newRow("no permission")
            << QSerialPort::PermissionError << false
            << "no permission for /dev/ttyUSB0: add your account to the group dialout, then "
               "log in again";
        QTest::newRow("in use") << QSerialPort::PermissionError << true
                                << "/dev/ttyUSB0 is in use by another program";
        QTest::newRow("other") << QSerialPort::ResourceError << true
                               << "/dev/ttyUSB0: Input/output error";
    }
    void reasonsAPortWillNotOpen()
    {
        QFETCH(QSerialPort::SerialPortError, error);
        QFETCH(bool, accessible);
        QFETCH(QString, reason);
        QCOMPARE(PortFailure::openReason(error, "/dev/ttyUSB0", "Input/output error", accessible),
                 reason);
    }

    // The system's own refusals reach those words: a device that is not there, and one that
    // another port holds (its lock file, whoever runs the test).
    void aRefusedOpenSaysWhy()
    {
        SerialLinkPort port;
        QVERIFY(!port.open("/dev/no-such-adapter"));
        QCOMPARE(port.openFailure(), "no device /dev/no-such-adapter: is the adapter plugged in?");

        selectorsim::PseudoTerminal line;
        QVERIFY(line.open());
        const QString device = QString::fromStdString(line.slavePath());
        SerialLinkPort holder;
#ifdef Q_OS_LINUX
        // A pseudo-terminal has no serial settings: it opens all the same, the trace says why.
        LinkTrace::enable();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no low latency: "));
#endif
        QVERIFY(holder.open(device));
        QVERIFY(!port.open(device));
        QCOMPARE(port.openFailure(), device + " is in use by another program");
        holder.close();
        QVERIFY(port.open(device));
    }

    // Closing waits for the driver's queue of 40 bytes for as long as they need plus the margin,
    // then drops what is left: an adapter that never sends cannot hang it.
    void drainingBeforeCloseIsBounded_data()
    {
        const qint64 bound = (40 * OutputDrain::ByteTime + OutputDrain::Margin).count();
        QTest::addColumn<int>("queued"); // -1: the driver cannot tell
        QTest::addColumn<qint64>("sentAfterUs");
        QTest::addColumn<int>("discarded");
        QTest::newRow("nothing queued") << 0 << qint64(0) << 0;
        QTest::newRow("queue size unknown") << -1 << bound * 2 << 0;
        QTest::newRow("sent at the bound") << 40 << bound << 0;
        QTest::newRow("sent just after the bound") << 40 << bound + 1 << 40;
        QTest::newRow("never sent") << 40 << std::numeric_limits<qint64>::max() << 40;
    }
    void drainingBeforeCloseIsBounded()
    {
        QFETCH(int, queued);
        QFETCH(qint64, sentAfterUs);
        QFETCH(int, discarded);
        std::chrono::microseconds waited{0};
        bool dropped = false;
        QCOMPARE(OutputDrain::drain({[&] { return waited.count() >= sentAfterUs ? 0 : queued; },
                                     [&] { dropped = true; },
                                     [&](std::chrono::microseconds time) { waited += time; }}),
                 discarded);
        QCOMPARE(dropped, discarded > 0);
        QVERIFY(waited <= 40 * OutputDrain::ByteTime + OutputDrain::Margin);
        // Nothing queued: no wait at all; sent in time: waited for.
        QVERIFY(queued <= 0 ? waited.count() == 0 : discarded > 0 || waited.count() >= sentAfterUs);
    }

#ifdef Q_OS_LINUX
    // Only the flag is asked for; a driver that will not is said, and that is all.
    void lowLatencyChangesOnlyItsFlag_data()
    {
        QTest::addColumn<bool>("alreadyLow");
        QTest::addColumn<int>("readError");
        QTest::addColumn<int>("writeError");
        QTest::newRow("taken") << false << 0 << 0;
        QTest::newRow("no settings") << false << ENOTTY << 0;
        QTest::newRow("refused") << false << 0 << EPERM;
        // A driver that has the flag is not asked again, so its refusal to write never shows.
        QTest::newRow("already set, writes refused") << true << 0 << EPERM;
    }
    void lowLatencyChangesOnlyItsFlag()
    {
        QFETCH(bool, alreadyLow);
        QFETCH(int, readError);
        QFETCH(int, writeError);
        serial_struct driver{};
        driver.flags = static_cast<int>(ASYNC_SKIP_TEST) |
                       (alreadyLow ? static_cast<int>(ASYNC_LOW_LATENCY) : 0);
        driver.baud_base = 115200;
        std::optional<serial_struct> written;
        const QString refusal = LowLatency::request(
            [&](serial_struct& settings) { return settings = driver, readError; },
            [&](const serial_struct& settings) { return written = settings, writeError; });
        QCOMPARE(refusal.isEmpty(), readError == 0 && (alreadyLow || writeError == 0));
        QCOMPARE(written.has_value(), readError == 0 && !alreadyLow);
        if (written) // nothing else changed
            QVERIFY(written->flags == (driver.flags | static_cast<int>(ASYNC_LOW_LATENCY)) &&
                    written->baud_base == driver.baud_base);
    }
#endif
};

QTEST_GUILESS_MAIN(SerialLinkPortTest)
#include "SerialLinkPortTest.moc"

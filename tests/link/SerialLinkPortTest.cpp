// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLinkPort.h"
#include "PortFailure.h"
#include "PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <poll.h>
#include <unistd.h>

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
        QVERIFY(holder.open(device));
        QVERIFY(!port.open(device));
        QCOMPARE(port.openFailure(), device + " is in use by another program");
        holder.close();
        QVERIFY(port.open(device));
    }
};

QTEST_GUILESS_MAIN(SerialLinkPortTest)
#include "SerialLinkPortTest.moc"

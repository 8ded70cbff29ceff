#include "SerialLinkPort.h"
#include "PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(SerialLinkPortTest)
#include "SerialLinkPortTest.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLinkPort.h"

#include "LinkTrace.h"
#include "PortFailure.h"

#include <QFile>
#include <QMetaObject>
#include <QSerialPortInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include "LowLatency.h"
#endif

namespace {

constexpr int DrainMilliseconds = 100;

// Tells a device that is in use from one this account may not open: both are refused with a
// permission error.
bool mayOpen(const QString& deviceName)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(deviceName).constData(), R_OK | W_OK) == 0;
#else
    // Windows refuses a port another program holds with "access denied".
    Q_UNUSED(deviceName);
    return true;
#endif
}

} // namespace

SerialLinkPort::SerialLinkPort(QObject* parent) : LinkPort(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &LinkPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLinkPort::onError);
}

bool SerialLinkPort::open(const QString& deviceName)
{
    close();
    m_openFailure.clear();
    m_port.setPortName(deviceName);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openFailure = PortFailure::openReason(m_port.error(), deviceName, m_port.errorString(),
                                                mayOpen(deviceName));
        return false;
    }
    // A pseudo-terminal refuses some line settings and all modem lines; the selector's line is
    // 8N1 anyway, so a refusal here is not a reason to give up the port.
    m_port.setBaudRate(QSerialPort::Baud19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError();
    applyWakeThreshold();
#ifdef Q_OS_LINUX
    if (const QString refused = LowLatency::request(m_port.handle()); !refused.isEmpty())
        LinkTrace::event(refused);
#endif
    return true;
}

void SerialLinkPort::close()
{
    // What still waits in Qt's buffer (the stop frame a run sends as the program ends) goes out
    // before the port closes; a few bytes take milliseconds at 19200 baud.
    if (m_port.isOpen() && !m_hangUpPending && m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(DrainMilliseconds);
#ifdef Q_OS_UNIX
    // Closing puts the line settings found at open back at once, the speed among them, while
    // the driver may still hold those bytes: they must have left first. A hung-up handle is
    // dead and has nothing to send.
    if (m_port.isOpen() && !m_hangUpPending)
        ::tcdrain(m_port.handle());
#endif
    m_hangUpPending = false;
    if (m_port.isOpen())
        m_port.close();
}

bool SerialLinkPort::isOpen() const
{
    return m_port.isOpen() && !m_hangUpPending;
}

void SerialLinkPort::write(const QByteArray& bytes)
{
    if (!isOpen())
        return;
    // On Unix a frame goes straight to the driver: QSerialPort's own write would arm a write
    // notifier for it and cost two extra turns of the event loop per exchange. What the driver
    // does not take waits in QSerialPort, behind anything it still holds, until the driver is
    // ready for it. No flush() then: writing again at once would only be refused again, and
    // QSerialPort reports that refusal as a resource error, which is taken for a line that is
    // gone.
    qsizetype written = 0;
#ifdef Q_OS_UNIX
    if (m_port.bytesToWrite() == 0) {
        const ssize_t n =
            ::write(m_port.handle(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        written = qMax<qsizetype>(n, 0);
    }
#endif
    if (written < bytes.size())
        m_port.write(bytes.constData() + written, bytes.size() - written);
}

QByteArray SerialLinkPort::readAll()
{
    // Copied out rather than taken with readAll() or read(n): those hand over QSerialPort's
    // whole 32 KiB read chunk, which it then allocates anew for every byte that comes in.
    const qint64 available = isOpen() ? m_port.bytesAvailable() : 0;
    if (available <= 0)
        return {};
    QByteArray bytes(available, Qt::Uninitialized);
    bytes.truncate(qMax<qint64>(0, m_port.read(bytes.data(), available)));
    return bytes;
}

void SerialLinkPort::clearInput()
{
    if (!isOpen())
        return;
    // readAll takes what Qt has buffered; clear() also drops the driver's input queue, bytes
    // that arrived but that Qt has not read yet (they would otherwise become the next reply).
    // Asking the driver first is cheaper than the flush, which is needless almost every time.
    readAll();
#ifdef Q_OS_UNIX
    int held = 0;
    if (::ioctl(m_port.handle(), FIONREAD, &held) == 0 && held == 0)
        return;
#endif
    m_port.clear(QSerialPort::Input);
}

void SerialLinkPort::setWakeThreshold(int bytes)
{
    m_wakeThreshold = std::clamp(bytes, 1, 255);
    if (isOpen())
        applyWakeThreshold();
}

PortIdentity SerialLinkPort::identity(const QString& deviceName) const
{
    QList<ListedPort> listed;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const bool hasIds = info.hasVendorIdentifier() || info.hasProductIdentifier();
        listed.append({info.systemLocation(),
                       hasIds ? QStringLiteral("%1:%2")
                                    .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                    .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'))
                              : QString(),
                       info.serialNumber()});
    }
    return PortIdentity::of(deviceName, listed, PortIdentity::systemTtyFolder());
}

void SerialLinkPort::applyWakeThreshold()
{
    // The driver wakes the event loop only once VMIN bytes are in: one wake-up a reply instead
    // of one a byte. The port is non-blocking, so reads still return at once with what is there.
    // Set after QSerialPort's own settings, each of which writes its whole copy back, VMIN 0 too.
    // Elsewhere the port wakes on every byte; the link counts up to its threshold itself.
#ifdef Q_OS_UNIX
    termios settings{};
    if (::tcgetattr(m_port.handle(), &settings) != 0)
        return;
    settings.c_cc[VMIN] = static_cast<cc_t>(m_wakeThreshold);
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(m_port.handle(), TCSANOW, &settings);
#endif
}

void SerialLinkPort::onError(QSerialPort::SerialPortError error)
{
    // When the far end of a pseudo-terminal goes away, QSerialPort reports ReadError (not
    // ResourceError) again and again and never closes by itself: both mean the line is gone.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (m_hangUpPending || !m_port.isOpen())
        return;
    m_hangUpPending = true;
    m_failure = m_port.errorString();
    // Closing inside QSerialPort's own notification is not safe; do it once control returns.
    QMetaObject::invokeMethod(this, &SerialLinkPort::closeAfterHangUp, Qt::QueuedConnection);
}

void SerialLinkPort::closeAfterHangUp()
{
    if (!m_hangUpPending)
        return;
    m_port.close();
    m_hangUpPending = false;
    emit failed(m_failure);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkFrame.h"
#include "LinkPort.h"

#include <QList>
#include <QMap>

#include <functional>

// A port whose far end is a test: it records what is written and feeds back what the test
// (or an answering rule) says, through the same readyRead signal as a real port.
class FakeLinkPort final : public LinkPort
{
    Q_OBJECT
public:
    using Responder = std::function<void(FakeLinkPort&, const QByteArray& written)>;

    bool open(const QString& deviceName) override
    {
        if (refusedDevices.contains(deviceName))
            return false;
        m_open = true;
        openedDevice = deviceName;
        return true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray& bytes) override
    {
        if (!m_open)
            return;
        written.append(bytes);
        if (responder)
            responder(*this, bytes);
    }
    QByteArray readAll() override
    {
        QByteArray bytes;
        bytes.swap(m_incoming);
        return bytes;
    }
    void clearInput() override
    {
        m_incoming.clear();
        m_driverQueue.clear();
        ++inputClears;
    }

    PortIdentity identity(const QString& name) const override
    {
        return identities.value(name, {PortIdentity::Kind::BuiltIn, {}});
    }

    // Bytes from the far end; readyRead fires as a real port would.
    void receive(const QByteArray& bytes)
    {
        m_incoming += bytes;
        emit readyRead();
    }
    // Bytes the operating system has received but not handed over yet: readAll does not see
    // them and no readyRead fires until deliverDriverQueue(); only clearInput drops them.
    void receiveInDriver(const QByteArray& bytes) { m_driverQueue += bytes; }
    void deliverDriverQueue()
    {
        if (m_driverQueue.isEmpty())
            return;
        QByteArray bytes;
        bytes.swap(m_driverQueue);
        receive(bytes);
    }
    QByteArray driverQueue() const { return m_driverQueue; }
    void hangUp()
    {
        m_open = false;
        emit failed(QStringLiteral("hung up"));
    }

    QList<QByteArray> written;
    QStringList refusedDevices;
    QString openedDevice;
    QMap<QString, PortIdentity> identities; // else a built-in port, which may always reopen
    Responder responder;
    int inputClears = 0;

private:
    bool m_open = false;
    QByteArray m_incoming;
    QByteArray m_driverQueue;
};

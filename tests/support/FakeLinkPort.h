#pragma once

#include "LinkFrame.h"
#include "LinkPort.h"

#include <QList>

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

    // Bytes from the far end; readyRead fires as a real port would.
    void receive(const QByteArray& bytes)
    {
        m_incoming += bytes;
        emit readyRead();
    }
    void hangUp()
    {
        m_open = false;
        emit failed();
    }

    QList<QByteArray> written;
    QStringList refusedDevices;
    QString openedDevice;
    Responder responder;

private:
    bool m_open = false;
    QByteArray m_incoming;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkPort.h"

#include <QSerialPort>

// LinkPort on a real serial device (or a pseudo-terminal) at 19200 baud, 8N1, raw bytes.
class SerialLinkPort final : public LinkPort
{
    Q_OBJECT
public:
    explicit SerialLinkPort(QObject* parent = nullptr);

    bool open(const QString& deviceName) override;
    QString openFailure() const override { return m_openFailure; }
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    void clearInput() override;
    void setWakeThreshold(int bytes) override;
    PortIdentity identity(const QString& deviceName) const override;

private:
    void onError(QSerialPort::SerialPortError error);
    void closeAfterHangUp();
    void applyWakeThreshold();

    QSerialPort m_port;
    bool m_hangUpPending = false;
    QString m_failure; // why the open port broke
    QString m_openFailure;
    int m_wakeThreshold = 1;
};

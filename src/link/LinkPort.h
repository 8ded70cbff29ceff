// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortIdentity.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The byte pipe to the selector. The program uses a serial port; tests use a scripted fake.
class LinkPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool open(const QString& deviceName) = 0;
    // Why the last open failed, in words; empty when the port cannot tell.
    virtual QString openFailure() const { return {}; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(const QByteArray& bytes) = 0;
    virtual QByteArray readAll() = 0;
    // Drops every received byte, those the operating system holds but has not yet handed
    // over included, so that nothing received before this call can come in afterwards.
    virtual void clearInput() { readAll(); }
    // How many bytes make it worth waking the program: a port may hold back fewer (and signal
    // no readyRead for them) until more arrive; clearInput drops what it holds back.
    virtual void setWakeThreshold(int bytes) { Q_UNUSED(bytes); }
    // What deviceName leads to now, whether or not it is open.
    virtual PortIdentity identity(const QString& deviceName) const = 0;

signals:
    void readyRead();
    // The open port broke (adapter unplugged, far end hung up); the port is closed by then.
    void failed(const QString& reason);
};

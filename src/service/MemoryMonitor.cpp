// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryMonitor.h"

#include "AtomicFile.h"
#include "EventDecoder.h"
#include "LinkCommands.h"

namespace {

constexpr quint8 SensorTimesCode = 0xAA;
constexpr std::array<quint8, 4> ChpAnswer{0x00, 0x10, 0x27, 0xC3};
constexpr std::array<quint8, 4> CprAnswer{0x07, 0x27, 0xC7, 0x0F};

quint8 byteAt(const QByteArray& bytes, int index)
{
    return static_cast<quint8>(bytes.at(index));
}

bool startsWith(const QByteArray& bytes, const std::array<quint8, 4>& head)
{
    for (std::size_t i = 0; i < head.size(); ++i)
        if (byteAt(bytes, static_cast<int>(i)) != head[i])
            return false;
    return true;
}

std::array<QString, MemoryMonitor::RowBoxCount> rowTexts(const QByteArray& bytes, int base)
{
    std::array<QString, MemoryMonitor::RowBoxCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = QString::number(byteAt(bytes, static_cast<int>(i)), base).toUpper();
    return texts;
}

} // namespace

QList<MemoryMonitor::RowUpdate> MemoryMonitor::take(const QByteArray& bytes, bool decimal)
{
    if (bytes.size() < EventDecoder::MessageSize)
        return {};
    QList<RowUpdate> updates{{Row::LastMessage, rowTexts(bytes, decimal ? 10 : 16)}};
    const quint8 code = byteAt(bytes, 0);
    if (code == LinkCommands::IdLead)
        updates.append({Row::Id, rowTexts(bytes, 16)});
    else if (startsWith(bytes, ChpAnswer))
        updates.append({Row::Chp, rowTexts(bytes, 16)});
    else if (startsWith(bytes, CprAnswer))
        updates.append({Row::Cpr, rowTexts(bytes, 16)});
    if (code == SensorTimesCode && m_log.size() < MaxLogRecords)
        m_log.append({byteAt(bytes, 1), byteAt(bytes, 2), byteAt(bytes, 3)});
    return updates;
}

QByteArray MemoryMonitor::logFileText() const
{
    QByteArray text("cntah,time1,time2\r\n");
    for (const LogRecord& record : m_log)
        text += QByteArray::number(record.cntAH) + ',' + QByteArray::number(record.time1) + ',' +
                QByteArray::number(record.time2) + "\r\n";
    return text;
}

bool MemoryMonitor::writeLog(const QString& path, QString* errorText) const
{
    return AtomicFile::write(path, logFileText(), errorText);
}

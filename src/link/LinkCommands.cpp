// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkCommands.h"

namespace LinkCommands {

namespace {

quint8 addressByte(int address)
{
    return static_cast<quint8>(address & 0xFF);
}

bool hasLeadAndChecksum(const std::optional<LinkFrame>& frame, quint8 lead)
{
    return frame && frame->lead() == lead && frame->hasValidChecksum();
}

} // namespace

LinkFrame readRequest(int address)
{
    return LinkFrame::build(ReadLead, addressByte(address), 0x08, 0x06);
}

LinkFrame partialReadRequest(int address)
{
    return LinkFrame::build(ReadLead, addressByte(address), 0x55, 0xAA);
}

LinkFrame writeRequest(int address, quint8 value)
{
    return LinkFrame::build(WriteLead, addressByte(address), 0x55, value);
}

LinkFrame endOfBlock()
{
    return LinkFrame::build(EndOfBlockLead, 0x01, 0x02, 0x03);
}

LinkFrame teachStart()
{
    return LinkFrame::build(TeachStartLead, 0x01, 0x02, 0x03);
}

LinkFrame calibrationStart()
{
    return LinkFrame::build(CalibrationStartLead, 0x01, 0x02, 0x03);
}

LinkFrame stopMeasuring()
{
    return LinkFrame::build(StopLead, 0x01, 0x02, 0x03);
}

LinkFrame idQuery()
{
    return LinkFrame::build(IdLead, 0x01, 0x02, 0x03);
}

LinkFrame chpQuery()
{
    return LinkFrame::build('C', 'h', 'P', 't');
}

LinkFrame cprQuery()
{
    return LinkFrame::build('C', 'p', 'R', 't');
}

bool isValidReadReply(const QByteArray& reply, int address)
{
    return hasLeadAndChecksum(LinkFrame::fromBytes(reply), ReadLead) &&
           echoesAddress(reply, address);
}

bool isValidWriteReply(const QByteArray& reply)
{
    return hasLeadAndChecksum(LinkFrame::fromBytes(reply), WriteLead);
}

bool echoesAddress(const QByteArray& reply, int address)
{
    return reply.size() >= LinkFrame::Size &&
           static_cast<quint8>(reply.at(1)) == addressByte(address);
}

bool echoesWrite(const QByteArray& reply, int address, quint8 value)
{
    return echoesAddress(reply, address) && static_cast<quint8>(reply.at(3)) == value;
}

bool isValidStartReply(const QByteArray& reply, quint8 lead)
{
    return hasLeadAndChecksum(LinkFrame::fromBytes(reply), lead);
}

} // namespace LinkCommands

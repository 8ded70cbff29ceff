// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkFrame.h"

#include <QByteArray>

// Every frame the program sends, and the checks its replies must pass.
namespace LinkCommands {

constexpr quint8 ReadLead = 0xE1;
constexpr quint8 WriteLead = 0xE2;
constexpr quint8 EndOfBlockLead = 0x89;
constexpr quint8 TeachStartLead = 0xE3;
constexpr quint8 CalibrationStartLead = 0x83;
constexpr quint8 StopLead = 0x84;
constexpr quint8 IdLead = 0x9A;

LinkFrame readRequest(int address); // E1 a 08 06: the full read
LinkFrame
partialReadRequest(int address); // E1 a 55 AA: the partial read and the read before sampling
LinkFrame writeRequest(int address, quint8 value);
LinkFrame endOfBlock();
LinkFrame teachStart();
LinkFrame calibrationStart();
LinkFrame stopMeasuring();
LinkFrame idQuery();
LinkFrame chpQuery();
LinkFrame cprQuery();

// A read reply echoes the lead byte and the address and carries a valid checksum.
bool isValidReadReply(const QByteArray& reply, int address);
// A write reply is checked on its lead byte and checksum only: its address is not compared.
bool isValidWriteReply(const QByteArray& reply);
// Whether a reply names the address of its request.
bool echoesAddress(const QByteArray& reply, int address);
// Whether a valid write reply echoes the address and value of the write it is taken for.
bool echoesWrite(const QByteArray& reply, int address, quint8 value);
// Replies to the teach and calibration start frames.
bool isValidStartReply(const QByteArray& reply, quint8 lead);

} // namespace LinkCommands

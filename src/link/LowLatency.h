// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

#include <linux/serial.h>

// Asks a Linux serial driver to hand on received bytes at once: a USB adapter otherwise holds
// an answer back until its latency timer runs out (16 ms on an FTDI chip), several times the
// answer's own time on the line. Only the low-latency flag is changed.
namespace LowLatency {

// Each returns 0, or the error number of its refusal.
using ReadSettings = std::function<int(serial_struct&)>;
using WriteSettings = std::function<int(const serial_struct&)>;

// Empty when the driver has the flag now; otherwise why not, for the frame trace. A refusal
// (pseudo-terminals, some USB chips) leaves the port as it was and usable.
QString request(const ReadSettings& read, const WriteSettings& write);
// The same on an open serial device.
QString request(int fd);

} // namespace LowLatency

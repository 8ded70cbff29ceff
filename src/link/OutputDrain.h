// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

// Lets what a serial driver still holds for the line go out before the port closes, for no
// longer than those bytes need at 19200 baud plus a margin: a wedged adapter that never takes
// them must not hang closing. What is left then is discarded.
//
// The driver's output queue is asked for its size and, while bytes remain, the wait sleeps for
// the time they need on the line. tcdrain would wait with no bound at all, and running it in a
// thread of its own would leave that thread blocked on a closed descriptor; a bounded sleep
// between two looks at the queue is neither a busy loop nor open-ended.
namespace OutputDrain {

// Ten bits a byte at 19200 baud.
constexpr std::chrono::microseconds ByteTime{521};
// Beyond the bytes' own time: a USB adapter's latency and the system's scheduling.
constexpr std::chrono::milliseconds Margin{100};

struct Driver
{
    std::function<int()> queuedBytes;                    // the output queue's size, or -1
    std::function<void()> discardOutput;                 // drops what the queue holds
    std::function<void(std::chrono::microseconds)> wait; // sleeps, at least that long
};

// The bytes discarded because the driver did not send them in time; 0 when all went out, or
// when the driver cannot say how many it holds.
int drain(const Driver& driver);

#ifdef Q_OS_UNIX
// The same on an open serial device.
int drain(int fd);
#endif

} // namespace OutputDrain

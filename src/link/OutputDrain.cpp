// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputDrain.h"

#include <QtGlobal>

#include <algorithm>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace OutputDrain {

int drain(const Driver& driver)
{
    int queued = driver.queuedBytes();
    if (queued <= 0)
        return 0;
    // The bound is set once, from what was queued at the start: a queue that empties slowly
    // gets no more time for it.
    std::chrono::microseconds left = queued * ByteTime + Margin;
    while (queued > 0 && left.count() > 0) {
        const std::chrono::microseconds step =
            std::min(left, std::max<std::chrono::microseconds>(queued * ByteTime, ByteTime));
        driver.wait(step);
        left -= step;
        queued = driver.queuedBytes();
    }
    if (queued <= 0)
        return 0;
    driver.discardOutput();
    return queued;
}

#ifdef Q_OS_UNIX
int drain(int fd)
{
    return drain({[fd] {
                      int queued = 0;
                      return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
                  },
                  [fd] { ::tcflush(fd, TCOFLUSH); },
                  [](std::chrono::microseconds time) { std::this_thread::sleep_for(time); }});
}
#endif

} // namespace OutputDrain

// SPDX-License-Identifier: GPL-3.0-or-later
#include "LowLatency.h"

#include <cerrno>

#include <sys/ioctl.h>

namespace LowLatency {

namespace {
constexpr int Flag = static_cast<int>(ASYNC_LOW_LATENCY); // the field is a plain int
} // namespace

QString request(const ReadSettings& read, const WriteSettings& write)
{
    serial_struct settings{};
    if (const int error = read(settings))
        return QStringLiteral("no low latency: the driver does not give its settings (%1)")
            .arg(qt_error_string(error));
    if ((settings.flags & Flag) != 0)
        return {};
    settings.flags |= Flag;
    if (const int error = write(settings))
        return QStringLiteral("no low latency: the driver refuses it (%1)")
            .arg(qt_error_string(error));
    return {};
}

QString request(int fd)
{
    return request(
        [fd](serial_struct& settings) {
            return ::ioctl(fd, TIOCGSERIAL, &settings) == 0 ? 0 : errno;
        },
        [fd](const serial_struct& settings) {
            serial_struct changed = settings;
            return ::ioctl(fd, TIOCSSERIAL, &changed) == 0 ? 0 : errno;
        });
}

} // namespace LowLatency

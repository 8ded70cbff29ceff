// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

// The start-up file on arbitrary contents, and written back: whatever a file held, writing what
// was read and reading it again gives the same settings; whatever the settings, every line of
// the written file reads back in its place, a name cut at its first line break at most.
namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool operator==(const StartupSettings& a, const StartupSettings& b)
{
    return a.currentFile == b.currentFile && a.previousFile == b.previousFile &&
           a.comChecked == b.comChecked;
}

StartupSettings readBack(const StartupSettings& settings)
{
    StartupSettings read{QStringLiteral("x"), QStringLiteral("y"), {}};
    StartupFile::parse(StartupFile::serialize(settings), read);
    return read;
}

QString firstLine(const QString& text)
{
    return text.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char('\r'), 0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    StartupSettings read;
    StartupFile::parse(bytes, read);
    check(readBack(read) == read);

    FuzzedDataProvider script(data, size);
    StartupSettings settings;
    for (bool& checked : settings.comChecked)
        checked = script.ConsumeBool();
    settings.currentFile = QString::fromStdString(script.ConsumeRandomLengthString());
    settings.previousFile = QString::fromStdString(script.ConsumeRandomLengthString());
    const StartupSettings expected{firstLine(settings.currentFile),
                                   firstLine(settings.previousFile), settings.comChecked};
    check(readBack(settings) == expected);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventDecoder.h"
#include "MemoryMonitor.h"

#include <cstdint>
#include <cstdlib>

// Event messages and query answers as the live display and the memory window take them from
// the line: nothing is read past the bytes received or beyond the fourth value byte, values are
// unsigned, and the event log stays within its bound however long the line chatters.
namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameDecoding(const std::optional<EventDecoder::Decoded>& a,
                  const std::optional<EventDecoder::Decoded>& b)
{
    if (!a || !b)
        return a.has_value() == b.has_value();
    const bool sameStatus = a->status.has_value() == b->status.has_value() &&
                            (!a->status || (a->status->text == b->status->text &&
                                            a->status->colour == b->status->colour));
    return sameStatus && a->boxes == b->boxes;
}

bool isNumber(const QString& text, int base, int maximum)
{
    bool ok = false;
    const int value = text.toInt(&ok, base);
    return ok && value >= 0 && value <= maximum && text.toUpper() == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto decoded = EventDecoder::decode(bytes);
    check(decoded.has_value() == (bytes.size() >= EventDecoder::MessageSize));
    if (decoded) {
        // The fifth byte and whatever follows it change nothing.
        check(sameDecoding(decoded, EventDecoder::decode(bytes.first(4) + '\0')));
        check(!decoded->status || !decoded->status->text.contains(QLatin1Char('-')));
        for (std::size_t box = 0; box < decoded->boxes.size(); ++box) {
            const bool hexadecimal = box == 4;
            check(!decoded->boxes[box] ||
                  isNumber(*decoded->boxes[box], hexadecimal ? 16 : 10, 65535));
        }
    }

    // The same bytes as a stream of five-byte reads, alternately shown in decimal and in
    // hexadecimal: each box shows its byte.
    MemoryMonitor monitor;
    for (qsizetype at = 0; at < bytes.size(); at += EventDecoder::MessageSize) {
        const QByteArray message = bytes.sliced(at, std::min<qsizetype>(5, bytes.size() - at));
        const bool decimal = (at / EventDecoder::MessageSize) % 2 == 0;
        const auto updates = monitor.take(message, decimal);
        check(updates.isEmpty() == (message.size() < EventDecoder::MessageSize));
        check(updates.size() <= 2);
        for (const auto& update : updates) {
            const int base = update.row == MemoryMonitor::Row::LastMessage && decimal ? 10 : 16;
            for (std::size_t i = 0; i < update.texts.size(); ++i)
                check(isNumber(update.texts[i], base, 255) &&
                      update.texts[i].toInt(nullptr, base) ==
                          static_cast<quint8>(message.at(static_cast<qsizetype>(i))));
        }
    }
    check(monitor.log().size() <= MemoryMonitor::MaxLogRecords);
    check(monitor.logFileText().count("\r\n") == monitor.log().size() + 1);
    return 0;
}

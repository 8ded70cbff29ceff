#include "LinkCommands.h"

#include <cstdint>
#include <cstdlib>

// Reply checks on arbitrary, often short, input: no read past the bytes received, and a reply
// accepted only when its first five bytes form a frame with a valid checksum.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int address = size > 0 ? data[0] : 0;
    const bool read = LinkCommands::isValidReadReply(reply, address);
    const bool write = LinkCommands::isValidWriteReply(reply);
    const bool start = LinkCommands::isValidStartReply(reply, LinkCommands::TeachStartLead);
    const auto frame = LinkFrame::fromBytes(reply);
    if ((read || write || start) && !(frame && frame->hasValidChecksum()))
        std::abort();
    if (read && write)
        std::abort(); // different lead bytes
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkFrame.h"

quint8 LinkFrame::checksum(quint8 b0, quint8 b1, quint8 b2, quint8 b3)
{
    return static_cast<quint8>((b0 + b1 + b2 + b3) & 0xFF);
}

LinkFrame LinkFrame::build(quint8 b0, quint8 b1, quint8 b2, quint8 b3)
{
    return LinkFrame({b0, b1, b2, b3, checksum(b0, b1, b2, b3)});
}

std::optional<LinkFrame> LinkFrame::fromBytes(const QByteArray& bytes)
{
    if (bytes.size() < Size)
        return std::nullopt;
    std::array<quint8, Size> frame{};
    for (int i = 0; i < Size; ++i)
        frame[static_cast<std::size_t>(i)] = static_cast<quint8>(bytes.at(i));
    return LinkFrame(frame);
}

bool LinkFrame::hasValidChecksum() const
{
    return checksum(m_bytes[0], m_bytes[1], m_bytes[2], m_bytes[3]) == m_bytes[4];
}

QByteArray LinkFrame::toByteArray() const
{
    QByteArray bytes(Size, '\0');
    for (int i = 0; i < Size; ++i)
        bytes[i] = static_cast<char>(m_bytes[static_cast<std::size_t>(i)]);
    return bytes;
}

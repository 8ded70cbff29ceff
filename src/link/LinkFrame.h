// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <optional>

// The five-byte frame used in both directions: four bytes and their checksum.
class LinkFrame
{
public:
    static constexpr int Size = 5;

    static quint8 checksum(quint8 b0, quint8 b1, quint8 b2, quint8 b3);
    static LinkFrame build(quint8 b0, quint8 b1, quint8 b2, quint8 b3);
    // The first five received bytes as a frame; nothing when fewer arrived.
    static std::optional<LinkFrame> fromBytes(const QByteArray& bytes);

    quint8 at(int index) const { return m_bytes.at(static_cast<std::size_t>(index)); }
    quint8 lead() const { return m_bytes[0]; }
    bool hasValidChecksum() const;
    QByteArray toByteArray() const;

    bool operator==(const LinkFrame& other) const = default;

private:
    explicit LinkFrame(const std::array<quint8, Size>& bytes) : m_bytes(bytes) {}
    std::array<quint8, Size> m_bytes;
};

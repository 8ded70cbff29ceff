// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventDecoder.h"

namespace {

enum Code : quint8
{
    OutputSettings = 0x91,
    BadCoin = 0x92,
    DropTooLong = 0x93,
    Money = 0x94,
    Time = 0x95,
    Clear = 0x96,
    SensorTimes = 0xAA,
};
constexpr quint8 ClearMarker = 0x35;

QString decimal(int value)
{
    return QString::number(value);
}

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

QString EventDecoder::diameterText(quint8 b2, quint8 b3)
{
    return hex(b3) + hex(b2).rightJustified(2, QLatin1Char('0'));
}

std::optional<EventDecoder::Decoded> EventDecoder::decode(const QByteArray& bytes)
{
    if (bytes.size() < MessageSize)
        return std::nullopt;
    const auto byte = [&bytes](int i) { return static_cast<quint8>(bytes.at(i)); };
    const quint8 b1 = byte(1);
    const quint8 b2 = byte(2);
    const quint8 b3 = byte(3);
    // Unsigned: the selector counts to 65535.
    const int value = b1 + 256 * b2;

    Decoded decoded;
    auto show = [&decoded](const QString& text, StatusColour colour) {
        decoded.status = StatusLine{text, colour};
    };
    switch (byte(0)) {
    case OutputSettings:
        show(QStringLiteral("output mode= ") + decimal(b1) + QStringLiteral("t_output= ") +
                 decimal(b2) + QStringLiteral("separater= ") + decimal(b3),
             StatusColour::Blue);
        break;
    case Clear:
        if (b1 == ClearMarker)
            show(QString(), StatusColour::Blue);
        break;
    case Money:
        show(QStringLiteral(" money= ") + decimal(value) + QStringLiteral("  channel= ") +
                 decimal(b3),
             StatusColour::Blue);
        decoded.boxes[0] = decimal(value);
        break;
    case Time:
        show(QStringLiteral("time= ") + decimal(value) + QStringLiteral("  channel= ") +
                 decimal(b3),
             StatusColour::Blue);
        decoded.boxes[1] = decimal(value);
        decoded.boxes[2] = decimal(b3);
        break;
    case BadCoin:
        show(QStringLiteral("N.G!! cntAH= ") + decimal(b1) + QStringLiteral("  diaH= ") +
                 diameterText(b2, b3),
             StatusColour::Red);
        decoded.boxes[3] = decimal(b1);
        decoded.boxes[4] = diameterText(b2, b3);
        break;
    case DropTooLong:
        show(QStringLiteral("drop time too long"), StatusColour::Red);
        break;
    case SensorTimes:
        show(QStringLiteral("cntAH=%1($%2) downSensor time1=%3($%4) downSensor time2=%5($%6) ")
                 .arg(decimal(b1), hex(b1), decimal(b2), hex(b2), decimal(b3), hex(b3)),
             StatusColour::Blue);
        break;
    default:
        break;
    }
    return decoded;
}

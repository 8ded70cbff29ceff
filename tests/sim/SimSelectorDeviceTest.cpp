// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorDevice.h"

#include <QTest>

using selectorsim::Frame;
using selectorsim::SelectorDevice;

namespace {

Frame frame(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    Frame f{};
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<std::uint8_t>(bytes.at(static_cast<qsizetype>(i)));
    return f;
}

QByteArray toHex(const std::optional<Frame>& f)
{
    if (!f)
        return {};
    return QByteArray(reinterpret_cast<const char*>(f->data()), 5).toHex(' ').toUpper();
}

} // namespace

class SimSelectorDeviceTest : public QObject
{
    Q_OBJECT
private slots:
    void answersTheCommandTable_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: no reply

        QTest::newRow("read, 08 06") << QByteArray("E1050806F4") << QByteArray("E1 05 08 77 65");
        QTest::newRow("read, 55 AA") << QByteArray("E10555AAE5") << QByteArray("E1 05 55 77 B2");
        QTest::newRow("read 188") << QByteArray("E1BC0806AB") << QByteArray("E1 BC 08 10 B5");
        QTest::newRow("read 189") << QByteArray("E1BD0806AC") << QByteArray();
        QTest::newRow("read, unknown variant") << QByteArray("E1050102E9") << QByteArray();
        QTest::newRow("write") << QByteArray("E205550A46") << QByteArray("E2 05 55 0A 46");
        QTest::newRow("write 189") << QByteArray("E2BD550AFE") << QByteArray();
        QTest::newRow("write without its 55") << QByteArray("E205540A45") << QByteArray();
        QTest::newRow("teach start") << QByteArray("E3010203E9") << QByteArray("E3 01 02 03 E9");
        QTest::newRow("calibration start")
            << QByteArray("8301020389") << QByteArray("83 01 02 03 89");
        QTest::newRow("teach start, other bytes") << QByteArray("E3010204EA") << QByteArray();
        QTest::newRow("end of block") << QByteArray("890102038F") << QByteArray();
        QTest::newRow("stop") << QByteArray("840102038A") << QByteArray();
        QTest::newRow("CHP") << QByteArray("436850746F") << QByteArray("00 10 27 C3 FA");
        QTest::newRow("CPR") << QByteArray("4370527479") << QByteArray("07 27 C7 0F 04");
        QTest::newRow("unknown") << QByteArray("1234567814") << QByteArray();
    }
    void answersTheCommandTable()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        SelectorDevice device;
        device.setMemoryAt(5, 0x77);
        device.setMemoryAt(188, 0x10);
        QCOMPARE(toHex(device.answer(frame(request.constData()))), reply);
    }

    void idReplyIsAValidFrame()
    {
        SelectorDevice device;
        const std::optional<Frame> reply = device.answer(frame("9A010203A0"));
        QVERIFY(reply);
        QCOMPARE((*reply)[0], std::uint8_t{0x9A});
        QVERIFY(selectorsim::hasValidChecksum(*reply));
    }

    void replyToCarriesNothingOut()
    {
        SelectorDevice device;
        const selectorsim::Memory before = device.memory();
        QCOMPARE(toHex(device.replyTo(frame("E205550A46"))), QByteArray("E2 05 55 0A 46"));
        QCOMPARE(toHex(device.replyTo(frame("E2BD550AFE"))), QByteArray());
        QVERIFY(device.memory() == before);
        QCOMPARE(device.replyTo(frame("E1050806F4")), device.answer(frame("E1050806F4")));
    }

    void onlyValidWritesChangeMemory()
    {
        SelectorDevice device;
        const selectorsim::Memory before = device.memory();
        device.answer(frame("E2BD550AFE")); // address 189
        device.answer(frame("E205540A45")); // not a write
        device.setMemoryAt(189, 1);
        device.setMemoryAt(-1, 1);
        QVERIFY(device.memory() == before);
        QCOMPARE(device.memoryAt(189), std::uint8_t{0});
        QCOMPARE(device.memoryAt(-1), std::uint8_t{0});

        device.answer(frame("E2BC55FFF2"));
        QCOMPARE(device.memoryAt(188), std::uint8_t{0xFF});
        QCOMPARE(toHex(device.answer(frame("E1BC0806AB"))), QByteArray("E1 BC 08 FF A4"));
    }
};

QTEST_GUILESS_MAIN(SimSelectorDeviceTest)
#include "SimSelectorDeviceTest.moc"

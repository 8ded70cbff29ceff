// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameAssembler.h"
#include "SelectorSimulator.h"

#include <QTest>

#include <vector>

using selectorsim::Frame;
using selectorsim::FrameAssembler;
using namespace std::chrono_literals;

namespace {

struct Chunk
{
    std::chrono::microseconds arrival;
    QByteArray bytes;
};

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Chunk>)

class SimFrameAssemblerTest : public QObject
{
    Q_OBJECT
private:
    const FrameAssembler::TimePoint m_t0 = FrameAssembler::TimePoint{} + 1h;
    FrameAssembler pacedAssembler() const
    {
        return FrameAssembler(5 * selectorsim::SelectorSimulator::BytePeriod, 50ms);
    }

private slots:
    void cutsTheStreamIntoFrames_data()
    {
        QTest::addColumn<std::vector<Chunk>>("chunks");
        QTest::addColumn<int>("atUs"); // when the frames are taken
        QTest::addColumn<QList<QByteArray>>("expected");

        const QByteArray read0 = hex("E1000806EF");
        const QByteArray write5 = hex("E205550A46");
        QTest::newRow("not before five byte-times")
            << std::vector<Chunk>{{0us, read0}} << 2604 << QList<QByteArray>{};
        QTest::newRow("five byte-times after the first byte")
            << std::vector<Chunk>{{0us, read0}} << 2605 << QList<QByteArray>{read0};
        QTest::newRow("split frame waits for its last byte")
            << std::vector<Chunk>{{0us, read0.left(2)}, {10000us, read0.mid(2)}} << 10000
            << QList<QByteArray>{read0};
        QTest::newRow("split frame not before its last byte")
            << std::vector<Chunk>{{0us, read0.left(2)}, {10000us, read0.mid(2)}} << 9999
            << QList<QByteArray>{};
        QTest::newRow("two frames in one chunk") << std::vector<Chunk>{{0us, read0 + write5}}
                                                 << 3000 << QList<QByteArray>{read0, write5};
        QTest::newRow("bad checksum is dropped")
            << std::vector<Chunk>{{0us, hex("E1000806F0")}} << 100000 << QList<QByteArray>{};
        QTest::newRow("noise byte before a frame")
            << std::vector<Chunk>{{0us, hex("5A") + read0}} << 3000 << QList<QByteArray>{read0};
        QTest::newRow("bad frame followed by a good one")
            << std::vector<Chunk>{{0us, hex("E1000806F0")}, {1000us, write5}} << 5000
            << QList<QByteArray>{write5};
        // 1D E1 00 08 06 has a valid checksum; only dropping the stale fragment keeps the
        // next frame whole.
        QTest::newRow("stale fragment does not swallow the next frame")
            << std::vector<Chunk>{{0us, hex("1D")}, {60000us, read0}} << 70000
            << QList<QByteArray>{read0};
    }
    void cutsTheStreamIntoFrames()
    {
        QFETCH(std::vector<Chunk>, chunks);
        QFETCH(int, atUs);
        QFETCH(QList<QByteArray>, expected);

        FrameAssembler assembler = pacedAssembler();
        // Between chunks the worker wakes at every deadline; each must make progress, or
        // the worker would spin.
        for (const Chunk& chunk : chunks) {
            const auto arrival = m_t0 + chunk.arrival;
            for (auto deadline = assembler.nextDeadline(); deadline && *deadline <= arrival;) {
                QVERIFY(!assembler.takeFrame(*deadline));
                const auto next = assembler.nextDeadline();
                QVERIFY2(next != deadline, "a deadline passed without effect");
                deadline = next;
            }
            assembler.push(reinterpret_cast<const std::uint8_t*>(chunk.bytes.constData()),
                           static_cast<std::size_t>(chunk.bytes.size()), arrival);
        }
        QList<QByteArray> frames;
        while (const auto frame = assembler.takeFrame(m_t0 + std::chrono::microseconds{atUs}))
            frames.append(QByteArray(reinterpret_cast<const char*>(frame->data()), 5));
        QCOMPARE(frames, expected);
    }

    void deadlinesFollowWhatIsPending()
    {
        FrameAssembler assembler = pacedAssembler();
        QVERIFY(!assembler.nextDeadline());
        const std::uint8_t fragment[] = {0xE1, 0x00};
        assembler.push(fragment, 2, m_t0);
        QCOMPARE(assembler.nextDeadline(), m_t0 + 50ms);
        const std::uint8_t rest[] = {0x08, 0x06, 0xEF};
        assembler.push(rest, 3, m_t0 + 1ms);
        QCOMPARE(assembler.nextDeadline(), m_t0 + 5 * selectorsim::SelectorSimulator::BytePeriod);
        QVERIFY(assembler.takeFrame(*assembler.nextDeadline()));
        QVERIFY(!assembler.nextDeadline());
    }
};

QTEST_GUILESS_MAIN(SimFrameAssemblerTest)
#include "SimFrameAssemblerTest.moc"

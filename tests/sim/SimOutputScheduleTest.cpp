// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputSchedule.h"

#include <QTest>

#include <vector>

using selectorsim::OutputSchedule;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::nanoseconds Period = 100us;

struct Sent
{
    std::uint8_t byte;
    std::chrono::nanoseconds at;
    bool operator==(const Sent&) const = default;
};

struct Transmission
{
    std::vector<std::uint8_t> bytes;
    std::chrono::nanoseconds start;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Sent>)
Q_DECLARE_METATYPE(std::vector<Transmission>)

class SimOutputScheduleTest : public QObject
{
    Q_OBJECT
private:
    const OutputSchedule::TimePoint m_t0 = OutputSchedule::TimePoint{} + 1h;

    // Plays the schedule as the worker does, waking exactly at each deadline.
    std::vector<Sent> play(OutputSchedule& schedule) const
    {
        std::vector<Sent> sent;
        while (const auto deadline = schedule.nextDeadline()) {
            for (const std::uint8_t byte : schedule.takeDue(*deadline))
                sent.push_back({byte, *deadline - m_t0});
        }
        return sent;
    }

private slots:
    void pacesAndOrdersTransmissions_data()
    {
        QTest::addColumn<std::vector<Transmission>>("added");
        QTest::addColumn<std::vector<Sent>>("expected");

        QTest::newRow("one byte per period")
            << std::vector<Transmission>{{{1, 2, 3}, 0ns}}
            << std::vector<Sent>{{1, Period}, {2, 2 * Period}, {3, 3 * Period}};
        QTest::newRow("no interleaving, the second waits for the line")
            << std::vector<Transmission>{{{1, 2, 3}, 0ns}, {{4, 5}, Period}}
            << std::vector<Sent>{
                   {1, Period}, {2, 2 * Period}, {3, 3 * Period}, {4, 4 * Period}, {5, 5 * Period}};
        QTest::newRow("a late transmission lets an earlier one pass")
            << std::vector<Transmission>{{{7, 8}, 50 * Period}, {{1}, Period}}
            << std::vector<Sent>{{1, 2 * Period}, {7, 51 * Period}, {8, 52 * Period}};
        QTest::newRow("equal starts go in the order added")
            << std::vector<Transmission>{{{1}, 0ns}, {{2}, 0ns}}
            << std::vector<Sent>{{1, Period}, {2, 2 * Period}};
        QTest::newRow("nothing to send")
            << std::vector<Transmission>{{{}, 0ns}} << std::vector<Sent>{};
    }
    void pacesAndOrdersTransmissions()
    {
        QFETCH(std::vector<Transmission>, added);
        QFETCH(std::vector<Sent>, expected);
        OutputSchedule schedule(Period);
        for (const Transmission& t : added)
            schedule.add(t.bytes, m_t0 + t.start);
        QVERIFY(play(schedule) == expected);
    }

    void lateWakeUpCatchesUpWithoutLosingBytes()
    {
        OutputSchedule schedule(Period);
        schedule.add({1, 2, 3}, m_t0);
        QVERIFY(schedule.takeDue(m_t0 + Period - 1ns).empty()); // still on the line
        QCOMPARE(schedule.takeDue(m_t0 + 2 * Period - 1ns), (std::vector<std::uint8_t>{1}));
        QCOMPARE(schedule.takeDue(m_t0 + 5 * Period), (std::vector<std::uint8_t>{2, 3}));
        QVERIFY(!schedule.nextDeadline());
        QVERIFY(!schedule.transmissionEnd());
    }

    // Under way or waiting for the line, a transmission ends as its last byte crosses.
    void aTransmissionEndsWithItsLastByte()
    {
        OutputSchedule schedule(Period);
        schedule.add({1, 2, 3}, m_t0);
        schedule.add({4, 5}, m_t0);
        QCOMPARE(schedule.transmissionEnd(), std::optional(m_t0 + 3 * Period));
        QCOMPARE(schedule.takeDue(m_t0 + 3 * Period - 1ns), (std::vector<std::uint8_t>{1, 2}));
        QCOMPARE(schedule.transmissionEnd(), std::optional(m_t0 + 3 * Period));
        QCOMPARE(schedule.takeDue(m_t0 + 3 * Period), (std::vector<std::uint8_t>{3}));
        QCOMPARE(schedule.transmissionEnd(), std::optional(m_t0 + 5 * Period));
    }

    void unpacedSendsEverythingReadyAtOnce()
    {
        OutputSchedule schedule(0ns);
        schedule.add({1, 2}, m_t0);
        schedule.add({3}, m_t0);
        schedule.add({4}, m_t0 + 1ms);
        QCOMPARE(schedule.takeDue(m_t0), (std::vector<std::uint8_t>{1, 2, 3}));
        QCOMPARE(schedule.nextDeadline(), std::optional(m_t0 + 1ms));
    }
};

QTEST_GUILESS_MAIN(SimOutputScheduleTest)
#include "SimOutputScheduleTest.moc"

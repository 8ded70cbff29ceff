// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "CalibrationRun.h"
#include "CoinFeeder.h"
#include "PtyCoreRig.h"

#include <QTest>

#include <optional>

using namespace std::chrono_literals;
using selectorsim::CoinDrop;

namespace {
constexpr int Patience = 30000; // ms; generous, the machine may be busy
}

// The selector calibrated over a real pseudo-terminal, the virtual selector dropping the coins.
class CalibrationOverPtyTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<PtyCoreRig> rig;
    std::unique_ptr<selectorsim::CoinFeeder> coins;

    std::optional<CalibrationRun::Outcome> calibrate()
    {
        CalibrationRun run(rig->core);
        std::optional<CalibrationRun::Outcome> outcome;
        connect(&run, &CalibrationRun::finished, this, [&](auto o) { outcome = o; });
        if (!run.start())
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, Patience))
            qWarning("the run did not finish");
        return outcome;
    }
    int memoryAt(int address) const { return rig->simulator.memoryAt(address); }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<PtyCoreRig>();
        QVERIFY2(rig->connect(), rig->simulator.errorString().c_str());
        // Coins a tenth of a second apart: each report is read before the next one comes.
        coins = std::make_unique<selectorsim::CoinFeeder>(rig->simulator, 100ms);
        rig->core.setToken(2);
    }
    void cleanup()
    {
        coins.reset();
        rig.reset();
    }

    void fortyReportsEndAsTheRecordInTheSelector()
    {
        // AB 0x1C10 + k % 8, XY 0x6B40, dH 70 + k % 2; one report spoilt on the way.
        std::vector<CoinDrop> drops;
        for (int k = 0; k < 40; ++k)
            drops.push_back({.a = 0x1C,
                             .b = std::uint8_t(0x10 + k % 8),
                             .x = 0x6B,
                             .y = 0x40,
                             .dH = std::uint8_t(70 + k % 2)});
        drops.insert(drops.begin() + 7, CoinDrop{.a = 0x1C, .badFirstChecksum = true});
        coins->drop(drops);

        QCOMPARE(calibrate(), CalibrationRun::Outcome::Programmed);
        // Kept AB: 0x1C10..0x1C17 around 0x1C13.5, floored 0x1C13; dH 70.5 gives BM 71.
        QCOMPARE(memoryAt(124), 0x13);
        QCOMPARE(memoryAt(125), 0x1C);
        QCOMPARE(memoryAt(126), 0x6B);
        QCOMPARE(memoryAt(127), 71);
        QCOMPARE(memoryAt(120), 4); // the other record is untouched
        QCOMPARE(rig->simulator.countReceived(0x83), 1);
        QCOMPARE(rig->simulator.countReceived(0x84), 1);
        QCOMPARE(rig->simulator.countReceived(0xE2), 4);
        QVERIFY(!coins->isMeasuring());
    }

    void referenceCoinsDroppedAfterTheStartPassTheChecks()
    {
        coins->setAutomatic(true);
        QCOMPARE(calibrate(), CalibrationRun::Outcome::Programmed);
        QCOMPARE(memoryAt(125), 28);
        QVERIFY(memoryAt(127) >= 65 && memoryAt(127) <= 105);
    }
};

QTEST_GUILESS_MAIN(CalibrationOverPtyTest)
#include "CalibrationOverPtyTest.moc"

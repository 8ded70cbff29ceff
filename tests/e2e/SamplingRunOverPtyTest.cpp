// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinFeeder.h"
#include "SamplingRun.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QTest>

#include <optional>

using namespace std::chrono_literals;
using selectorsim::CoinDrop;

namespace {
constexpr int Patience = 15000; // ms; generous, the machine may be busy
}

// A channel taught over a real pseudo-terminal, the virtual selector dropping the coins.
class SamplingRunOverPtyTest : public QObject
{
    Q_OBJECT

    SystemLinkClock clock;
    std::unique_ptr<selectorsim::SelectorSimulator> simulator;
    std::unique_ptr<selectorsim::CoinFeeder> coins;
    std::unique_ptr<SelectorLink> link;
    SelectorImage image;

    std::optional<SamplingRun::Outcome> teach(int channel, const std::vector<CoinDrop>& drops)
    {
        SamplingRun run(channel, {}, *link, image);
        std::optional<SamplingRun::Outcome> outcome;
        connect(&run, &SamplingRun::finished, this, [&](auto o) { outcome = o; });
        connect(&run, &SamplingRun::progressChanged, this, [&](int accepted, int awaited) {
            if (accepted == 0 && awaited == 1)
                coins->drop(drops);
        });
        if (!run.start())
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, Patience))
            qWarning("the run did not finish");
        return outcome;
    }

private slots:
    void init()
    {
        simulator = std::make_unique<selectorsim::SelectorSimulator>();
        QVERIFY2(simulator->start(), simulator->errorString().c_str());
        // Coins a tenth of a second apart: each report is read before the next one comes.
        coins = std::make_unique<selectorsim::CoinFeeder>(*simulator, 100ms);
        link = std::make_unique<SelectorLink>(std::make_unique<SerialLinkPort>(), clock);
        QVERIFY(link->openPort(QString::fromStdString(simulator->devicePath())));
        image = SelectorImage();
    }
    void cleanup()
    {
        link.reset();
        coins.reset();
        simulator.reset();
    }

    // A selector that tags its reports with the start's lead byte, and answers a start late.
    void aChannelIsTaughtFromTheSelectorsReports()
    {
        simulator->queueFault(selectorsim::Fault::LateReply);
        // AB 0x1234 + k, X 0x50, Y 0x80, dH 0x7E, and one report spoilt on the way.
        std::vector<CoinDrop> drops;
        for (int k = 0; k < 12; ++k)
            drops.push_back(
                {.a = 0x12, .b = std::uint8_t(0x30 + k), .x = 0x50, .y = 0x80, .dH = 0x7E});
        for (CoinDrop& drop : drops)
            drop.code = 0xE3;
        drops.insert(drops.begin() + 5, CoinDrop{.a = 0x7F, .badSecondChecksum = true});

        QCOMPARE(teach(4, drops), SamplingRun::Outcome::Sampled);
        // Kept 0x1232..0x1239: mean 0x1235.5, floored 0x1235.
        QCOMPARE(image.cell(28), QString::number(0x35));
        QCOMPARE(image.cell(29), QString::number(0x12));
        QCOMPARE(image.cell(30), QString("10"));
        QCOMPARE(image.cell(33), QString("80"));
        QCOMPARE(image.cell(104), QString("129"));
        QCOMPARE(image.cell(105), QString("127"));
        QCOMPARE(simulator->countReceived(0xE3), 2);
        QTRY_COMPARE_WITH_TIMEOUT(simulator->countReceived(0x84), 1, Patience);
        QVERIFY(!coins->isMeasuring());
    }
};

QTEST_GUILESS_MAIN(SamplingRunOverPtyTest)
#include "SamplingRunOverPtyTest.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "WakeLead.h"

#include <QTest>

#include <random>

using selectorsim::WakeLead;
using namespace std::chrono_literals;

class SimWakeLeadTest : public QObject
{
    Q_OBJECT
private slots:
    // After it has learned, about one wake-up in four comes within the lead (the byte leaves a
    // little early) and the others after it; bounds hold whatever the machine does.
    void learnsTheLatenessThreeWakeUpsInFourExceed_data()
    {
        QTest::addColumn<int>("fewestMicroseconds");
        QTest::addColumn<int>("mostMicroseconds");
        QTest::addColumn<int>("leadAtLeast");
        QTest::addColumn<int>("leadAtMost");
        QTest::newRow("steady timer") << 40 << 40 << 37 << 40;
        QTest::newRow("virtual machine") << 20 << 80 << 30 << 40;
        QTest::newRow("precise timer") << 0 << 4 << 0 << 4;
        QTest::newRow("machine held up for milliseconds") << 5000 << 9000 << 200 << 200;
    }
    void learnsTheLatenessThreeWakeUpsInFourExceed()
    {
        QFETCH(int, fewestMicroseconds);
        QFETCH(int, mostMicroseconds);
        QFETCH(int, leadAtLeast);
        QFETCH(int, leadAtMost);
        std::mt19937 random(20261207);
        std::uniform_int_distribution<int> lateness(fewestMicroseconds, mostMicroseconds);
        WakeLead wakeLead;
        int withinLead = 0;
        constexpr int Learning = 2000;
        constexpr int Counted = 4000;
        for (int i = 0; i < Learning + Counted; ++i) {
            const std::chrono::microseconds late{lateness(random)};
            if (i >= Learning && late <= wakeLead.lead())
                ++withinLead;
            wakeLead.learn(late);
        }
        QVERIFY2(wakeLead.lead() >= std::chrono::microseconds{leadAtLeast} &&
                     wakeLead.lead() <= std::chrono::microseconds{leadAtMost},
                 qPrintable(QString::number(wakeLead.lead().count())));
        // Where the spread is wide against the lead's steps and within its limit.
        if (mostMicroseconds - fewestMicroseconds >= 20 && mostMicroseconds < 200)
            QVERIFY2(withinLead > Counted / 5 && withinLead < Counted * 3 / 10,
                     qPrintable(QString::number(withinLead)));
    }
};

QTEST_GUILESS_MAIN(SimWakeLeadTest)
#include "SimWakeLeadTest.moc"

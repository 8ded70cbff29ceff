// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnswerLateness.h"

#include <QTest>

using Samples = QList<QPair<int, double>>; // how many answers, each this many ms late
Q_DECLARE_METATYPE(Samples)

class AnswerLatenessTest : public QObject
{
    Q_OBJECT
private slots:
    void slowIsTheMedianOfTheLastAnswers_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<bool>("slow");
        QTest::newRow("just below the limit") << Samples{{1, 7.99}} << false;
        QTest::newRow("just above the limit") << Samples{{1, 8.01}} << true;
        QTest::newRow("one stray late answer") << Samples{{2, 0.0}, {1, 30.0}} << false;
        QTest::newRow("one stray quick answer") << Samples{{1, 0.0}, {2, 9.0}} << true;
        QTest::newRow("older answers forgotten") << Samples{{int(AnswerLateness::MaxSamples), 0.0},
                                                            {int(AnswerLateness::MaxSamples), 9.0}}
                                                 << true;
    }
    void slowIsTheMedianOfTheLastAnswers()
    {
        QFETCH(Samples, samples);
        QFETCH(bool, slow);
        AnswerLateness lateness;
        QVERIFY(!lateness.medianMs());
        QVERIFY(!lateness.isSlow());
        constexpr double sentAt = 500'000;
        for (const auto& [count, lateMs] : samples)
            for (int i = 0; i < count; ++i)
                lateness.record(sentAt, sentAt + (AnswerLateness::WireMs + lateMs) / 10);
        QCOMPARE(lateness.isSlow(), slow);
        lateness.reset();
        QVERIFY(!lateness.medianMs());
    }

    void theHintNamesWholeMilliseconds()
    {
        QCOMPARE(AnswerLateness::hint(14.6),
                 QStringLiteral("answers came 15 ms late: the adapter holds them back (its "
                                "latency timer); see 'A slow adapter' in the README"));
    }
};

QTEST_GUILESS_MAIN(AnswerLatenessTest)
#include "AnswerLatenessTest.moc"

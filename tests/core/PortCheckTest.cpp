// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCheck.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "LinkCommands.h"

#include <QTest>

#include <optional>

using Verdict = PortCheck::Verdict;

namespace {

const QByteArray Request = LinkCommands::readRequest(0).toByteArray();
const QByteArray Answer = LinkFrame::build(0xE1, 0, 0x08, 0x2A).toByteArray();

} // namespace

// The check's verdicts on fake time: the far end answers each read after a given time (in ms
// beyond the wire time of request and answer), or with other bytes, or not at all.
class PortCheckTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    std::optional<PortCheck::Result> result;

    void check(const QString& device = {})
    {
        result.reset();
        auto* portCheck = new PortCheck(rig->link, device, &rig->link);
        connect(portCheck, &PortCheck::finished, this,
                [this](const PortCheck::Result& r) { result = r; });
        portCheck->start();
        QVERIFY(pumpUntil(rig->clock, [this] { return result.has_value(); }));
    }

private slots:
    void init() { rig = std::make_unique<FakeLinkRig>(); }
    void cleanup() { rig.reset(); }

    void theVerdictNamesWhatCameBack_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies"); // per read; empty: nothing
        QTest::addColumn<QList<double>>("lateMs");      // per read
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<int>("reads");
        QTest::addColumn<double>("quickestLateMs");
        QTest::newRow("quick, just under the limit")
            << QList{Answer} << QList{7.9} << Verdict::Answers << 1 << 7.9;
        QTest::newRow("three at the limit") << QList{Answer, Answer, Answer} << QList{8.0, 9.0, 8.5}
                                            << Verdict::AnswersSlowly << 3 << 8.0;
        QTest::newRow("late once, then quick")
            << QList{Answer, Answer} << QList{30.0, 1.0} << Verdict::Answers << 2 << 1.0;
        QTest::newRow("silent") << QList<QByteArray>{{}, {}, {}} << QList{0.0, 0.0, 0.0}
                                << Verdict::Silent << 3 << 0.0;
        QTest::newRow("a fragment, then nothing")
            << QList<QByteArray>{"\x5A\xA5", {}, {}} << QList{0.0, 0.0, 0.0} << Verdict::Stray << 3
            << 0.0;
        QTest::newRow("a stray byte, then an answer")
            << QList{"\x3C" + Answer, Answer} << QList{0.0, 2.0} << Verdict::Answers << 2 << 2.0;
        QTest::newRow("echo and answer")
            << QList{Request + Answer} << QList{0.0} << Verdict::Echo << 1 << 0.0;
        // The selector's answer equals the request when its byte 0 is 06.
        QTest::newRow("an answer like the request")
            << QList{Request} << QList{1.0} << Verdict::Answers << 1 << 1.0;
    }
    void theVerdictNamesWhatCameBack()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QList<double>, lateMs);
        QFETCH(Verdict, verdict);
        QFETCH(int, reads);
        QFETCH(double, quickestLateMs);
        qsizetype read = 0;
        double lastSent = 0;
        rig->port->responder = [&](FakeLinkPort& port, const QByteArray&) {
            lastSent = rig->clock.elapsed();
            const QByteArray reply = replies.value(read);
            const double delay = (AnswerLateness::WireMs + lateMs.value(read++)) / 10;
            if (!reply.isEmpty())
                QMetaObject::invokeMethod(
                    &port,
                    [this, &port, reply, delay] {
                        rig->clock.advance(delay);
                        port.receive(reply);
                    },
                    Qt::QueuedConnection);
        };
        check();
        QCOMPARE(result->verdict, verdict);
        QCOMPARE(rig->port->written, QList<QByteArray>(reads, Request)); // reads, never a write
        QVERIFY(qAbs(result->lateMs() - quickestLateMs) < 1e-3 || !result->answered());
        QCOMPARE(result->stray.left(1), verdict == Verdict::Stray ? "\x5A" : QByteArray());
        // The line stayed quiet for the settling pause before anything else could use it.
        QVERIFY(!rig->link.isBusy());
        QVERIFY(rig->clock.elapsed() - lastSent >= SelectorLink::SettlingPauseHundredths);
    }

    void aCheckIsRefusedWithoutThePort()
    {
        QVERIFY(rig->link.beginOperation());
        check();
        QCOMPARE(result->verdict, Verdict::Busy);
        rig->link.endOperation();
        rig->port->refusedDevices << "/dev/ttyUSB3";
        check("/dev/ttyUSB3");
        QCOMPARE(result->verdict, Verdict::CannotOpen);
        QVERIFY(rig->port->written.isEmpty());
        QVERIFY(!rig->link.isBusy());
    }
};

QTEST_GUILESS_MAIN(PortCheckTest)
#include "PortCheckTest.moc"

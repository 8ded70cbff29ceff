// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayWindow.h"
#include "AppTestEnvironment.h"
#include "FakeCoreRig.h"
#include "LinkCommands.h"
#include "SelectorLink.h"
#include "StatusColours.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

class DisplayWindowTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<FakeCoreRig> rig;

    static QLabel* status(DisplayWindow& window) { return window.findChild<QLabel*>("labelStats"); }
    static QString box(DisplayWindow& window, int index)
    {
        return window.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(index))->text();
    }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<FakeCoreRig>();
        rig->port->open("fake");
    }
    void cleanup() { rig.reset(); }

    void showsEachReadInTheStatusLineAndTheBoxes_data()
    {
        QTest::addColumn<int>("threshold");     // as the last run left it
        QTest::addColumn<QStringList>("reads"); // "hundredths of quiet before it:bytes"
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("boxes"); // 0..4

        const QColor blue = StatusColours::color(StatusColour::Blue);
        const QColor red = StatusColours::color(StatusColour::Red);
        QTest::newRow("money, after teaching")
            << 10 << QStringList{"2:942C010577"} << " money= 300  channel= 5" << blue
            << QStringList{"300", "", "", "", ""};
        QTest::newRow("bad coin then time")
            << 5 << QStringList{"2:92070A1F00", "2:95FFFF0C00"} << "time= 65535  channel= 12"
            << blue << QStringList{"", "65535", "12", "7", "1F0A"};
        QTest::newRow("two in one read")
            << 5 << QStringList{"2:942C01050092070A1F00"} << "N.G!! cntAH= 7  diaH= 1F0A" << red
            << QStringList{"300", "", "", "7", "1F0A"};
        QTest::newRow("split, the rest inside the gap")
            << 5 << QStringList{"2:942C", "1:010500"} << " money= 300  channel= 5" << blue
            << QStringList{"300", "", "", "", ""};
        // A threshold left below five: the fragment is dropped, not joined to the next.
        QTest::newRow("a fragment, then the gap")
            << 4 << QStringList{"2:94010203", "2:942C0105C6"} << " money= 300  channel= 5" << blue
            << QStringList{"300", "", "", "", ""};
        QTest::newRow("a stray byte before four events")
            << 5
            << QStringList{"2:FF", "0:942C010500", "2:95FFFF0C00", "2:92070A1F00", "2:9300000000"}
            << "drop time too long" << red << QStringList{"", "65535", "12", "7", "1F0A"};
    }
    void showsEachReadInTheStatusLineAndTheBoxes()
    {
        QFETCH(int, threshold);
        QFETCH(QStringList, reads);
        QFETCH(QString, status);
        QFETCH(QColor, colour);
        QFETCH(QStringList, boxes);
        rig->core.link().setReceiveThreshold(threshold);
        DisplayWindow window(rig->core);
        rig->core.link().beginOperation();
        rig->core.link().setReceiveThreshold(SelectorLink::ReportThreshold);
        rig->core.link().endOperation();
        QCOMPARE(rig->core.link().receiveThreshold(), SelectorLink::ReplyThreshold);
        for (const QString& read : reads) {
            rig->clock.advance(read.section(':', 0, 0).toDouble());
            rig->port->receive(QByteArray::fromHex(read.section(':', 1).toLatin1()));
        }
        QCOMPARE(this->status(window)->text(), status);
        QCOMPARE(this->status(window)->palette().color(QPalette::WindowText), colour);
        for (int i = 0; i < boxes.size(); ++i)
            QCOMPARE(box(window, i), boxes[i]);
        QVERIFY(!rig->core.link().receiveFlag());
        QVERIFY(rig->port->written.isEmpty()); // it sends nothing
    }

    void anExchangeThatWaitsKeepsItsReply()
    {
        // A reply that came before its exchange started is taken by the exchange, not by a
        // display opened just then.
        rig->port->responder = nullptr;
        const QByteArray early = QByteArray::fromHex("942C0105C6");
        rig->port->receive(early);
        std::optional<SelectorLink::AttemptResult> result;
        rig->core.link().startAttempt(LinkCommands::idQuery(),
                                      [&](const SelectorLink::AttemptResult& r) { result = r; });
        DisplayWindow window(rig->core);
        QVERIFY(pumpUntil(rig->clock, [&] { return result.has_value(); }));
        QCOMPARE(result->outcome, SelectorLink::Outcome::Replied);
        QCOMPARE(result->reply, early);
        QCOMPARE(status(window)->text(), QString("00.00"));
    }
};

QTEST_MAIN(DisplayWindowTest)
#include "DisplayWindowTest.moc"

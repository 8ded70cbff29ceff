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
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QList<QByteArray>>("reads"); // hexadecimal, each arriving on its own
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("boxes"); // 0..4

        const QColor blue = StatusColours::color(StatusColour::Blue);
        const QColor red = StatusColours::color(StatusColour::Red);
        QTest::newRow("money") << 5 << QList<QByteArray>{"942C010577"} << " money= 300  channel= 5"
                               << blue << QStringList{"300", "", "", "", ""};
        QTest::newRow("bad coin then time")
            << 5 << QList<QByteArray>{"92070A1F00", "95FFFF0C00"} << "time= 65535  channel= 12"
            << blue << QStringList{"", "65535", "12", "7", "1F0A"};
        QTest::newRow("two together") << 5 << QList<QByteArray>{"930000000094010001"}
                                      << "drop time too long" << red << QStringList(5, "");
        // A threshold left below five: the short read is dropped, not joined to the next.
        QTest::newRow("four bytes, then money")
            << 4 << QList<QByteArray>{"94010203", "942C0105C6"} << " money= 300  channel= 5" << blue
            << QStringList{"300", "", "", "", ""};
    }
    void showsEachReadInTheStatusLineAndTheBoxes()
    {
        QFETCH(int, threshold);
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QString, status);
        QFETCH(QColor, colour);
        QFETCH(QStringList, boxes);
        rig->core.link().setReceiveThreshold(threshold);
        DisplayWindow window(rig->core);
        for (const QByteArray& read : reads)
            rig->port->receive(QByteArray::fromHex(read));
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryWindow.h"
#include "AppPaths.h"
#include "AppTestEnvironment.h"
#include "CoinDataFile.h"
#include "FakeCoreRig.h"
#include "FileBytes.h"
#include "SelectorLink.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class MemoryWindowTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<FakeCoreRig> rig;

    static QLineEdit* box(MemoryWindow& window, const QString& name)
    {
        return window.findChild<QLineEdit*>(name);
    }
    static QLineEdit* m(MemoryWindow& window, int address)
    {
        return box(window, QStringLiteral("m_%1").arg(address));
    }
    static QStringList row(MemoryWindow& window, int firstNumber)
    {
        QStringList texts;
        for (int i = 0; i < 5; ++i)
            texts << box(window, QStringLiteral("Text%1").arg(firstNumber + i))->text();
        return texts;
    }
    static void click(MemoryWindow& window, const char* name)
    {
        window.findChild<QAbstractButton*>(name)->click();
    }
    QString logPath() const { return AppPaths::dataFile(AppPaths::EventLogFileName); }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<FakeCoreRig>();
        rig->port->open("fake");
        for (int a = 0; a < 190; ++a)
            rig->core.image().setNumber(a, (a * 5 + 1) % 256);
    }
    void cleanup() { rig.reset(); }

    void loadFillsTheGridAndItsToolTips()
    {
        rig->core.image().setCell(7, "300");
        MemoryWindow window(rig->core);
        for (int a = 0; a < 189; ++a)
            QCOMPARE(m(window, a)->text(), QString::number(rig->core.image().selectorByte(a)));
        QCOMPARE(m(window, 189)->text(), QString());   // filled by Read only
        QCOMPARE(m(window, 7)->text(), QString("44")); // the byte that 300 programs
        QCOMPARE(m(window, 0)->toolTip(), QString("0($0)"));
        QCOMPARE(m(window, 26)->toolTip(), QString("26($1A)"));
        QCOMPARE(m(window, 188)->toolTip(), QString("188($BC)"));
        QCOMPARE(m(window, 189)->toolTip(), QString());
        QVERIFY(window.findChild<QRadioButton*>("op10")->isChecked());
        QVERIFY(window.abc());
    }

    void theOptionsConvertEveryBox_data()
    {
        QTest::addColumn<bool>("typedInHex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("converted");
        QTest::addColumn<QString>("back");
        QTest::newRow("170") << false << "170"
                             << "AA"
                             << "170";
        QTest::newRow("5") << false << "5"
                           << "5"
                           << "5";
        QTest::newRow("a lone 7 in hexadecimal") << true << "7"
                                                 << "7"
                                                 << "7";
        QTest::newRow("lower-case hexadecimal") << true << "aa"
                                                << "170"
                                                << "AA";
    }
    void theOptionsConvertEveryBox()
    {
        QFETCH(bool, typedInHex);
        QFETCH(QString, typed);
        QFETCH(QString, converted);
        QFETCH(QString, back);
        MemoryWindow window(rig->core);
        const char* first = typedInHex ? "op16" : "op10";
        const char* second = typedInHex ? "op10" : "op16";
        click(window, first);
        for (int a : {0, 100, 189})
            m(window, a)->setText(typed);
        click(window, second);
        QCOMPARE(window.abc(), typedInHex);
        for (int a : {0, 100, 189})
            QCOMPARE(m(window, a)->text(), converted);
        click(window, first);
        QCOMPARE(m(window, 189)->text(), back);
        // The other boxes come back as they were.
        const int value50 = (50 * 5 + 1) % 256;
        QCOMPARE(m(window, 50)->text(), QString::number(value50, typedInHex ? 16 : 10).toUpper());
    }

    void programWritesEveryByteAndShowsTheModeAgain_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("written");   // -1: refused
        QTest::addColumn<QString>("shown"); // the box afterwards, or the refusal
        QTest::newRow("decimal") << false << 10 << "77" << 77 << "77";
        QTest::newRow("hexadecimal") << true << 10 << "c8" << 200 << "C8";
        QTest::newRow("hex 05") << true << 10 << "05" << 5 << "5";
        QTest::newRow("hex FF") << true << 10 << "fF" << 255 << "FF";
        QTest::newRow("hex 0FF") << true << 0 << "0FF" << -1 << "Not one byte at address 0($0)";
        QTest::newRow("hex blanks") << true << 10 << " 5 " << 5 << "5";
        QTest::newRow("hex 0x5") << true << 10 << "0x5" << -1 << "Not one byte at address 10($A)";
        QTest::newRow("decimal 255") << false << 188 << "255" << 255 << "255";
        QTest::newRow("decimal 256")
            << false << 188 << "256" << -1 << "Not one byte at address 188($BC)";
        QTest::newRow("decimal 12C")
            << false << 10 << "12C" << -1 << "Not one byte at address 10($A)";
        QTest::newRow("decimal -1")
            << false << 10 << "-1" << -1 << "Not one byte at address 10($A)";
    }
    void programWritesEveryByteAndShowsTheModeAgain()
    {
        QFETCH(bool, hex);
        QFETCH(int, address);
        QFETCH(QString, typed);
        QFETCH(int, written);
        QFETCH(QString, shown);
        MemoryWindow window(rig->core);
        if (hex)
            click(window, "op16");
        m(window, address)->setText(typed);

        click(window, "Command1");
        if (written < 0) {
            QVERIFY(rig->port->written.isEmpty());
            QCOMPARE(window.findChild<QLabel*>("labelStats")->text(), shown);
            QCOMPARE(m(window, address)->palette().color(QPalette::Text), QColor(255, 0, 0));
            click(window, hex ? "op10" : "op16");
            QCOMPARE(window.abc(), !hex);
            window.setAttribute(Qt::WA_DeleteOnClose, false);
            click(window, "Command2"); // refused like Program
            QCOMPARE(rig->core.image().cell(address), QString::number((address * 5 + 1) % 256));
            return;
        }
        for (const char* command : {"Command1", "Command2", "Command3", "Command4"})
            QVERIFY2(!window.findChild<QPushButton*>(command)->isEnabled(), command);
        QVERIFY(rig->runLinkUntilIdle());
        QVERIFY(window.findChild<QPushButton*>("Command1")->isEnabled());

        QCOMPARE(rig->selector.writtenAddresses.size(), 189);
        QCOMPARE(
            QSet<int>(rig->selector.writtenAddresses.begin(), rig->selector.writtenAddresses.end())
                .size(),
            189);
        const std::array<quint8, 4> fixed{4, 52, 107, 61};
        for (int a = 0; a < 189; ++a) {
            const quint8 expected = a >= 120 && a <= 123 ? fixed[std::size_t(a - 120)]
                                    : a == address       ? quint8(written)
                                                         : quint8((a * 5 + 1) % 256);
            QCOMPARE(rig->selector.memory[std::size_t(a)], expected);
        }
        QCOMPARE(window.abc(), !hex);
        QCOMPARE(m(window, address)->text(), shown);
        QCOMPARE(m(window, 121)->text(), hex ? QString("34") : QString("52")); // as written
    }

    void aReadRefillsTheGridInTheModeShown_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::newRow("decimal") << false;
        QTest::newRow("hexadecimal") << true;
    }
    void aReadRefillsTheGridInTheModeShown()
    {
        QFETCH(bool, hex);
        rig->core.image().setNumber(5, 17);
        MemoryWindow window(rig->core);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        if (hex)
            click(window, "op16");
        click(window, "Command3");
        // Past address 5, an Exit would put the grid's old 17 back into the image.
        QVERIFY(pumpUntil(rig->clock, [&] { return rig->selector.requests.size() > 10; }));
        click(window, "Command2");
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(rig->core.image().cell(5), QString("38"));
        QCOMPARE(m(window, 5)->text(), hex ? QString("26") : QString("38"));

        // Listening again: the last message in the mode shown.
        rig->port->receive(QByteArray::fromHex("AA0CC80381"));
        const QStringList shown = hex ? QStringList{"AA", "C", "C8", "3", "81"}
                                      : QStringList{"170", "12", "200", "3", "129"};
        QCOMPARE(row(window, 1), shown);
        click(window, "Command2");
        QCOMPARE(rig->core.image().cell(5), QString("38")); // not the 17 shown before the read
    }

    void exitCopiesTheGridAndWritesTheLog_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<int>("sensorEvents");
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<bool>("logBlocked");
        QTest::newRow("three events") << false << 3 << false << false;
        QTest::newRow("three events, hexadecimal") << true << 3 << false << false;
        QTest::newRow("no sensor event") << false << 0 << false << false;
        QTest::newRow("close box") << false << 3 << true << false;
        QTest::newRow("log cannot be written") << false << 1 << false << true;
    }
    void exitCopiesTheGridAndWritesTheLog()
    {
        QFETCH(bool, hex);
        QFETCH(int, sensorEvents);
        QFETCH(bool, closeBox);
        QFETCH(bool, logBlocked);
        if (logBlocked)
            QVERIFY(QDir().mkpath(logPath()));
        // Cells that are not plain bytes keep their text unless their box is changed.
        SelectorImage file = rig->core.image();
        file.setCell(4, "87.34");
        file.setCell(5, "");
        file.setCell(7, "300");
        const QString path = environment.path("file.cdt");
        QVERIFY(FileBytes::write(path, CoinDataFile::serialize(file)));
        QVERIFY(rig->core.openFile(path));
        QPointer<MemoryWindow> window = new MemoryWindow(rig->core);
        window->show();
        rig->port->receive(QByteArray::fromHex("942C0105C6"));
        for (int i = 0; i < sensorEvents; ++i)
            rig->port->receive(LinkFrame::build(0xAA, quint8(12 + i), 200, 3).toByteArray());
        if (hex)
            click(*window, "op16");
        m(*window, 3)->setText(hex ? "4D" : "77");

        if (closeBox)
            window->close();
        else
            click(*window, "Command2");
        QTRY_VERIFY(window.isNull());

        const bool written = sensorEvents > 0 && !closeBox && !logBlocked;
        QCOMPARE(QFileInfo(logPath()).isFile(), written);
        if (written)
            QCOMPARE(FileBytes::read(logPath()),
                     QByteArray("cntah,time1,time2\r\n12,200,3\r\n13,200,3\r\n14,200,3\r\n"));
        if (logBlocked) {
            QVERIFY(rig->core.statusText().startsWith("Can not write file " + logPath()));
            QCOMPARE(rig->core.statusColour(), StatusColour::Red);
        }
        if (!closeBox)
            file.setCell(3, "77");
        QVERIFY(rig->core.mnuFileSave_Click());
        QCOMPARE(FileBytes::read(path), CoinDataFile::serialize(file));
    }

    void queriesSendTheirFramesAndTheAnswersFillTheirRows_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("frame");  // hexadecimal
        QTest::addColumn<QByteArray>("answer"); // hexadecimal
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("firstBox");
        QTest::addColumn<QString>("clear");
        QTest::newRow("ID") << "Command4" << QByteArray("9A010203A0") << QByteArray("9A53494D8F")
                            << QStringList{"9A", "53", "49", "4D", "8F"} << 6 << "Command5";
        QTest::newRow("CHP") << "Command6" << QByteArray("436850746F") << QByteArray("001027C3FA")
                             << QStringList{"0", "10", "27", "C3", "FA"} << 16 << "Command7";
        QTest::newRow("CPR") << "Command8" << QByteArray("4370527479") << QByteArray("0727C70F04")
                             << QStringList{"7", "27", "C7", "F", "4"} << 26 << "Command9";
    }
    void queriesSendTheirFramesAndTheAnswersFillTheirRows()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, shown);
        QFETCH(int, firstBox);
        QFETCH(QString, clear);
        rig->port->responder = [&](FakeLinkPort& port, const QByteArray&) {
            QMetaObject::invokeMethod(
                &port, [&] { port.receive(QByteArray::fromHex(answer)); }, Qt::QueuedConnection);
        };
        MemoryWindow window(rig->core);
        click(window, button.toLatin1());
        QCOMPARE(rig->port->written, QList<QByteArray>{QByteArray::fromHex(frame)});
        QTRY_COMPARE(row(window, firstBox), shown);
        for (int other : {6, 16, 26})
            if (other != firstBox)
                QCOMPARE(row(window, other), QStringList(5, QString()));
        click(window, clear.toLatin1());
        QCOMPARE(row(window, firstBox), QStringList(5, "0"));
    }
};

QTEST_MAIN(MemoryWindowTest)
#include "MemoryWindowTest.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataProgramming.h"
#include "AppTestEnvironment.h"
#include "ApplicationCore.h"
#include "CoinDataFile.h"
#include "FakeCoreRig.h"
#include "FileBytes.h"
#include "ParameterMap.h"
#include "SelectorLink.h"

#include <QFileInfo>
#include <QTest>

#include <optional>

namespace PM = ParameterMap;

class CoinDataProgrammingTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<FakeCoreRig> rig;
    SelectorImage taught;
    QString file;

    std::optional<CoinDataProgramming::Outcome> run()
    {
        CoinDataProgramming programming(rig->core);
        std::optional<CoinDataProgramming::Outcome> outcome;
        connect(&programming, &CoinDataProgramming::finished, this,
                [&](CoinDataProgramming::Outcome o) { outcome = o; });
        if (!programming.start(file))
            return std::nullopt;
        pumpUntil(rig->clock, [&] { return outcome.has_value() && !rig->core.link().isBusy(); });
        return outcome;
    }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<FakeCoreRig>();
        rig->core.startUp();

        // A file taught on a selector whose record reads AB 7200, XY 50, BM 70; coin 3 has
        // AB 7000 and an M1 that the shift pushes out of range, coin 5 was never taught.
        taught = SelectorImage();
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            taught.setNumber(a, 1);
        for (int coin = 1; coin <= PM::CoinCount; ++coin)
            taught.setNumber(PM::m1(coin), 60);
        const int record[] = {7200 % 256, 7200 / 256, 50, 70};
        for (int i = 0; i < 4; ++i)
            taught.setNumber(PM::calibrationRecord(2) + i, record[i]);
        taught.setNumber(PM::ea(3), 7000 % 256);
        taught.setNumber(PM::eb(3), 7000 / 256);
        taught.setNumber(PM::mad(3), 80);
        taught.setNumber(PM::m1(3), 99);
        for (int a : {PM::ea(5), PM::eb(5), PM::mad(5), PM::m1(5)})
            taught.setNumber(a, 0);
        file = environment.path("taught.cdt");
        QVERIFY(FileBytes::write(file, CoinDataFile::serialize(taught)));

        // This selector's record: AB 7400, XY 55, BM 80.
        const int own[] = {7400 % 256, 7400 / 256, 55, 80};
        for (int i = 0; i < 4; ++i)
            rig->selector.memory[std::size_t(PM::calibrationRecord(2) + i)] = quint8(own[i]);
    }
    void cleanup() { rig.reset(); }

    void programsTheShiftedFileAndKeepsTheSelectorsUpperMemory()
    {
        const quint8 ownTable = rig->selector.memory[150];
        QCOMPARE(run(), std::optional(CoinDataProgramming::Outcome::Programmed));
        QCOMPARE(int(rig->selector.memory[PM::eb(3)]), 7200 / 256);
        QCOMPARE(int(rig->selector.memory[PM::ea(3)]), 7200 % 256);
        QCOMPARE(int(rig->selector.memory[PM::mad(3)]), 85);
        QVERIFY(rig->selector.memory[PM::m1(3)] > 100);
        QCOMPARE(int(rig->selector.memory[PM::m1(5)]), 0);
        QCOMPARE(int(rig->selector.memory[PM::mad(5)]), 0);
        QCOMPARE(rig->selector.memory[150], ownTable);
        QCOMPARE(rig->core.strch(), QString(" Ch_3, "));
    }

    void stopsBeforeShiftingWhenTheSelectorCannotBeRead()
    {
        for (int request = 0; request < 5; ++request)
            rig->selector.setFault(request, FakeSelector::Fault::Silent);
        QCOMPARE(run(), std::optional(CoinDataProgramming::Outcome::ReadFailed));
        QVERIFY(rig->selector.writtenAddresses.isEmpty());
        QCOMPARE(rig->core.image().cell(PM::ea(3)), QString::number(7000 % 256));
    }

    // The limits calibration checks: the AB high byte (offset 1) 28, BM (offset 3) 65..105.
    void aRecordCalibrationWouldRejectIsNotUsed_data()
    {
        QTest::addColumn<bool>("inFile");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("refusal"); // empty: programmed
        for (const bool inFile : {true, false}) {
            const QString refused = QString("Calibration record of the %1 refused (%2 = %3)")
                                        .arg(inFile ? "file" : "selector");
            for (const int bm : {64, 65, 105, 106})
                QTest::addRow("%s BM %d", inFile ? "file" : "selector", bm)
                    << inFile << 3 << bm
                    << (bm == 65 || bm == 105 ? QString() : refused.arg("BM").arg(bm));
            for (const int high : {27, 29})
                QTest::addRow("%s BD %d", inFile ? "file" : "selector", high)
                    << inFile << 1 << high << refused.arg("BD").arg(high);
        }
    }
    void aRecordCalibrationWouldRejectIsNotUsed()
    {
        QFETCH(bool, inFile);
        QFETCH(int, offset);
        QFETCH(int, value);
        QFETCH(QString, refusal);
        const int address = PM::calibrationRecord(2) + offset;
        if (inFile)
            taught.setNumber(address, value);
        else
            rig->selector.memory[std::size_t(address)] = quint8(value);
        QVERIFY(FileBytes::write(file, CoinDataFile::serialize(taught)));
        const auto memory = rig->selector.memory;
        QCOMPARE(run(),
                 std::optional(refusal.isEmpty() ? CoinDataProgramming::Outcome::Programmed
                                                 : CoinDataProgramming::Outcome::RecordRefused));
        if (refusal.isEmpty())
            return;
        QCOMPARE(rig->core.statusText(), refusal);
        QCOMPARE(rig->core.statusColour(), StatusColour::Red);
        QVERIFY(rig->selector.memory == memory);
        QCOMPARE(rig->selector.requests.isEmpty(), inFile); // the selector's record is read first
        QCOMPARE(CoinDataFile::serialize(rig->core.image()), CoinDataFile::serialize(taught));
    }

    // A refused file sends nothing and does not become the current file, which "Save to Disk"
    // would write the image over.
    void aRefusedFileIsNeitherSentNorSavedOver_data()
    {
        QTest::addColumn<bool>("openAndProgram"); // else programming from coin data
        QTest::addColumn<QByteArray>("bytes");    // empty: no such file
        const QByteArray letter = "Dear customer,\r\nthe selector came back repaired.\r\n";
        const QByteArray binary = QByteArray::fromHex("7F454C460201FE80").repeated(40);
        for (const bool openAndProgram : {true, false}) {
            const char* opener = openAndProgram ? "open & program" : "from coin data";
            QTest::addRow("%s, a letter", opener) << openAndProgram << letter;
            QTest::addRow("%s, binary", opener) << openAndProgram << binary;
            QTest::addRow("%s, too short", opener)
                << openAndProgram << QByteArray("\"1\"\r\n\"2\"\r\n");
            QTest::addRow("%s, missing", opener) << openAndProgram << QByteArray();
        }
    }
    void aRefusedFileIsNeitherSentNorSavedOver()
    {
        QFETCH(bool, openAndProgram);
        QFETCH(QByteArray, bytes);
        const QString current = rig->core.currentFileName();
        const QString previous = rig->core.previousFileName();
        QVERIFY(bytes.isEmpty() ? QFile::remove(file) : FileBytes::write(file, bytes));
        if (openAndProgram)
            QVERIFY(!rig->core.openAndProgram(file));
        else
            QCOMPARE(run(), std::optional(CoinDataProgramming::Outcome::FileRefused));
        QVERIFY(rig->port->written.isEmpty());
        QCOMPARE(rig->core.currentFileName(), current);
        QCOMPARE(rig->core.previousFileName(), previous);

        QVERIFY(rig->core.mnuFileSave_Click());
        QCOMPARE(QFileInfo::exists(file), !bytes.isEmpty());
        QCOMPARE(FileBytes::read(file), bytes);
    }
};

QTEST_GUILESS_MAIN(CoinDataProgrammingTest)
#include "CoinDataProgrammingTest.moc"

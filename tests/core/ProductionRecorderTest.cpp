// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionRecorder.h"
#include "CoinDataFile.h"
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <QTemporaryDir>
#include <QTest>

using Outcome = ProductionRecorder::Outcome;

// What the windows and the command line both log of a programming.
class ProductionRecorderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

    ProductionRecord recordOf(const SelectorImage& image, const QString& file, bool answered,
                              const QList<int>& unconfirmed, bool verifyAsked) const
    {
        const ProductionRecorder recorder(folder.filePath("production.csv"));
        return recorder.recordOf(
            {"/dev/ttyS0", {}, image, file, answered, unconfirmed, verifyAsked});
    }

private slots:
    void theOutcomeIsTheWorstThatHappened_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QList<int>>("unconfirmed");
        QTest::addColumn<bool>("verifyAsked");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("verified");
        QTest::newRow("clean, verified")
            << true << QList<int>{} << true << Outcome::Programmed << "programmed" << true;
        QTest::newRow("bytes not held")
            << true << QList<int>{20} << false << Outcome::NotHeld << "bytes not held" << false;
        QTest::newRow("no answer and bytes not held")
            << false << QList<int>{20, 21} << true << Outcome::NoAnswer << "no answer" << false;
    }
    void theOutcomeIsTheWorstThatHappened()
    {
        QFETCH(bool, answered);
        QFETCH(QList<int>, unconfirmed);
        QFETCH(bool, verifyAsked);
        QTEST(ProductionRecorder::outcome(answered, unconfirmed), "outcome");
        const ProductionRecord record =
            recordOf(SelectorImage(), QString(), answered, unconfirmed, verifyAsked);
        QTEST(record.outcome, "logged");
        QTEST(record.verified, "verified");
        QCOMPARE(record.differing, unconfirmed);
    }

    // The file is credited only where the selector now holds it; the calibration record every
    // block puts in is not the file's to say.
    void theFileIsCreditedOnlyWhereTheSelectorHoldsIt_data()
    {
        QTest::addColumn<int>("changed"); // the address changed after saving; -1: none
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("credited");
        QTest::newRow("as saved") << -1 << true << true;
        QTest::newRow("calibration record apart")
            << ParameterMap::calibrationRecord(1) + ParameterMap::CalibrationRecordSize - 1 << true
            << true;
        QTest::newRow("a byte after the calibration record")
            << ParameterMap::calibrationRecord(1) + ParameterMap::CalibrationRecordSize << true
            << false;
        QTest::newRow("no such file") << -1 << false << false;
    }
    void theFileIsCreditedOnlyWhereTheSelectorHoldsIt()
    {
        QFETCH(int, changed);
        QFETCH(bool, saved);
        QFETCH(bool, credited);
        const QString file = folder.filePath("coins.cdt");
        QFile::remove(file);
        SelectorImage image;
        for (int address = 0; address < SelectorImage::SelectorByteCount; ++address)
            image.setNumber(address, address % 200);
        if (saved)
            QVERIFY(CoinDataFile::save(file, image, nullptr));
        if (changed >= 0)
            image.setNumber(changed, image.selectorByte(changed) + 1);
        const ProductionRecord record = recordOf(image, file, true, {}, false);
        QCOMPARE(record.file, credited ? file : QString("image"));
        QCOMPARE(record.sha256.size(), credited ? 64 : 0);
    }
};

QTEST_GUILESS_MAIN(ProductionRecorderTest)
#include "ProductionRecorderTest.moc"

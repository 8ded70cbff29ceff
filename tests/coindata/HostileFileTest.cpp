// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostileFile.h"
#include "AppTestEnvironment.h"
#include "ApplicationCore.h"
#include "CoinDataFile.h"
#include "FakeCoreRig.h"

#include <QTest>

// Whatever a user picks as a coin data file gives a bounded answer at every way in: loaded, or
// refused with its status text and the image as it was.
class HostileFileTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    void everyWayInAnswersWithinBounds_data()
    {
        QTest::addColumn<HostileFile::Kind>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CoinDataFile::LoadResult>("loaded");
        QTest::addColumn<CoinDataFile::LoadResult>("loadedComplete");
        using Kind = HostileFile::Kind;
        using Result = CoinDataFile::LoadResult;
        SelectorImage image;
        for (int address = 0; address < SelectorImage::CellCount; ++address)
            image.setNumber(address, address);
        image.setCell(200, QStringLiteral("5€"));
        const QByteArray complete = CoinDataFile::serialize(image);
        QTest::newRow("pipe") << Kind::Pipe << QByteArray() << Result::Unreadable
                              << Result::Unreadable;
        QTest::newRow("link to a device")
            << Kind::DeviceLink << QByteArray() << Result::Unreadable << Result::Unreadable;
        QTest::newRow("sparse 5 GiB")
            << Kind::Sparse << QByteArray() << Result::NotCoinData << Result::NotCoinData;
        QTest::newRow("CR alone ends lines")
            << Kind::Bytes << QByteArray(complete).replace("\r\n", "\r") << Result::Loaded
            << Result::Loaded;
        QTest::newRow("cut inside a UTF-8 sequence")
            << Kind::Bytes << complete.first(complete.indexOf("\xE2\x82\xAC") + 1) << Result::Loaded
            << Result::NotCoinData;
        QTest::newRow("empty") << Kind::Bytes << QByteArray() << Result::NotCoinData
                               << Result::NotCoinData;
    }
    void everyWayInAnswersWithinBounds()
    {
        QFETCH(HostileFile::Kind, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(CoinDataFile::LoadResult, loaded);
        QFETCH(CoinDataFile::LoadResult, loadedComplete);
        environment.reset();
        const QString path = environment.path(QTest::currentDataTag());
        QVERIFY(HostileFile::make(kind, path, bytes));
        FakeCoreRig rig;
        const struct
        {
            CoinDataFile::LoadResult (*load)(const QString&, SelectorImage&);
            bool (ApplicationCore::*open)(const QString&);
            CoinDataFile::LoadResult result;
        } waysIn[] = {
            {CoinDataFile::load, &ApplicationCore::openFile, loaded},
            {CoinDataFile::loadComplete, &ApplicationCore::openFileToProgram, loadedComplete}};
        for (const auto& way : waysIn) {
            const bool taken = way.result == CoinDataFile::LoadResult::Loaded;
            SelectorImage image;
            image.setCell(0, QStringLiteral("old"));
            const SelectorImage before = image;
            QCOMPARE(way.load(path, image), way.result);
            QCOMPARE(image == before, !taken);

            rig.core.image().setCell(0, QStringLiteral("old"));
            const SelectorImage shown = rig.core.image();
            QCOMPARE((rig.core.*way.open)(path), taken);
            QCOMPARE(rig.core.image() == shown, !taken);
            QCOMPARE(rig.core.statusText(), taken ? QString()
                                            : way.result == CoinDataFile::LoadResult::Unreadable
                                                ? "Can not read file " + path
                                                : "Not a coin data file: " + path);
        }
    }
};

QTEST_GUILESS_MAIN(HostileFileTest)
#include "HostileFileTest.moc"

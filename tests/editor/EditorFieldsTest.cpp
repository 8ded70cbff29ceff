// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorFields.h"
#include "SelectorImage.h"

#include <QTest>

#include <set>

namespace {

// Cells the editor owns: output mode, the nine numeric fields, and per coin its flags, value
// and MT1.
std::set<int> editorCells()
{
    std::set<int> cells{84, 86, 87, 88, 89, 90, 91, 92, 93, 94};
    for (int i = 0; i < 12; ++i)
        cells.insert({7 * i + 4, 7 * i + 6, 129 + i});
    return cells;
}

std::size_t coinIndex(int coin)
{
    return static_cast<std::size_t>(coin - 1);
}

QString writtenBack(const QString& stored, int address)
{
    SelectorImage image;
    image.setCell(address, stored);
    EditorFields::fromImage(image).writeTo(image);
    return image.cell(address);
}

} // namespace

class EditorFieldsTest : public QObject
{
    Q_OBJECT
private slots:
    void outputMode_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("written");
        QTest::newRow("empty") << "" << 0 << 0 << "0";
        QTest::newRow("mode 12 opens as the first entry") << "12" << 0 << 0 << "0";
        QTest::newRow("mode 15 opens as the first entry") << "15" << 0 << 0 << "0";
        QTest::newRow("mode 13 keeps the high level") << "141" << 0 << 1 << "128";
        QTest::newRow("bits 6 and 3 with level") << "200" << 8 << 1 << "136";
        QTest::newRow("last entry") << "139" << 11 << 1 << "139";
        QTest::newRow("fraction rounds half to even") << "130.5" << 2 << 1 << "130";
        QTest::newRow("level beyond the list is kept") << "300" << 0 << 2 << "256";
        QTest::newRow("negative keeps its bit 7") << "-1" << 0 << -1 << "-128";
    }
    void outputMode()
    {
        QFETCH(QString, stored);
        QFETCH(int, mode);
        QFETCH(int, level);
        QFETCH(QString, written);
        SelectorImage image;
        image.setCell(84, stored);
        const EditorFields fields = EditorFields::fromImage(image);
        QCOMPARE(fields.outputMode, mode);
        QCOMPARE(fields.inhibitLevel, level);
        QCOMPARE(writtenBack(stored, 84), written);
    }

    void coinFlags_data()
    {
        QTest::addColumn<int>("coin");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("disable");
        QTest::addColumn<int>("separator");
        QTest::addColumn<int>("toleranceA");
        QTest::addColumn<QString>("written");
        QTest::newRow("bit 6 only") << 1 << "64" << 0 << 0 << 0 << "64";
        QTest::newRow("all bits") << 12 << "255" << 1 << 3 << 15 << "255";
        QTest::newRow("empty") << 5 << "" << 0 << 0 << 0 << "0";
        QTest::newRow("trailing text") << 7 << "154abc" << 1 << 1 << 10 << "154";
        QTest::newRow("disable beyond the list") << 3 << "300" << 2 << 2 << 12 << "300";
        QTest::newRow("negative") << 2 << "-1" << -1 << 3 << 15 << "-1";
    }
    void coinFlags()
    {
        QFETCH(int, coin);
        QFETCH(QString, stored);
        QFETCH(int, disable);
        QFETCH(int, separator);
        QFETCH(int, toleranceA);
        QFETCH(QString, written);
        const int address = 7 * (coin - 1) + 4;
        SelectorImage image;
        image.setCell(address, stored);
        const EditorFields::Coin fields = EditorFields::fromImage(image).coins.at(coinIndex(coin));
        QCOMPARE(fields.disable, disable);
        QCOMPARE(fields.separator, separator);
        QCOMPARE(fields.toleranceA, toleranceA);
        QCOMPARE(writtenBack(stored, address), written);
    }

    void coinFlagsKeepBit6ThroughEdits()
    {
        SelectorImage image;
        image.setCell(11, "64");
        EditorFields fields = EditorFields::fromImage(image);
        fields.coins[1].disable = 1;
        fields.coins[1].separator = 2;
        fields.coins[1].toleranceA = 7;
        fields.writeTo(image);
        QCOMPARE(image.cell(11), "231");
    }

    void mt1_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("toleranceB");
        QTest::addColumn<int>("toleranceC");
        QTest::addColumn<QString>("written");
        QTest::newRow("default") << "85" << 5 << 5 << "85";
        QTest::newRow("empty") << "" << 0 << 0 << "0";
        QTest::newRow("high nibble") << "240" << 0 << 15 << "240";
        QTest::newRow("tolerance C beyond the list") << "256" << 0 << 16 << "256";
    }
    void mt1()
    {
        QFETCH(QString, stored);
        QFETCH(int, toleranceB);
        QFETCH(int, toleranceC);
        QFETCH(QString, written);
        SelectorImage image;
        image.setCell(140, stored);
        const EditorFields::Coin coin = EditorFields::fromImage(image).coins.at(11);
        QCOMPARE(coin.toleranceB, toleranceB);
        QCOMPARE(coin.toleranceC, toleranceC);
        QCOMPARE(writtenBack(stored, 140), written);
    }

    void numericTexts_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty timer scale B") << 94 << ""
                                             << "0";
        QTest::newRow("empty money") << 6 << ""
                                     << "0";
        QTest::newRow("above the bar") << 92 << "300"
                                       << "300";
        QTest::newRow("fraction") << 83 << "2.5"
                                  << "2";
        QTest::newRow("fraction rounds half to even") << 41 << "3.5"
                                                      << "4";
        QTest::newRow("fraction rounding beyond the bar") << 87 << "255.5"
                                                          << "255.5";
        QTest::newRow("trailing text") << 86 << "12abc"
                                       << "12";
        QTest::newRow("not a number") << 91 << "abc"
                                      << "0";
        QTest::newRow("exponent written out") << 48 << "1e3"
                                              << "1000";
    }
    void numericTexts()
    {
        QFETCH(int, address);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(writtenBack(stored, address), shown);
    }

    void fieldsReachTheirCells_data()
    {
        QTest::addColumn<int>("coin");
        QTest::addColumn<int>("flagsCell");
        QTest::addColumn<int>("moneyCell");
        QTest::addColumn<int>("mt1Cell");
        QTest::newRow("coin 1") << 1 << 4 << 6 << 129;
        QTest::newRow("coin 6") << 6 << 39 << 41 << 134;
        QTest::newRow("coin 7") << 7 << 46 << 48 << 135;
        QTest::newRow("coin 12") << 12 << 81 << 83 << 140;
    }
    void fieldsReachTheirCells()
    {
        QFETCH(int, coin);
        QFETCH(int, flagsCell);
        QFETCH(int, moneyCell);
        QFETCH(int, mt1Cell);
        SelectorImage image;
        EditorFields fields = EditorFields::fromImage(image);
        EditorFields::Coin& edited = fields.coins.at(coinIndex(coin));
        // Typed text reaches the money cell unchanged, even above 255.
        edited = {"300", 3, 4, 2, 1, 1};
        fields.writeTo(image);
        QCOMPARE(image.cell(moneyCell), "300");
        QCOMPARE(image.cell(flagsCell), "147");
        QCOMPARE(image.cell(mt1Cell), "36");
        QCOMPARE(EditorFields::fromImage(image).coins.at(coinIndex(coin)), edited);
    }

    void numericFieldsReachTheirCells()
    {
        SelectorImage image;
        EditorFields fields = EditorFields::fromImage(image);
        for (std::size_t i = 0; i < EditorFields::NumericFieldCount; ++i)
            fields.numeric[i] = QString::number(200 + i);
        fields.writeTo(image);
        const QStringList expected{"203", "204", "205", "206", "207", "208", "200", "201", "202"};
        for (int a = 86; a <= 94; ++a)
            QCOMPARE(image.cell(a), expected.at(a - 86));
    }

    void noOtherCellIsTouched()
    {
        SelectorImage image;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            image.setCell(a, "7 kept");
        EditorFields::fromImage(image).writeTo(image);
        const std::set<int> owned = editorCells();
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            QCOMPARE(image.cell(a), owned.contains(a) ? "7" : "7 kept");
    }

    void scrollPosition_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::newRow("plain") << "100" << 100;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("above the bar") << "300" << 255;
        QTest::newRow("below the bar") << "-5" << 0;
        QTest::newRow("half to even down") << "2.5" << 2;
    }
    void scrollPosition()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        QCOMPARE(EditorFields::scrollPosition(text), position);
    }
};

QTEST_GUILESS_MAIN(EditorFieldsTest)
#include "EditorFieldsTest.moc"

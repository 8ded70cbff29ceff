// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <QTest>

#include <array>

class ParameterMapTest : public QObject
{
    Q_OBJECT
private slots:
    // Every selector address has exactly one meaning: a slip in one table start would leave a
    // gap and an overlap.
    void namesEverySelectorAddressOnce()
    {
        using namespace ParameterMap;
        std::array<int, SelectorImage::SelectorByteCount> uses{};
        const auto use = [&uses](int address) {
            QVERIFY2(address >= 0 && address < SelectorImage::SelectorByteCount,
                     qPrintable(QString::number(address)));
            ++uses[static_cast<std::size_t>(address)];
        };
        for (int coin = 1; coin <= CoinCount; ++coin) {
            for (const int address :
                 {ea(coin), eb(coin), cgma(coin), tld(coin), coinFlags(coin), mad(coin),
                  money(coin), m1(coin), m2(coin), mt1(coin), mt2(coin), td(coin),
                  ParameterMap::tm(coin), coinTable177(coin)})
                use(address);
        }
        for (const int address :
             {OutputMode, SerialNo, PriceA, MultiplyFactorA, DivideFactorA, PriceB, MultiplyFactorB,
              DivideFactorB, SignalTime, TimerScaleA, TimerScaleB, HoldTime, CoinSeparator})
            use(address);
        for (const int address : {Std1L, Std1H, This1L, This1H})
            use(address);
        for (int offset = 0; offset < CalibrationRecordSize; ++offset)
            use(calibrationRecord(2) + offset);
        for (int address = 0; address < SelectorImage::SelectorByteCount; ++address)
            QVERIFY2(uses[static_cast<std::size_t>(address)] == 1,
                     qPrintable(QStringLiteral("address %1 named %2 times")
                                    .arg(address)
                                    .arg(uses[static_cast<std::size_t>(address)])));
    }

    void offersOneTextPerOutputMode()
    {
        const QStringList texts = ParameterMap::outputModeTexts();
        QCOMPARE(texts.size(), ParameterMap::OutputModeCount);
        for (int mode = 0; mode < texts.size(); ++mode)
            QVERIFY(texts[mode].startsWith(QString::number(mode + 1) + QLatin1String(". ")));
        QCOMPARE(texts.first(), QStringLiteral("1. Pulse output"));
        QCOMPARE(texts[8], QStringLiteral("9. not availiable"));
    }
};

QTEST_GUILESS_MAIN(ParameterMapTest)
#include "ParameterMapTest.moc"

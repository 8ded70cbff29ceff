// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinReportSession.h"
#include "MeasurementResult.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class CoinReport;

// What the measurement view shows of one teaching or calibration run, without widgets: each
// counted coin's measurements in the order they came, the reports that were not counted and
// why, and once the run's statistics are in, which coins they kept, the references and spreads,
// and the coins far from the others. It computes no statistics of its own.
//
// A coin is far from the others in a measurement when it lies more than three spreads and more
// than 5% away from the mean of the kept values, a spread below one counting as one (the
// spreads are floored): twelve equal coins mark nothing, and a byte measurement two counts off
// does not stand out.
class RunViewModel : public QObject
{
    Q_OBJECT
public:
    struct Measurement
    {
        QString name;
        std::function<int(const CoinReport&)> valueOf;
        QList<int> limits;     // drawn as lines
        QString referenceName; // the result line's name for the reference, if not the name
    };
    enum class PointState
    {
        Counted, // the run has not computed its statistics (yet)
        Kept,
        Dropped
    };
    struct Point
    {
        int coin; // 1.., in the order of arrival
        int value;
        PointState state;
        bool far; // far from the others in this measurement
    };

    // In the order of the statistics' own results: AB, X, Y, dH.
    static QList<Measurement> teachingMeasurements();
    // AB, XY and dH, with BM's band as dH's limits.
    static QList<Measurement> calibrationMeasurements(int lowestBm, int highestBm);

    // remedy: what to do about coins far from the others ("teach the channel again"); a single
    // coin cannot be dropped again once the run has ended.
    RunViewModel(QList<Measurement> measurements, QString remedy, QObject* parent = nullptr);

    // A new run of `coins` coins, following the session's reports; the last run's view goes.
    void begin(int coins, const CoinReportSession& session);
    // The run's statistics, in the order of the measurements.
    void finish(const std::vector<MeasurementResult>& results);

    bool hasRun() const { return m_coins > 0; }
    int coins() const { return m_coins; }
    const QList<Measurement>& measurements() const { return m_measurements; }
    QList<Point> points(int measurement) const;
    // After finish(): the measurement's result.
    const MeasurementResult* result(int measurement) const;
    // The coins far in any measurement, named by the order they were dropped so that no one
    // takes them for channels: "drop 5 looks unlike the others: teach the channel again", or
    // "drops 5, 9 look ..."; empty when there is none.
    QString hintText() const;
    // "ignored: 2 (1 bad checksum, 1 out of range)", or empty when every report counted.
    QString ignoredText() const;
    // The references in decimal, as the result line shows them in hexadecimal.
    QString resultText() const;

    // Coins taught in the window and not yet programmed or saved, shown in the legend.
    void setUnsavedCoins(QList<int> coins);
    QList<int> unsavedCoins() const { return m_unsaved; }

signals:
    void changed();

private:
    void addReport(const CoinReport& report);
    void addIgnored(CoinReportSession::IgnoredReason reason);
    bool isFar(int measurement, int arrival) const;

    QList<Measurement> m_measurements;
    QString m_remedy;
    int m_coins = 0;
    QList<QList<int>> m_values; // per measurement, per coin in order of arrival
    std::vector<MeasurementResult> m_results;
    QList<QList<int>> m_far; // per measurement, the far coins
    QList<int> m_farCoins;   // in any measurement
    std::map<CoinReportSession::IgnoredReason, int> m_ignored;
    QList<int> m_unsaved;
    QMetaObject::Connection m_accepted;
    QMetaObject::Connection m_ignoredReports;
};

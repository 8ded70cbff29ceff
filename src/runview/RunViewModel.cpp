// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunViewModel.h"

#include "CoinReport.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// A far coin lies more than this many spreads and this share of the mean from the mean.
constexpr double FarSpreads = 3.0;
constexpr double FarShare = 0.05;
constexpr int LeastSpread = 1;

QString reasonText(CoinReportSession::IgnoredReason reason)
{
    switch (reason) {
    case CoinReportSession::IgnoredReason::BadChecksum:
        return QStringLiteral("bad checksum");
    case CoinReportSession::IgnoredReason::OutOfRange:
        return QStringLiteral("out of range");
    case CoinReportSession::IgnoredReason::OutOfStep:
        return QStringLiteral("out of step");
    case CoinReportSession::IgnoredReason::TooEarly:
        return QStringLiteral("too early");
    }
    return {};
}

} // namespace

QList<RunViewModel::Measurement> RunViewModel::teachingMeasurements()
{
    return {{QStringLiteral("AB"), [](const CoinReport& r) { return r.ab(); }, {}, {}},
            {QStringLiteral("X"), [](const CoinReport& r) { return int(r.x()); }, {}, {}},
            {QStringLiteral("Y"), [](const CoinReport& r) { return int(r.y()); }, {}, {}},
            {QStringLiteral("dH"), [](const CoinReport& r) { return int(r.dH()); }, {}, {}}};
}

QList<RunViewModel::Measurement> RunViewModel::calibrationMeasurements(int lowestBm, int highestBm)
{
    return {{QStringLiteral("AB"), [](const CoinReport& r) { return r.ab(); }, {}, {}},
            {QStringLiteral("XY"), [](const CoinReport& r) { return r.xy(); }, {}, {}},
            {QStringLiteral("dH"),
             [](const CoinReport& r) { return int(r.dH()); },
             {lowestBm, highestBm},
             QStringLiteral("BM")}};
}

RunViewModel::RunViewModel(QList<Measurement> measurements, QString remedy, QObject* parent)
    : QObject(parent), m_measurements(std::move(measurements)), m_remedy(std::move(remedy)),
      m_values(m_measurements.size()), m_far(m_measurements.size())
{
}

void RunViewModel::begin(int coins, const CoinReportSession& session)
{
    disconnect(m_accepted);
    disconnect(m_ignoredReports);
    m_coins = coins;
    for (QList<int>& values : m_values)
        values.clear();
    m_results.clear();
    for (QList<int>& far : m_far)
        far.clear();
    m_farCoins.clear();
    m_ignored.clear();
    m_accepted =
        connect(&session, &CoinReportSession::reportAccepted, this, &RunViewModel::addReport);
    m_ignoredReports =
        connect(&session, &CoinReportSession::reportIgnored, this, &RunViewModel::addIgnored);
    emit changed();
}

void RunViewModel::addReport(const CoinReport& report)
{
    for (qsizetype i = 0; i < m_measurements.size(); ++i)
        m_values[i].append(m_measurements[i].valueOf(report));
    emit changed();
}

void RunViewModel::addIgnored(CoinReportSession::IgnoredReason reason)
{
    ++m_ignored[reason];
    emit changed();
}

void RunViewModel::finish(const std::vector<MeasurementResult>& results)
{
    Q_ASSERT(results.size() == std::size_t(m_measurements.size()));
    m_results = results;
    const auto counted = int(m_values.value(0).size());
    for (int arrival = 0; arrival < counted; ++arrival) {
        bool far = false;
        for (int i = 0; i < m_measurements.size(); ++i) {
            if (isFar(i, arrival)) {
                m_far[i].append(arrival + 1);
                far = true;
            }
        }
        if (far)
            m_farCoins.append(arrival + 1);
    }
    emit changed();
}

bool RunViewModel::isFar(int measurement, int arrival) const
{
    const MeasurementResult& result = m_results[std::size_t(measurement)];
    const double mean = double(result.samples.mean());
    const double distance = std::abs(m_values[measurement][arrival] - mean);
    return distance > FarSpreads * std::max(result.spread, LeastSpread) &&
           distance > FarShare * mean;
}

QList<RunViewModel::Point> RunViewModel::points(int measurement) const
{
    const MeasurementResult* done = result(measurement);
    const QList<int>& values = m_values[measurement];
    QList<Point> points;
    for (int arrival = 0; arrival < values.size(); ++arrival) {
        const PointState state = !done                           ? PointState::Counted
                                 : done->samples.isKept(arrival) ? PointState::Kept
                                                                 : PointState::Dropped;
        points.append(
            {arrival + 1, values[arrival], state, m_far[measurement].contains(arrival + 1)});
    }
    return points;
}

const MeasurementResult* RunViewModel::result(int measurement) const
{
    if (m_results.empty())
        return nullptr;
    return &m_results[std::size_t(measurement)];
}

QString RunViewModel::hintText() const
{
    if (m_farCoins.isEmpty())
        return {};
    QStringList drops;
    for (const int coin : m_farCoins)
        drops.append(QString::number(coin));
    return (m_farCoins.size() == 1 ? QStringLiteral("drop %1 looks unlike the others: %2")
                                   : QStringLiteral("drops %1 look unlike the others: %2"))
        .arg(drops.join(QStringLiteral(", ")), m_remedy);
}

QString RunViewModel::ignoredText() const
{
    int total = 0;
    QStringList reasons;
    for (const auto& [reason, count] : m_ignored) {
        total += count;
        reasons.append(QStringLiteral("%1 %2").arg(count).arg(reasonText(reason)));
    }
    if (total == 0)
        return {};
    return QStringLiteral("ignored: %1 (%2)").arg(total).arg(reasons.join(QStringLiteral(", ")));
}

QString RunViewModel::resultText() const
{
    if (m_results.empty())
        return {};
    QStringList parts;
    for (int i = 0; i < m_measurements.size(); ++i) {
        const Measurement& measurement = m_measurements[i];
        const MeasurementResult& done = m_results[std::size_t(i)];
        const QString name =
            measurement.referenceName.isEmpty() ? measurement.name : measurement.referenceName;
        parts.append(
            QStringLiteral("%1 %2 (spread %3)").arg(name).arg(done.reference).arg(done.spread));
    }
    return parts.join(QStringLiteral(", "));
}

void RunViewModel::setUnsavedCoins(QList<int> coins)
{
    m_unsaved = std::move(coins);
    emit changed();
}

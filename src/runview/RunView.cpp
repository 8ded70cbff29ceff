// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunView.h"

#include "RunViewModel.h"
#include "StatusColours.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QSettings>
#include <QStringList>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <limits>

namespace {

const QString SettingsGroup = QStringLiteral("RunView");
constexpr double MarkerSize = 9.0;
constexpr double FarMarkerSize = 17.0;
// Coin numbers are labelled every coin up to this count, every fifth beyond.
constexpr int EveryCoinUpTo = 20;

QScatterSeries* scatter(const QString& name, const QColor& colour, double size)
{
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setColor(colour);
    series->setBorderColor(colour);
    series->setMarkerSize(size);
    return series;
}

} // namespace

RunView::RunView(RunViewModel& model, const QString& settingsKey, QWidget* parent)
    : QWidget(parent), m_model(model), m_settingsKey(settingsKey),
      m_toggle(new QCheckBox(QStringLiteral("Measurements"))), m_measurement(new QComboBox(this)),
      m_chart(new QChart), m_chartView(new QChartView(m_chart, this)), m_coinAxis(new QValueAxis),
      m_valueAxis(new QValueAxis), m_result(new QLabel(this)), m_ignored(new QLabel(this)),
      m_hint(new QLabel(this)), m_unsaved(new QLabel(this))
{
    setObjectName(QStringLiteral("runView"));
    m_toggle->setObjectName(QStringLiteral("runViewToggle"));
    m_toggle->setAccessibleName(QStringLiteral("Show the measurements"));
    m_toggle->setChecked(QSettings().value(SettingsGroup + '/' + m_settingsKey, true).toBool());
    connect(m_toggle, &QCheckBox::toggled, this, [this](bool shown) {
        QSettings().setValue(SettingsGroup + '/' + m_settingsKey, shown);
        updateShown();
    });

    m_measurement->setObjectName(QStringLiteral("runViewMeasurement"));
    m_measurement->setAccessibleName(QStringLiteral("Measurement shown"));
    for (const RunViewModel::Measurement& measurement : m_model.measurements())
        m_measurement->addItem(measurement.name);
    connect(m_measurement, &QComboBox::currentIndexChanged, this, &RunView::refresh);

    m_chartView->setObjectName(QStringLiteral("runViewChart"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setMinimumSize(480, 300);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    // The coins in the order they were dropped; "coin" would read as a channel ("Coin 3").
    m_coinAxis->setTitleText(QStringLiteral("drop"));
    m_coinAxis->setLabelFormat(QStringLiteral("%d"));
    m_coinAxis->setTickType(QValueAxis::TicksDynamic);
    m_coinAxis->setTickAnchor(1);
    m_valueAxis->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(m_coinAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);

    m_result->setObjectName(QStringLiteral("runViewResult"));
    m_ignored->setObjectName(QStringLiteral("runViewIgnored"));
    m_hint->setObjectName(QStringLiteral("runViewHint"));
    StatusColours::apply(*m_hint, StatusColour::Red);
    m_unsaved->setObjectName(QStringLiteral("runViewUnsaved"));
    StatusColours::apply(*m_unsaved, StatusColour::Blue);
    for (QLabel* label : {m_result, m_ignored, m_hint, m_unsaved})
        label->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_measurement, 0, Qt::AlignLeft);
    layout->addWidget(m_chartView, 1);
    layout->addWidget(m_result);
    layout->addWidget(m_ignored);
    layout->addWidget(m_hint);
    layout->addWidget(m_unsaved);

    connect(&m_model, &RunViewModel::changed, this, [this] {
        // A view that comes into sight draws itself as it is shown.
        const bool wasVisible = isVisible();
        updateShown();
        if (wasVisible && isVisible())
            refresh();
    });
    updateShown();
}

void RunView::setTitle(const QString& title)
{
    m_chart->setTitle(title);
}

void RunView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void RunView::updateShown()
{
    // Nothing to show before the first run: the window looks as it always did.
    setVisible(m_toggle->isChecked() && m_model.hasRun());
}

void RunView::refresh()
{
    const int measurement = m_measurement->currentIndex();
    if (measurement < 0)
        return;
    m_chart->removeAllSeries();
    m_lowest = std::numeric_limits<double>::max();
    m_highest = std::numeric_limits<double>::lowest();
    drawResult(measurement);
    drawLimits(measurement);
    drawPoints(measurement);

    const int coins = m_model.coins();
    m_coinAxis->setRange(0.5, coins + 0.5);
    m_coinAxis->setTickInterval(coins <= EveryCoinUpTo ? 1 : 5);
    m_valueAxis->setTitleText(m_model.measurements()[measurement].name);
    if (m_lowest <= m_highest) {
        // Room around the values, and a visible band even when every coin agrees.
        const double margin = std::max(1.0, (m_highest - m_lowest) * 0.1);
        m_valueAxis->setRange(m_lowest - margin, m_highest + margin);
    }

    m_result->setText(m_model.resultText());
    m_result->setVisible(!m_result->text().isEmpty());
    m_ignored->setText(m_model.ignoredText());
    m_ignored->setVisible(!m_ignored->text().isEmpty());
    m_hint->setText(m_model.hintText());
    m_hint->setVisible(!m_hint->text().isEmpty());
    QStringList unsaved;
    for (const int coin : m_model.unsavedCoins())
        unsaved.append(QStringLiteral("coin %1").arg(coin));
    m_unsaved->setText(QStringLiteral("taught here, not programmed or saved: ") +
                       unsaved.join(QStringLiteral(", ")));
    m_unsaved->setVisible(!unsaved.isEmpty());
}

void RunView::drawPoints(int measurement)
{
    using State = RunViewModel::PointState;
    QScatterSeries* counted = scatter(QStringLiteral("counted"), Qt::darkBlue, MarkerSize);
    QScatterSeries* kept = scatter(QStringLiteral("kept"), Qt::darkGreen, MarkerSize);
    QScatterSeries* dropped = scatter(QStringLiteral("dropped"), Qt::gray, MarkerSize);
    QScatterSeries* far = scatter(QStringLiteral("unlike"), Qt::red, FarMarkerSize);
    far->setColor(Qt::transparent);
    far->setBorderColor(Qt::red);
    for (const RunViewModel::Point& point : m_model.points(measurement)) {
        const QPointF at(point.coin, point.value);
        (point.state == State::Counted ? counted
         : point.state == State::Kept  ? kept
                                       : dropped)
            ->append(at);
        if (point.far)
            far->append(at);
        m_lowest = std::min(m_lowest, double(point.value));
        m_highest = std::max(m_highest, double(point.value));
    }
    for (QScatterSeries* series : {counted, kept, dropped, far}) {
        if (series->count() == 0)
            delete series;
        else
            addSeries(series);
    }
}

void RunView::drawResult(int measurement)
{
    const MeasurementResult* result = m_model.result(measurement);
    if (!result)
        return;
    const double mean = double(result->samples.mean());
    QLineSeries* upper = levelLine(mean + result->spread, {});
    QLineSeries* lower = levelLine(mean - result->spread, {});
    auto* band = new QAreaSeries(upper, lower);
    upper->setParent(band);
    lower->setParent(band);
    band->setName(QStringLiteral("spread"));
    band->setColor(QColor(0, 128, 0, 40));
    band->setBorderColor(QColor(0, 128, 0, 90));
    addSeries(band);
    QLineSeries* reference = levelLine(result->reference, QStringLiteral("reference"));
    reference->setColor(Qt::darkGreen);
    addSeries(reference);
}

void RunView::drawLimits(int measurement)
{
    bool named = false;
    for (const int limit : m_model.measurements()[measurement].limits) {
        QLineSeries* line = levelLine(limit, QStringLiteral("limits"));
        line->setColor(Qt::red);
        QPen pen = line->pen();
        pen.setStyle(Qt::DashLine);
        line->setPen(pen);
        addSeries(line);
        // One entry in the legend for all of them.
        for (QLegendMarker* marker : m_chart->legend()->markers(line))
            marker->setVisible(!named);
        named = true;
    }
}

QLineSeries* RunView::levelLine(double value, const QString& name)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(0.5, value);
    line->append(m_model.coins() + 0.5, value);
    m_lowest = std::min(m_lowest, value);
    m_highest = std::max(m_highest, value);
    return line;
}

void RunView::addSeries(QAbstractSeries* series)
{
    m_chart->addSeries(series);
    series->attachAxis(m_coinAxis);
    series->attachAxis(m_valueAxis);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QString>
#include <QWidget>

class QAbstractSeries;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QValueAxis;
class RunViewModel;

// The measurement view of a window's coin runs: a chart of the chosen measurement, coin by
// coin, with what the run's statistics made of it, and lines for what the model says in words.
// It appears with the first run and stays until the window closes, unless its toggle hides it;
// the toggle's state is kept in the settings under settingsKey. Hidden, it draws nothing.
class RunView : public QWidget
{
    Q_OBJECT
public:
    RunView(RunViewModel& model, const QString& settingsKey, QWidget* parent = nullptr);

    // The check box that shows and hides the view, for the window to place.
    QCheckBox* toggle() const { return m_toggle; }
    // Names the run, above the chart.
    void setTitle(const QString& title);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateShown();
    void refresh();
    void drawPoints(int measurement);
    void drawResult(int measurement);
    void drawLimits(int measurement);
    // A horizontal line across every coin.
    QLineSeries* levelLine(double value, const QString& name);
    void addSeries(QAbstractSeries* series);

    RunViewModel& m_model;
    const QString m_settingsKey;
    QCheckBox* m_toggle;
    QComboBox* m_measurement;
    QChart* m_chart;
    QChartView* m_chartView;
    QValueAxis* m_coinAxis;
    QValueAxis* m_valueAxis;
    QLabel* m_result;
    QLabel* m_ignored;
    QLabel* m_hint;
    QLabel* m_unsaved;
    // The values drawn since the last refresh began, to fit the value axis.
    double m_lowest = 0;
    double m_highest = 0;
};

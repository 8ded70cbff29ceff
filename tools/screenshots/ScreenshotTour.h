// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinFeeder.h"
#include "SelectorEvents.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class MainWindow;
class QWidget;

namespace selectorsim {
class SelectorSimulator;
}

// Walks the program's real windows through a full read, a teaching, a calibration, the
// selector's own events and the serial ports dialog against the virtual selector, and saves a
// picture of each window once it shows what it is for. Every step is started by the controls
// a technician would use.
class ScreenshotTour : public QObject
{
    Q_OBJECT
public:
    ScreenshotTour(MainWindow& window, selectorsim::SelectorSimulator& simulator, QString folder,
                   QObject* parent = nullptr);

    void start();

signals:
    void finished(bool succeeded);

private:
    // When a step's windows are ready for their pictures.
    enum class Ready
    {
        LinkQuiet, // the link operations the step started are over
        Settled    // the selector's unsolicited messages have had time to arrive
    };
    struct Picture
    {
        QString window; // objectName
        QString file;
        QString part = {}; // a child's objectName: only that part of the window
    };
    struct Step
    {
        QString name;
        std::function<void()> act;
        Ready ready;
        QList<Picture> pictures;
    };

    QList<Step> steps();
    // Twelve coins of kind 1 with one foreign coin and one spoilt report among them.
    void dropMixedCoins();
    void runStep();
    void takePictures();
    void grabStatusWindowHalfway();
    QWidget* window(const QString& objectName) const;
    void click(const QString& windowName, const QString& buttonName);
    void trigger(const QString& actionName);
    bool save(QWidget* window, const QString& file);
    void fail(const QString& reason);

    MainWindow& m_window;
    selectorsim::CoinFeeder m_coins;
    selectorsim::SelectorEvents m_events;
    const QString m_folder;
    QList<Step> m_steps;
    qsizetype m_current = 0;
    bool m_over = false; // finished, or failed
    bool m_statusTaken = false;
    QTimer m_quiet; // restarted whenever the link goes idle
    QTimer m_settle;
    QTimer m_watchdog; // a step that never gets ready ends the tour
};

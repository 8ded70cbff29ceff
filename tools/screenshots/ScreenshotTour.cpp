// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenshotTour.h"

#include "ApplicationCore.h"
#include "CalibrationRun.h"
#include "MainWindow.h"
#include "SamplingRun.h"
#include "SelectorLink.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>

#include <array>
#include <random>
#include <vector>

namespace {

// Long enough to span the settling pause between two operations of one step.
constexpr int QuietMs = 800;
// Between two things a person does in the memory window.
constexpr int SpacingMs = 300;
// The queries' answers and the event messages of a few coins, spaced apart on the line.
constexpr int SettleMs = 2500;
constexpr int StepLimitMs = 60000;
// Coins beyond what a run takes are discarded by its stop frame; they cover rejected ones.
constexpr int SpareCoins = 8;
constexpr int CoinIntervalMs = 100;
// Where the teaching picture's odd coins fall among the twelve (0-based).
constexpr int ForeignCoinAt = 4;
constexpr std::size_t SpoiltReportAt = 8;

} // namespace

ScreenshotTour::ScreenshotTour(MainWindow& window, selectorsim::SelectorSimulator& simulator,
                               QString folder, QObject* parent)
    : QObject(parent), m_window(window),
      m_coins(simulator, std::chrono::milliseconds(CoinIntervalMs)), m_events(simulator),
      m_folder(std::move(folder))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(QuietMs);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(StepLimitMs);
    connect(&m_quiet, &QTimer::timeout, this, &ScreenshotTour::takePictures);
    connect(&m_settle, &QTimer::timeout, this, &ScreenshotTour::takePictures);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("the step \"%1\" did not finish").arg(m_steps[m_current].name));
    });
    connect(&m_window.core().link(), &SelectorLink::busyChanged, this, [this](bool busy) {
        if (busy)
            m_quiet.stop();
        else if (!m_over && m_current < m_steps.size() &&
                 m_steps[m_current].ready == Ready::LinkQuiet)
            m_quiet.start();
    });
}

QList<ScreenshotTour::Step> ScreenshotTour::steps()
{
    const QString main = QStringLiteral("frmMain");
    return {
        {QStringLiteral("read and edit"),
         [this, main] {
             click(main, QStringLiteral("ComEdit"));
             grabStatusWindowHalfway();
         },
         Ready::LinkQuiet,
         {{main, QStringLiteral("main-window.png")},
          {QStringLiteral("setting"), QStringLiteral("setting-window.png")}}},
        {QStringLiteral("teach coin 1"),
         [this, main] {
             click(main, QStringLiteral("ComTeach"));
             click(QStringLiteral("setting"), QStringLiteral("ComOK"));
             dropMixedCoins();
             click(QStringLiteral("sampling"), QStringLiteral("insert_0"));
         },
         Ready::LinkQuiet,
         {{QStringLiteral("sampling"), QStringLiteral("sampling-window.png")},
          {QStringLiteral("sampling"), QStringLiteral("sampling-measurements.png"),
           QStringLiteral("runView")}}},
        {QStringLiteral("calibrate"),
         [this] {
             trigger(QStringLiteral("mnuTK1"));
             // dH, with the band that BM must fall in.
             if (QWidget* calibration = window(QStringLiteral("calibration")))
                 calibration->findChild<QComboBox*>(QStringLiteral("runViewMeasurement"))
                     ->setCurrentText(QStringLiteral("dH"));
             m_coins.dropReference(CalibrationRun::SampleCount + SpareCoins);
             click(QStringLiteral("calibration"), QStringLiteral("insert_0"));
         },
         Ready::LinkQuiet,
         {{QStringLiteral("calibration"), QStringLiteral("calibration-window.png")},
          {QStringLiteral("calibration"), QStringLiteral("calibration-measurements.png"),
           QStringLiteral("runView")}}},
        // The monitor windows each take what arrives on the line: one at a time.
        {QStringLiteral("queries and events"),
         [this] {
             trigger(QStringLiteral("mnuPar"));
             // ID, CHP and CPR, then two coins, one after the other as a person would.
             const std::array<const char*, 3> queries{"Command4", "Command6", "Command8"};
             for (std::size_t i = 0; i < queries.size(); ++i)
                 QTimer::singleShot(int(i) * SpacingMs, this, [this, query = queries[i]] {
                     click(QStringLiteral("memory"), QLatin1String(query));
                 });
             QTimer::singleShot(int(queries.size()) * SpacingMs, this,
                                [this] { m_events.coinsPassed(2, 5); });
         },
         Ready::Settled,
         {{QStringLiteral("memory"), QStringLiteral("memory-window.png")}}},
        {QStringLiteral("live display"),
         [this] {
             click(QStringLiteral("memory"), QStringLiteral("Command2")); // exit
             trigger(QStringLiteral("mnuDisplay"));
             m_events.coinsPassed(3, 2);
         },
         Ready::Settled,
         {{QStringLiteral("display"), QStringLiteral("display-window.png")}}},
        {QStringLiteral("serial ports"),
         [this] {
             trigger(QStringLiteral("mnuPorts"));
             click(QStringLiteral("ports"), QStringLiteral("CheckPort1"));
         },
         Ready::Settled,
         {{QStringLiteral("ports"), QStringLiteral("ports-dialog.png")}}},
    };
}

void ScreenshotTour::dropMixedCoins()
{
    std::mt19937 random; // default seed: the same picture every time
    std::vector<selectorsim::CoinDrop> drops;
    for (int i = 0; i < SamplingRun::SampleCount + SpareCoins; ++i)
        drops.push_back(selectorsim::CoinDrop::ofKind(i == ForeignCoinAt ? 2 : 1, random));
    drops[SpoiltReportAt].badSecondChecksum = true;
    m_coins.drop(drops);
}

void ScreenshotTour::start()
{
    if (!QDir().mkpath(m_folder)) {
        fail(QStringLiteral("cannot create %1").arg(m_folder));
        return;
    }
    m_steps = steps();
    m_current = 0;
    runStep();
}

void ScreenshotTour::runStep()
{
    const Step& step = m_steps[m_current];
    qInfo("%s", qPrintable(step.name));
    m_watchdog.start();
    step.act();
    if (m_over)
        return; // the step failed
    if (step.ready == Ready::Settled)
        m_settle.start();
    else if (!m_window.core().link().isBusy())
        fail(QStringLiteral("the step \"%1\" started no link operation").arg(step.name));
}

void ScreenshotTour::takePictures()
{
    for (const Picture& picture : m_steps[m_current].pictures) {
        QWidget* shown = window(picture.window);
        if (shown && !picture.part.isEmpty())
            shown = shown->findChild<QWidget*>(picture.part);
        if (!shown || !shown->isVisible()) {
            fail(QStringLiteral("%1 %2 is not shown").arg(picture.window, picture.part));
            return;
        }
        if (!save(shown, picture.file))
            return;
    }
    if (++m_current < m_steps.size()) {
        runStep();
        return;
    }
    if (!m_statusTaken) {
        fail(QStringLiteral("the status window never showed a transfer halfway"));
        return;
    }
    m_over = true;
    m_watchdog.stop();
    emit finished(true);
}

void ScreenshotTour::grabStatusWindowHalfway()
{
    QWidget* status = window(QStringLiteral("ff"));
    auto* bar = status ? status->findChild<QProgressBar*>(QStringLiteral("bar")) : nullptr;
    if (!bar) {
        fail(QStringLiteral("the read shows no status window"));
        return;
    }
    connect(bar, &QProgressBar::valueChanged, this, [this, status, bar](int value) {
        if (!m_statusTaken && bar->maximum() > 0 && 2 * value >= bar->maximum())
            m_statusTaken = save(status, QStringLiteral("status-window.png"));
    });
}

QWidget* ScreenshotTour::window(const QString& objectName) const
{
    if (m_window.objectName() == objectName)
        return &m_window;
    return m_window.findChild<QWidget*>(objectName, Qt::FindDirectChildrenOnly);
}

void ScreenshotTour::click(const QString& windowName, const QString& buttonName)
{
    QWidget* owner = window(windowName);
    auto* button = owner ? owner->findChild<QPushButton*>(buttonName) : nullptr;
    if (!button) {
        fail(QStringLiteral("no button %1 in %2").arg(buttonName, windowName));
        return;
    }
    button->click();
}

void ScreenshotTour::trigger(const QString& actionName)
{
    auto* action = m_window.findChild<QAction*>(actionName);
    if (!action) {
        fail(QStringLiteral("no menu item %1").arg(actionName));
        return;
    }
    action->trigger();
}

bool ScreenshotTour::save(QWidget* window, const QString& file)
{
    const QString path = QDir(m_folder).filePath(file);
    if (!window->grab().save(path)) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    qInfo("  %s", qPrintable(path));
    return true;
}

void ScreenshotTour::fail(const QString& reason)
{
    if (m_over)
        return;
    m_over = true;
    m_quiet.stop();
    m_settle.stop();
    m_watchdog.stop();
    qWarning("screenshots: %s", qPrintable(reason));
    emit finished(false);
}

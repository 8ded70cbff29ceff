// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingWindow.h"

#include "ApplicationCore.h"
#include "RunCounters.h"
#include "RunView.h"
#include "RunViewModel.h"
#include "SamplingRun.h"
#include "SamplingStatistics.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "StatusColours.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr std::size_t RowsPerFrame = 6;
const QString DesignMoneyText = QStringLiteral("255");

// The row labels: the left frame counts down from Label1, the right one from Label12.
QString rowLabelName(std::size_t channel)
{
    const std::size_t number = channel < RowsPerFrame ? channel + 1 : 18 - channel;
    return QStringLiteral("Label%1").arg(number);
}

QString rowCaption(std::size_t channel)
{
    const std::size_t coin = channel + 1;
    return coin < 10 ? QStringLiteral("Coin %1: $ ").arg(coin)
                     : QStringLiteral("Coin%1: $ ").arg(coin);
}

} // namespace

SamplingWindow::SamplingWindow(ApplicationCore& core, int operation, QWidget* parent)
    : QWidget(parent, Qt::Window), m_core(core)
{
    setObjectName(QStringLiteral("sampling"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(operation == 0 ? QStringLiteral("Sampling") : QStringLiteral("Calibration"));

    auto* frames = new QHBoxLayout;
    frames->addWidget(createFrame(0));
    frames->addWidget(createFrame(RowsPerFrame));

    m_interrept = new QPushButton(QStringLiteral("Cancel"), this);
    m_interrept->setObjectName(QStringLiteral("interrept"));
    m_interrept->hide();
    connect(m_interrept, &QPushButton::clicked, this, [this] {
        // Hiding the button is the request: the run stops at its next wait for a coin.
        m_interrept->hide();
        if (m_run)
            m_run->cancel();
    });

    m_command1 = new QPushButton(QStringLiteral("Save as a CDT file"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(QStringLiteral("Program to Coin Selector"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command3 = new QPushButton(QStringLiteral("exit"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    connect(m_command1, &QPushButton::clicked, this, &SamplingWindow::saveAsCdtFile);
    connect(m_command2, &QPushButton::clicked, this, &SamplingWindow::programToSelector);
    connect(m_command3, &QPushButton::clicked, this, &SamplingWindow::exitWithConversion);
    auto* commands = new QHBoxLayout;
    commands->addWidget(m_command1);
    commands->addWidget(m_command2);
    commands->addWidget(m_command3);
    m_runModel = new RunViewModel(RunViewModel::teachingMeasurements(),
                                  QStringLiteral("teach the channel again"), this);
    m_runView = new RunView(*m_runModel, QStringLiteral("Sampling"), this);
    commands->addWidget(m_runView->toggle());

    m_labelStats = new QLabel(QStringLiteral("standby"), this);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setWordWrap(true);
    m_labelStats->setAccessibleDescription(QStringLiteral("Status"));
    m_strch2 = new QLabel(this);
    m_strch2->setObjectName(QStringLiteral("STRCH2"));
    m_strch2->setAccessibleDescription(QStringLiteral("Channels to teach again"));
    m_strch2->hide();
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_labelStats, 1);
    statusRow->addWidget(m_strch2);

    auto* layout = new QVBoxLayout;
    layout->addLayout(frames);
    m_runCounters = new RunCounters(this);
    m_runCounters->hide();
    layout->addWidget(m_runCounters);
    layout->addWidget(m_interrept, 0, Qt::AlignLeft);
    layout->addLayout(commands);
    layout->addLayout(statusRow);
    // The measurements stand beside the rows; hidden, they take no room.
    auto* beside = new QHBoxLayout(this);
    beside->addLayout(layout);
    beside->addWidget(m_runView, 1);

    m_chooseSaveFile = [this](const QString& title) {
        return QFileDialog::getSaveFileName(this, title, QString(), QStringLiteral(" (*.cdt)"));
    };

    showAmounts();
    showMode(operation);
    setLinkBusy(m_core.link().isBusy());
    connect(&m_core.link(), &SelectorLink::busyChanged, this, &SamplingWindow::setLinkBusy);
}

QWidget* SamplingWindow::createFrame(std::size_t firstChannel)
{
    auto* frame = new QGroupBox(QStringLiteral("COIN"), this);
    frame->setObjectName(firstChannel == 0 ? QStringLiteral("Frame1") : QStringLiteral("Frame2"));
    auto* grid = new QGridLayout(frame);
    for (std::size_t row = 0; row < RowsPerFrame; ++row) {
        const std::size_t channel = firstChannel + row;
        const QString index = QString::number(channel);
        Channel& controls = m_channels[channel];
        auto* caption = new QLabel(rowCaption(channel), frame);
        caption->setObjectName(rowLabelName(channel));
        controls.money = new QLineEdit(DesignMoneyText, frame);
        controls.money->setObjectName(QStringLiteral("money_") + index);
        caption->setBuddy(controls.money);
        controls.insert = new QPushButton(QStringLiteral("Insert"), frame);
        controls.insert->setObjectName(QStringLiteral("insert_") + index);
        controls.insert->setAccessibleName(rowCaption(channel) + QStringLiteral("Insert"));
        controls.bar = new QProgressBar(frame);
        controls.bar->setObjectName(QStringLiteral("bar_") + index);
        controls.bar->setAccessibleName(rowCaption(channel) + QStringLiteral("progress"));
        controls.bar->setTextVisible(false);
        connect(controls.insert, &QPushButton::clicked, this, [this, channel] { insert(channel); });
        const int gridRow = static_cast<int>(row);
        grid->addWidget(caption, gridRow, 0);
        grid->addWidget(controls.money, gridRow, 1);
        grid->addWidget(controls.insert, gridRow, 2);
        grid->addWidget(controls.bar, gridRow, 3);
    }
    return frame;
}

void SamplingWindow::insert(std::size_t channel)
{
    if (m_run || m_core.link().isBusy())
        return;
    // cdt as it stands when the results are written ("Teach Coin Selector" may clear it while
    // the coins come).
    auto* run = new SamplingRun(
        static_cast<int>(channel), [&core = m_core] { return core.cdt() == 1; }, m_core.link(),
        m_core.image(), this);
    QProgressBar* bar = m_channels[channel].bar;
    connect(run, &SamplingRun::statusChanged, this, &SamplingWindow::showStatus);
    connect(run, &SamplingRun::progressChanged, this, [this, bar](int accepted, int awaited) {
        m_runCounters->setAccepted(accepted);
        bar->setValue(awaited);
    });
    connect(run, &SamplingRun::sampled, this,
            [this, channel](const SamplingStatistics& statistics) {
                m_runModel->finish(statistics.measurements());
                QList<int> unsaved = m_runModel->unsavedCoins();
                const int coin = static_cast<int>(channel) + 1;
                if (!unsaved.contains(coin))
                    m_runModel->setUnsavedCoins(unsaved << coin);
            });
    connect(run, &SamplingRun::completed, this, [this] { showRunControls(false); });
    connect(run, &SamplingRun::finished, this, [this, run] {
        m_run = nullptr;
        run->deleteLater();
    });
    bar->setMaximum(SamplingRun::SampleCount);
    bar->setValue(0);
    m_runCounters->setCount(SamplingRun::SampleCount);
    showRunControls(true);
    if (!run->start()) {
        showRunControls(false);
        delete run;
        return;
    }
    m_run = run;
    m_runView->setTitle(QStringLiteral("Coin %1").arg(channel + 1));
    m_runModel->begin(SamplingRun::SampleCount, run->session());
}

void SamplingWindow::showRunControls(bool shown)
{
    m_runCounters->setVisible(shown);
    m_interrept->setVisible(shown);
}

void SamplingWindow::showAmounts()
{
    const std::optional<MoneyConversion::Amounts> amounts =
        MoneyConversion::amounts(m_core.image());
    m_amountsShown = amounts.has_value();
    if (!amounts)
        return;
    for (std::size_t channel = 0; channel < ChannelCount; ++channel)
        m_channels[channel].money->setText(MoneyConversion::amountText((*amounts)[channel]));
}

void SamplingWindow::showMode(int operation)
{
    if (operation == 0) {
        m_labelStats->setText(QStringLiteral("press  \"Insert\"  !!"));
        return;
    }
    const QString channels = m_core.strch();
    m_strch2->setText(channels);
    StatusColours::apply(*m_strch2, StatusColour::Blue);
    if (channels == QStringLiteral(" ")) {
        showStatus(QStringLiteral("You can press \"Program to coin selector\" directly !!"),
                   StatusColour::Red);
    } else {
        m_strch2->show();
        showStatus(QStringLiteral("Press \"Insert\" for channels:"), StatusColour::Red);
    }
}

void SamplingWindow::showWarning(const QString& text)
{
    showStatus(text, StatusColour::Red);
}

void SamplingWindow::showStatus(const QString& text, StatusColour colour)
{
    StatusColours::show(*m_labelStats, text, colour);
}

void SamplingWindow::setLinkBusy(bool busy)
{
    m_command2->setEnabled(!busy);
    for (const Channel& channel : m_channels)
        channel.insert->setEnabled(!busy);
}

void SamplingWindow::saveAsCdtFile()
{
    // The image is saved as it is: amounts edited in the boxes reach it only on "exit".
    const QString chosen = m_chooseSaveFile(QStringLiteral("save file"));
    if (chosen.isEmpty())
        return;
    const QString failure = m_core.saveCurrentFileAs(chosen);
    if (!failure.isEmpty())
        showStatus(failure, StatusColour::Red);
    else
        m_runModel->setUnsavedCoins({});
}

void SamplingWindow::programToSelector()
{
    // The transfer may outlive the window.
    QPointer<RunViewModel> model(m_runModel);
    m_core.mnuProgram_Click([model](bool succeeded) {
        if (succeeded && model)
            model->setUnsavedCoins({});
    });
}

void SamplingWindow::exitWithConversion()
{
    if (m_amountsShown) {
        MoneyConversion::BoxTexts boxes;
        for (std::size_t channel = 0; channel < ChannelCount; ++channel)
            boxes[channel] = m_channels[channel].money->text();
        MoneyConversion::writeBack(m_core.image(), boxes);
    }
    close();
}

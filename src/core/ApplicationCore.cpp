// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"

#include "AppPaths.h"
#include "DefaultSets.h"
#include "LinkPort.h"
#include "PortFailure.h"
#include "PortMap.h"
#include "SelectorLink.h"

#include <QDebug>
#include <QSettings>

#include <utility>

namespace {

constexpr std::size_t StoredPortChecks = 4; // Com9's check is not remembered

QString portStatusName(int portNumber)
{
    // The warning for Com9 has always been written in capitals.
    return portNumber == 9 ? QStringLiteral("COM9") : QStringLiteral("com%1").arg(portNumber);
}

// The reason, when the port can tell it, follows on the same line.
QString openWarning(int portNumber, const QString& reason)
{
    QString warning =
        QStringLiteral("warning:something wrong to open %1").arg(portStatusName(portNumber));
    if (!reason.isEmpty())
        warning += QStringLiteral(": ") + reason;
    return warning;
}

} // namespace

ApplicationCore::ApplicationCore(std::unique_ptr<LinkPort> port, LinkClock& clock, QObject* parent)
    : QObject(parent), m_link(new SelectorLink(std::move(port), clock, this)),
      m_journal(AppPaths::dataFile(AppPaths::JournalFolderName)),
      m_recorder(AppPaths::dataFile(AppPaths::ProductionLogFileName)),
      m_currentFile(AppPaths::dataFile(AppPaths::CurrentFileName)),
      m_previousFile(AppPaths::dataFile(AppPaths::PreviousFileName))
{
    connect(m_link, &SelectorLink::portFailed, this, &ApplicationCore::onPortFailed);
    // A replugged adapter works again: the warning that it was gone would no longer be true.
    connect(m_link, &SelectorLink::reopened, this, [this] { showPortInUse(m_portNumber); });
    connect(m_link, &SelectorLink::reopenFailed, this, [this](const QString& reason) {
        showStatus(openWarning(m_portNumber, reason), StatusColour::Red);
    });
}

ApplicationCore::~ApplicationCore()
{
    // Running operations refer to the link and the image: end them while both still exist.
    qDeleteAll(findChildren<BlockSequence*>(Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<ImageTransfer*>(Qt::FindDirectChildrenOnly));
}

void ApplicationCore::startUp()
{
    DefaultSets::applyMainWindowDefaults(m_image);

    StartupSettings startup = startupSettings();
    StartupFile::read(AppPaths::dataFile(AppPaths::StartupFileName), startup);
    setFileNames(startup.currentFile, startup.previousFile);
    std::array<bool, PortNumbers.size()> checks = m_portChecks;
    std::copy(startup.comChecked.begin(), startup.comChecked.end(), checks.begin());
    setPortChecks(checks);

    mnuName1_Click();

    // The last checked of Com1..Com4 wins; Com9 is not consulted.
    int portNumber = 1;
    for (std::size_t i = 0; i < StoredPortChecks; ++i)
        if (m_portChecks[i])
            portNumber = PortNumbers[i];
    const bool portOpened = openPortNumber(portNumber);

    clearStatus();
    if (!portOpened)
        showStatus(openWarning(portNumber, m_link->openFailure()), StatusColour::Red);
}

bool ApplicationCore::exit()
{
    AppPaths::ensureDataFolder();
    const bool written =
        StartupFile::write(AppPaths::dataFile(AppPaths::StartupFileName), startupSettings());
    m_link->closePort();
    return written;
}

bool ApplicationCore::deferCloseWhileProgramming(std::function<void()> close)
{
    if (!m_programming)
        return false;
    if (!m_closeAfterProgramming) {
        m_closeAfterProgramming = std::move(close);
        showStatus(QStringLiteral("Finishing the programming before closing..."),
                   StatusColour::Blue);
    }
    return true;
}

StartupSettings ApplicationCore::startupSettings() const
{
    StartupSettings settings;
    settings.currentFile = m_currentFile;
    settings.previousFile = m_previousFile;
    for (std::size_t i = 0; i < StoredPortChecks; ++i)
        settings.comChecked[i] = m_portChecks[i];
    return settings;
}

void ApplicationCore::showStatus(const QString& text, StatusColour colour)
{
    m_statusText = text;
    m_statusColour = colour;
    emit statusChanged();
}

void ApplicationCore::clearStatus()
{
    showStatus(QString(), m_statusColour);
}

bool ApplicationCore::openPortNumber(int portNumber)
{
    m_portNumber = portNumber;
    return openPort(PortMap::device(QSettings(), portNumber));
}

bool ApplicationCore::openPort(const QString& device)
{
    m_portDevice = device;
    return m_link->openPort(device);
}

bool ApplicationCore::isPortChecked(int portNumber) const
{
    for (std::size_t i = 0; i < PortNumbers.size(); ++i)
        if (PortNumbers[i] == portNumber)
            return m_portChecks[i];
    return false;
}

void ApplicationCore::setPortChecks(const std::array<bool, PortNumbers.size()>& checks)
{
    m_portChecks = checks;
    emit portChecksChanged();
}

void ApplicationCore::choosePort(int portNumber)
{
    std::array<bool, PortNumbers.size()> checks{};
    for (std::size_t i = 0; i < PortNumbers.size(); ++i)
        checks[i] = PortNumbers[i] == portNumber;
    setPortChecks(checks);
    m_link->closePort();
    if (openPortNumber(portNumber)) {
        showPortInUse(portNumber);
        return;
    }
    QString warning = openWarning(portNumber, m_link->openFailure());
    if (portNumber != 1) {
        setPortChecks({true, false, false, false, false});
        // Without this the technician would believe Com1 is in use.
        if (!openPortNumber(1))
            warning += QLatin1Char('\n') + openWarning(1, m_link->openFailure());
    }
    showStatus(warning, StatusColour::Red);
}

void ApplicationCore::showPortInUse(int portNumber)
{
    showStatus(QStringLiteral("commucation port use com%1:").arg(portNumber), StatusColour::Blue);
}

void ApplicationCore::onPortFailed()
{
    // The system's words ("Resource temporarily unavailable") would not tell a technician what
    // happened; the frame trace keeps them.
    showStatus(QStringLiteral("warning:%1 closed: %2")
                   .arg(portStatusName(m_portNumber), PortFailure::lostLine()),
               StatusColour::Red);
}

void ApplicationCore::setPortDevices(const std::array<QString, PortNumbers.size()>& devices)
{
    QSettings settings;
    bool inUseChanged = false;
    for (std::size_t i = 0; i < PortNumbers.size(); ++i)
        if (PortMap::setDevice(settings, PortNumbers[i], devices[i]) &&
            PortNumbers[i] == m_portNumber)
            inUseChanged = true;
    if (inUseChanged)
        choosePort(m_portNumber);
}

bool ApplicationCore::mnuReadSelector_Click(Continuation then)
{
    return runRead(ImageTransfer::Kind::FullRead, std::move(then));
}

bool ApplicationCore::ThisReadSelector_Click(Continuation then)
{
    return runRead(ImageTransfer::Kind::PartialRead, std::move(then));
}

bool ApplicationCore::readBeforeSampling(Continuation then)
{
    return runRead(ImageTransfer::Kind::SamplingRead, std::move(then));
}

bool ApplicationCore::runRead(ImageTransfer::Kind kind, Continuation then)
{
    if (m_link->isBusy())
        return false;
    m_opened = false;
    auto* transfer = ImageTransfer::read(kind, *m_link, m_image, m_display, this);
    connect(transfer, &ImageTransfer::completed, this, [this, kind](bool succeeded) {
        m_opened = succeeded;
        if (succeeded && kind == ImageTransfer::Kind::FullRead)
            keepInJournal(QStringLiteral("read"));
    });
    connect(transfer, &ImageTransfer::finished, this, [transfer, then](bool succeeded) {
        transfer->deleteLater();
        if (then)
            then(succeeded);
    });
    return transfer->start();
}

bool ApplicationCore::program_to_selector(Continuation then)
{
    return runBlocks({{m_begin, m_total}},
                     QStringLiteral("program-%1-%2").arg(m_begin).arg(m_total), std::move(then));
}

bool ApplicationCore::mnuProgram_Click(Continuation then)
{
    return runBlocks(BlockSequence::standardBlocks(), QStringLiteral("program"), std::move(then));
}

bool ApplicationCore::runBlocks(const QList<BlockSequence::Block>& blocks, const QString& operation,
                                Continuation then)
{
    auto* sequence = new BlockSequence(blocks, *m_link, m_image, m_display, this);
    const bool verify = m_verifyAfterProgramming;
    sequence->setVerifyAfterProgramming(verify);
    connect(sequence, &BlockSequence::finished, this,
            [this, sequence, operation, then, verify](bool succeeded) {
                sequence->deleteLater();
                m_programming = false;
                m_unconfirmed = sequence->unconfirmedAddresses();
                m_programmingAnswered = sequence->everyBlockAnswered();
                if (succeeded)
                    keepInJournal(operation);
                // Both the programming's failure and a log that cannot be written are said
                // on the status line, neither hiding the other.
                QStringList said;
                if (!succeeded && verify && !m_unconfirmed.isEmpty())
                    said.append(BlockSequence::unconfirmedText(m_unconfirmed));
                const QString logFailure = recordProduction(verify);
                if (!logFailure.isEmpty())
                    said.append(logFailure);
                if (!said.isEmpty())
                    showStatus(said.join(QLatin1Char('\n')), StatusColour::Red);
                if (m_closeAfterProgramming)
                    std::exchange(m_closeAfterProgramming, {})();
                else if (then)
                    then(succeeded);
            });
    m_unconfirmed.clear();
    m_programmedAdapter = m_recorder.adapterOf(m_portDevice);
    m_programming = sequence->start();
    if (m_programming)
        return true;
    delete sequence;
    return false;
}

void ApplicationCore::keepInJournal(const QString& operation)
{
    // The operation itself went through: a journal that cannot be written is only said.
    const QString failure = m_journal.record(m_image, operation);
    if (!failure.isEmpty())
        qWarning().noquote() << failure;
}

QString ApplicationCore::recordProduction(bool verified)
{
    const QString failure =
        m_recorder.record({m_portDevice, m_programmedAdapter, m_image, m_currentFile,
                           m_programmingAnswered, m_unconfirmed, verified});
    if (failure.isEmpty() || m_productionLogFailureSaid)
        return QString();
    m_productionLogFailureSaid = true;
    emit productionLogFailed(failure);
    return failure;
}

void ApplicationCore::setFileNames(QString current, QString previous)
{
    m_currentFile = std::move(current);
    m_previousFile = std::move(previous);
    emit fileNamesChanged();
}

void ApplicationCore::shiftNames(const QString& chosen)
{
    setFileNames(chosen, m_currentFile);
}

void ApplicationCore::mnuName1_Click()
{
    CoinDataFile::load(m_currentFile, m_image);
}

void ApplicationCore::mnuName2_Click()
{
    setFileNames(m_previousFile, m_currentFile);
    mnuName1_Click();
}

bool ApplicationCore::openFile(const QString& path)
{
    return openWith(path, CoinDataFile::load);
}

bool ApplicationCore::openFileToProgram(const QString& path)
{
    return openWith(path, CoinDataFile::loadComplete);
}

bool ApplicationCore::openWith(const QString& path, FileLoader load)
{
    const CoinDataFile::LoadResult result = load(path, m_image);
    // A file that cannot be read is not opened: nothing built on the open may go on from an
    // image the user did not choose, and it does not become the current file, which the next
    // "Save to Disk" would overwrite.
    m_opened = result == CoinDataFile::LoadResult::Loaded;
    if (!m_opened) {
        showStatus(CoinDataFile::failureText(result, path), StatusColour::Red);
        return false;
    }
    shiftNames(path);
    clearStatus();
    return true;
}

QString ApplicationCore::saveCurrentFile()
{
    AppPaths::ensureDataFolder();
    QString error;
    if (CoinDataFile::save(m_currentFile, m_image, &error))
        return QString();
    return QStringLiteral("Can not save file %1: %2").arg(m_currentFile, error);
}

QString ApplicationCore::saveCurrentFileAs(const QString& path)
{
    shiftNames(path);
    return saveCurrentFile();
}

bool ApplicationCore::mnuFileSave_Click()
{
    return reportSave(saveCurrentFile());
}

bool ApplicationCore::mnuSaveAs(const QString& path)
{
    return reportSave(saveCurrentFileAs(path));
}

bool ApplicationCore::reportSave(const QString& failure)
{
    if (failure.isEmpty())
        clearStatus();
    else
        showStatus(failure, StatusColour::Red);
    return failure.isEmpty();
}

bool ApplicationCore::openAndProgram(const QString& path, Continuation then)
{
    if (m_link->isBusy())
        return false;
    m_cdt = 1;
    return openFileToProgram(path) && mnuProgram_Click(std::move(then));
}

void ApplicationCore::mnuDefault_Click()
{
    DefaultSets::applyMainWindowDefaults(m_image);
}

void ApplicationCore::applyEditorDefaults()
{
    DefaultSets::applyEditorDefaults(m_image);
}

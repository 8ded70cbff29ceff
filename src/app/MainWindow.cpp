#include "MainWindow.h"

#include "AppPaths.h"
#include "BlockSequence.h"
#include "CoinDataFile.h"
#include "DefaultSets.h"
#include "ImageTransfer.h"
#include "LinkPort.h"
#include "PortMap.h"
#include "SelectorLink.h"
#include "SettingWindow.h"
#include "StatusColours.h"
#include "StatusWindowDisplay.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

namespace {

constexpr int PortNumbers[] = {1, 2, 3, 4, 9};
const QString CoinDataFilter = QStringLiteral(" (*.cdt)");

QString portStatusName(int portNumber)
{
    // The warning for Com9 has always been written in capitals.
    return portNumber == 9 ? QStringLiteral("COM9") : QStringLiteral("com%1").arg(portNumber);
}

} // namespace

MainWindow::MainWindow(std::unique_ptr<LinkPort> port, LinkClock& clock, QWidget* parent)
    : QMainWindow(parent), m_link(new SelectorLink(std::move(port), clock, this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("TARNVELLO   Coin Selector programmer"));
    m_statusDisplay =
        std::make_unique<StatusWindowDisplay>(this, [this](QWidget* w) { trackWindow(w); });
    buildMenus();
    buildButtons();
    connect(m_link, &SelectorLink::busyChanged, this, &MainWindow::onLinkBusyChanged);
    m_chooseOpenFile = [this](const QString& title) {
        return QFileDialog::getOpenFileName(this, title, QString(), CoinDataFilter);
    };
    m_chooseSaveFile = [this](const QString& title) {
        return QFileDialog::getSaveFileName(this, title, QString(), CoinDataFilter);
    };
}

MainWindow::~MainWindow()
{
    // Running operations refer to the link and the image: end them while both still exist.
    qDeleteAll(findChildren<BlockSequence*>(Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<ImageTransfer*>(Qt::FindDirectChildrenOnly));
}

QAction* MainWindow::addAction(QMenu* menu, const char* objectName, const QString& caption,
                               bool shown, void (MainWindow::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(objectName));
    action->setVisible(shown);
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    return action;
}

void MainWindow::buildMenus()
{
    auto separator = [](QMenu* menu, const char* name = nullptr) {
        QAction* action = menu->addSeparator();
        action->setVisible(false);
        if (name)
            action->setObjectName(QLatin1String(name));
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("File(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addAction(file, "mnuFileOpen", QStringLiteral("Read from Disk(&L)..."), false,
              &MainWindow::mnuFileOpen_Click);
    QAction* read = addAction(file, "mnuReadSelector", QStringLiteral("Read from Selector(&R)"),
                              false, nullptr);
    connect(read, &QAction::triggered, this, [this] { mnuReadSelector_Click(); });
    addAction(file, "mnuDefault", QStringLiteral("Default value(&D)"), false,
              &MainWindow::mnuDefault_Click);
    separator(file);
    addAction(file, "mnuFileSave", QStringLiteral("Save to Disk(&S)"), false,
              &MainWindow::mnuFileSave_Click);
    addAction(file, "mnuSaveAs", QStringLiteral("Save as (&E)"), false,
              &MainWindow::mnuSaveAs_Click);
    QAction* openProgram = addAction(file, "mnuOpen_Program", QStringLiteral("Open && Program"),
                                     true, &MainWindow::mnuOpen_Program_Click);
    QAction* program =
        addAction(file, "mnuProgram", QStringLiteral("Program to Selector(&P)"), false, nullptr);
    connect(program, &QAction::triggered, this, [this] { mnuProgram_Click(); });
    separator(file);
    addAction(file, "mnuFileExit", QStringLiteral("Exit(&X)"), false,
              &MainWindow::mnuFileExit_Click);
    separator(file);
    m_mnuName1 = addAction(file, "mnuName1", AppPaths::dataFile(AppPaths::CurrentFileName), false,
                           &MainWindow::mnuName1_Click);
    m_mnuName2 = addAction(file, "mnuName2", AppPaths::dataFile(AppPaths::PreviousFileName), false,
                           &MainWindow::mnuName2_Click);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit(&)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setVisible(false);
    addAction(edit, "mnuEditFile", QStringLiteral("Edit File"), true,
              &MainWindow::mnuEditFile_Click);
    QAction* editSelector = addAction(edit, "mnuEditSelector", QStringLiteral("Edit Coin Selector"),
                                      true, &MainWindow::onEditCoinSelector);
    separator(edit);

    QMenu* system = menuBar()->addMenu(QStringLiteral("System(&s)"));
    system->setObjectName(QStringLiteral("mnuSystem"));
    const char* portNames[] = {"mnuCom1", "mnuCom2", "mnuCom3", "MnuCom4", "MnuCom9"};
    for (std::size_t i = 0; i < m_portActions.size(); ++i) {
        const int number = PortNumbers[i];
        QAction* action = system->addAction(QStringLiteral("Com%1(&%1)").arg(number));
        action->setObjectName(QLatin1String(portNames[i]));
        action->setCheckable(true);
        action->setChecked(number == 1);
        connect(action, &QAction::triggered, this, [this, number] { choosePort(number); });
        m_portActions[i] = action;
    }
    separator(system, "mnubar3");
    // The service windows behind these items come with their own commands; the items already
    // set the state those windows read.
    QAction* parameters =
        addAction(system, "mnuPar", QStringLiteral("Parameters(&p)"), false, nullptr);
    connect(parameters, &QAction::triggered, this, [this] { m_opened = false; });
    addAction(system, "mnuDisplay", QStringLiteral("Display"), false, nullptr);
    for (int token : {1, 2}) {
        QAction* action = addAction(system, token == 1 ? "mnuTK1" : "mnuTK2",
                                    QStringLiteral("TK%1").arg(token), false, nullptr);
        connect(action, &QAction::triggered, this, [this, token] { m_token = token; });
    }

    m_linkActions = {read, openProgram, program, editSelector};
    for (QAction* action : m_portActions)
        m_linkActions.append(action);
}

void MainWindow::buildButtons()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    struct ButtonEntry
    {
        const char* name;
        const char* caption;
        const char* hint;
        bool shown;
    };
    const ButtonEntry entries[] = {
        {"ComTeach", "Teach Coin Selector", "Insert coins to teach this on_line Coin Selector",
         true},
        {"ComEdit", "Edit Coin Selector", "Edit this on_line Coin Selector", true},
        {"ComCal", "Channel Calibration", "To calibrate channels for this on_line Coin Selector",
         true},
        {"ComExit", "Exit", "exit", true},
        {"ComSampling", "Sampling", "To create Coin Data file", false},
        {"ComProgame", "Program", "Program this on_line Coin Selector from existing Coin Data",
         false},
    };
    QList<QPushButton*> buttons;
    for (const ButtonEntry& entry : entries) {
        auto* button = new QPushButton(QLatin1String(entry.caption), central);
        button->setObjectName(QLatin1String(entry.name));
        button->setToolTip(QLatin1String(entry.hint));
        button->setVisible(entry.shown);
        button->setMinimumHeight(40);
        layout->addWidget(button);
        buttons.append(button);
    }
    connect(buttons[0], &QPushButton::clicked, this, &MainWindow::onTeachCoinSelector);
    connect(buttons[1], &QPushButton::clicked, this, &MainWindow::onEditCoinSelector);
    connect(buttons[2], &QPushButton::clicked, this, &MainWindow::onChannelCalibration);
    connect(buttons[3], &QPushButton::clicked, this, &MainWindow::mnuFileExit_Click);
    m_linkButtons = {buttons[1], buttons[2], buttons[4], buttons[5]};

    layout->addStretch();
    auto* statusRow = new QHBoxLayout;
    auto* statusCaption = new QLabel(QStringLiteral("Status:"), central);
    m_labelStats = new QLabel(QStringLiteral("standby"), central);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setWordWrap(true);
    statusCaption->setBuddy(m_labelStats);
    statusRow->addWidget(statusCaption);
    statusRow->addWidget(m_labelStats, 1);
    layout->addLayout(statusRow);
    setCentralWidget(central);
}

void MainWindow::startUp()
{
    DefaultSets::applyMainWindowDefaults(m_image);

    const QSettings settings;
    restorePlacement(settings);

    StartupSettings startup = startupSettings();
    StartupFile::read(AppPaths::dataFile(AppPaths::StartupFileName), startup);
    applyStartupSettings(startup);

    loadCurrentFile(false);

    m_portNumber = 1;
    for (std::size_t i = 0; i < 4; ++i)
        if (startup.comChecked[i])
            m_portNumber = PortNumbers[i];
    const bool portOpened = openPortNumber(m_portNumber);

    m_labelStats->clear();
    if (!portOpened)
        showStatus(
            QStringLiteral("warning:something wrong to open %1").arg(portStatusName(m_portNumber)),
            StatusColour::Red);
}

StartupSettings MainWindow::startupSettings() const
{
    StartupSettings settings;
    settings.currentFile = currentFileName();
    settings.previousFile = previousFileName();
    for (std::size_t i = 0; i < 4; ++i)
        settings.comChecked[i] = m_portActions[i]->isChecked();
    return settings;
}

void MainWindow::applyStartupSettings(const StartupSettings& settings)
{
    m_mnuName1->setText(settings.currentFile);
    m_mnuName2->setText(settings.previousFile);
    for (std::size_t i = 0; i < 4; ++i)
        m_portActions[i]->setChecked(settings.comChecked[i]);
}

QString MainWindow::currentFileName() const
{
    return m_mnuName1->text();
}

QString MainWindow::previousFileName() const
{
    return m_mnuName2->text();
}

void MainWindow::restorePlacement(const QSettings& settings)
{
    const WindowPlacement::Twips twips = WindowPlacement::load(settings);
    const double dpi = logicalDpiX();
    const QRect wanted(WindowPlacement::twipsToPixels(twips.left, dpi),
                       WindowPlacement::twipsToPixels(twips.top, dpi),
                       WindowPlacement::twipsToPixels(twips.width, dpi),
                       WindowPlacement::twipsToPixels(twips.height, dpi));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect placed =
        primary ? WindowPlacement::keptOnScreen(wanted, screens, primary->availableGeometry())
                : wanted;
    resize(placed.size());
    move(placed.topLeft());
}

void MainWindow::storePlacement(QSettings& settings) const
{
    const double dpi = logicalDpiX();
    const QRect frame(pos(), size());
    WindowPlacement::store(settings, {WindowPlacement::pixelsToTwips(frame.left(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.top(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.width(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.height(), dpi)});
}

bool MainWindow::openPortNumber(int portNumber)
{
    m_portNumber = portNumber;
    return m_link->openPort(PortMap::device(QSettings(), portNumber));
}

void MainWindow::choosePort(int portNumber)
{
    for (std::size_t i = 0; i < m_portActions.size(); ++i)
        m_portActions[i]->setChecked(PortNumbers[i] == portNumber);
    m_link->closePort();
    if (openPortNumber(portNumber)) {
        showStatus(QStringLiteral("commucation port use com%1:").arg(portNumber),
                   StatusColour::Blue);
        return;
    }
    if (portNumber != 1) {
        openPortNumber(1);
        m_portActions[0]->setChecked(true);
        for (std::size_t i = 1; i < m_portActions.size(); ++i)
            m_portActions[i]->setChecked(false);
    }
    showStatus(QStringLiteral("warning:something wrong to open %1").arg(portStatusName(portNumber)),
               StatusColour::Red);
}

void MainWindow::showStatus(const QString& text, StatusColour colour)
{
    StatusColours::show(*m_labelStats, text, colour);
}

bool MainWindow::mnuReadSelector_Click(Continuation then)
{
    return runRead(ImageTransfer::Kind::FullRead, std::move(then));
}

bool MainWindow::ThisReadSelector_Click(Continuation then)
{
    return runRead(ImageTransfer::Kind::PartialRead, std::move(then));
}

bool MainWindow::runRead(ImageTransfer::Kind kind, Continuation then)
{
    if (m_link->isBusy())
        return false;
    m_opened = false;
    auto* transfer = kind == ImageTransfer::Kind::FullRead
                         ? ImageTransfer::fullRead(*m_link, m_image, *m_statusDisplay, this)
                         : ImageTransfer::partialRead(*m_link, m_image, *m_statusDisplay, this);
    connect(transfer, &ImageTransfer::completed, this,
            [this](bool succeeded) { m_opened = succeeded; });
    connect(transfer, &ImageTransfer::finished, this, [transfer, then] {
        transfer->deleteLater();
        if (then)
            then();
    });
    return transfer->start();
}

bool MainWindow::program_to_selector(Continuation then)
{
    return runBlocks({{m_begin, m_total}}, std::move(then));
}

bool MainWindow::mnuProgram_Click(Continuation then)
{
    return runBlocks(BlockSequence::standardBlocks(), std::move(then));
}

bool MainWindow::runBlocks(const QList<BlockSequence::Block>& blocks, Continuation then)
{
    auto* sequence = new BlockSequence(blocks, *m_link, m_image, *m_statusDisplay, this);
    connect(sequence, &BlockSequence::finished, this, [sequence, then](bool) {
        sequence->deleteLater();
        if (then)
            then();
    });
    if (sequence->start())
        return true;
    delete sequence;
    return false;
}

void MainWindow::onLinkBusyChanged(bool busy)
{
    for (QAction* action : std::as_const(m_linkActions))
        action->setEnabled(!busy);
    for (QPushButton* button : std::as_const(m_linkButtons))
        button->setEnabled(!busy);
    if (m_editor)
        m_editor->setLinkBusy(busy);
}

void MainWindow::shiftNames(const QString& chosen)
{
    m_mnuName2->setText(m_mnuName1->text());
    m_mnuName1->setText(chosen);
}

bool MainWindow::loadCurrentFile(bool reportFailure)
{
    const CoinDataFile::LoadResult result = CoinDataFile::load(currentFileName(), m_image);
    if (result == CoinDataFile::LoadResult::Loaded)
        return true;
    if (reportFailure)
        showStatus(result == CoinDataFile::LoadResult::Unreadable
                       ? QStringLiteral("Can not read file %1").arg(currentFileName())
                       : QStringLiteral("Not a coin data file: %1").arg(currentFileName()),
                   StatusColour::Red);
    return false;
}

void MainWindow::mnuName1_Click()
{
    loadCurrentFile(false);
}

void MainWindow::mnuName2_Click()
{
    const QString previous = previousFileName();
    m_mnuName2->setText(currentFileName());
    m_mnuName1->setText(previous);
    loadCurrentFile(false);
}

bool MainWindow::openWithDialog()
{
    m_opened = false;
    const QString chosen = m_chooseOpenFile(QStringLiteral("open"));
    if (chosen.isEmpty())
        return false;
    shiftNames(chosen);
    // A file that cannot be read is not opened: nothing built on the open may go on from an
    // image the user did not choose.
    m_opened = loadCurrentFile(true);
    return m_opened;
}

void MainWindow::mnuFileOpen_Click()
{
    openWithDialog();
}

void MainWindow::mnuFileSave_Click()
{
    AppPaths::ensureDataFolder();
    QString error;
    if (!CoinDataFile::save(currentFileName(), m_image, &error))
        showStatus(QStringLiteral("Can not save file %1: %2").arg(currentFileName(), error),
                   StatusColour::Red);
}

void MainWindow::mnuSaveAs_Click()
{
    const QString chosen = m_chooseSaveFile(QStringLiteral("save file"));
    if (chosen.isEmpty())
        return;
    shiftNames(chosen);
    mnuFileSave_Click();
}

void MainWindow::mnuOpen_Program_Click()
{
    if (m_link->isBusy())
        return;
    m_cdt = 1;
    if (openWithDialog())
        mnuProgram_Click();
}

void MainWindow::mnuEditFile_Click()
{
    if (openWithDialog())
        openEditor(EditorMode::Edit);
}

void MainWindow::mnuDefault_Click()
{
    DefaultSets::applyMainWindowDefaults(m_image);
}

void MainWindow::onTeachCoinSelector()
{
    m_cdt = 0;
    openEditor(EditorMode::Setting);
}

void MainWindow::onEditCoinSelector()
{
    mnuReadSelector_Click([this] {
        if (m_opened)
            openEditor(EditorMode::Edit);
    });
}

void MainWindow::onChannelCalibration()
{
    mnuReadSelector_Click([this] {
        if (m_opened)
            openEditor(EditorMode::CalibrationSetting);
    });
}

SettingWindow* MainWindow::openEditor(EditorMode mode)
{
    if (!m_editor) {
        m_editor = new SettingWindow(m_image, this);
        m_editor->setLinkBusy(m_link->isBusy());
        connect(m_editor, &SettingWindow::programRequested, this, [this] { mnuProgram_Click(); });
        connect(m_editor, &SettingWindow::loadDefaultRequested, this,
                &MainWindow::onLoadDefaultRequested);
        trackWindow(m_editor);
    }
    m_editor->applyMode(mode);
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
    return m_editor;
}

void MainWindow::onLoadDefaultRequested()
{
    DefaultSets::applyEditorDefaults(m_image);
    if (m_editor) {
        // The old window must be gone before the new one fills from the defaults.
        SettingWindow* old = m_editor;
        m_editor = nullptr;
        old->close();
    }
    openEditor(EditorMode::SettingAfterDefaults);
}

void MainWindow::trackWindow(QWidget* window)
{
    m_openWindows.removeAll(nullptr);
    m_openWindows.append(window);
}

void MainWindow::setFileChooser(FileChooser open, FileChooser save)
{
    m_chooseOpenFile = std::move(open);
    m_chooseSaveFile = std::move(save);
}

void MainWindow::mnuFileExit_Click()
{
    AppPaths::ensureDataFolder();
    if (!StartupFile::write(AppPaths::dataFile(AppPaths::StartupFileName), startupSettings()))
        qWarning("could not write the start-up file");
    m_link->closePort();
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    for (qsizetype i = m_openWindows.size() - 1; i >= 0; --i)
        if (QWidget* window = m_openWindows.at(i))
            window->close();
    m_openWindows.clear();
    if (!isMinimized()) {
        QSettings settings;
        storePlacement(settings);
    }
    event->accept();
}

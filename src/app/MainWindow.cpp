// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "AppPaths.h"
#include "ApplicationCore.h"
#include "CoinDataProgramming.h"
#include "PortsDialog.h"
#include "SamplingWindow.h"
#include "SelectorLink.h"
#include "SettingWindow.h"
#include "StatusColours.h"
#include "StatusWindowDisplay.h"
#include "TarnvelloVersion.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const QString CoinDataFilter = QStringLiteral(" (*.cdt)");
const QString VerifyKey = QStringLiteral("Settings/VerifyAfterProgramming");

} // namespace

MainWindow::MainWindow(ApplicationCore& core, QWidget* parent) : QMainWindow(parent), m_core(core)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("TARNVELLO   Coin Selector programmer"));
    m_statusDisplay =
        std::make_unique<StatusWindowDisplay>(this, [this](QWidget* w) { trackWindow(w); });
    m_core.setTransferDisplay(m_statusDisplay.get());
    buildMenus();
    buildButtons();
    showFileNames();
    showPortChecks();
    connect(&m_core, &ApplicationCore::statusChanged, this, &MainWindow::showCoreStatus);
    connect(&m_core, &ApplicationCore::fileNamesChanged, this, &MainWindow::showFileNames);
    connect(&m_core, &ApplicationCore::portChecksChanged, this, &MainWindow::showPortChecks);
    connect(&m_core.link(), &SelectorLink::busyChanged, this, &MainWindow::onLinkBusyChanged);
    m_chooseOpenFile = [this](const QString& title) {
        return QFileDialog::getOpenFileName(this, title, QString(), CoinDataFilter);
    };
    m_chooseSaveFile = [this](const QString& title) {
        return QFileDialog::getSaveFileName(this, title, QString(), CoinDataFilter);
    };
}

MainWindow::~MainWindow()
{
    m_core.setTransferDisplay(nullptr);
}

QAction* MainWindow::addAction(QMenu* menu, const char* objectName, const QString& caption,
                               bool shown, const std::function<void()>& handler)
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
    ApplicationCore& core = m_core;

    QMenu* file = menuBar()->addMenu(QStringLiteral("File(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addAction(file, "mnuFileOpen", QStringLiteral("Read from Disk(&L)..."), false,
              [this] { mnuFileOpen_Click(); });
    QAction* read = addAction(file, "mnuReadSelector", QStringLiteral("Read from Selector(&R)"),
                              false, [&core] { core.mnuReadSelector_Click(); });
    addAction(file, "mnuDefault", QStringLiteral("Default value(&D)"), false,
              [&core] { core.mnuDefault_Click(); });
    separator(file);
    addAction(file, "mnuFileSave", QStringLiteral("Save to Disk(&S)"), false,
              [&core] { core.mnuFileSave_Click(); });
    addAction(file, "mnuSaveAs", QStringLiteral("Save as (&E)"), false,
              [this] { mnuSaveAs_Click(); });
    QAction* openProgram = addAction(file, "mnuOpen_Program", QStringLiteral("Open && Program"),
                                     true, [this] { mnuOpen_Program_Click(); });
    QAction* program = addAction(file, "mnuProgram", QStringLiteral("Program to Selector(&P)"),
                                 false, [&core] { core.mnuProgram_Click(); });
    separator(file);
    addAction(file, "mnuFileExit", QStringLiteral("Exit(&X)"), false,
              [this] { mnuFileExit_Click(); });
    separator(file);
    m_mnuName1 = addAction(file, "mnuName1", QString(), false, [&core] { core.mnuName1_Click(); });
    m_mnuName2 = addAction(file, "mnuName2", QString(), false, [&core] { core.mnuName2_Click(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit(&)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setVisible(false);
    addAction(edit, "mnuEditFile", QStringLiteral("Edit File"), true,
              [this] { mnuEditFile_Click(); });
    QAction* editSelector = addAction(edit, "mnuEditSelector", QStringLiteral("Edit Coin Selector"),
                                      true, [this] { readThenOpenEditor(EditorMode::Edit); });
    separator(edit);

    QMenu* system = menuBar()->addMenu(QStringLiteral("System(&s)"));
    system->setObjectName(QStringLiteral("mnuSystem"));
    const char* portNames[] = {"mnuCom1", "mnuCom2", "mnuCom3", "MnuCom4", "MnuCom9"};
    for (std::size_t i = 0; i < m_portActions.size(); ++i) {
        const int number = ApplicationCore::PortNumbers[i];
        QAction* action = system->addAction(QStringLiteral("Com%1(&%1)").arg(number));
        action->setObjectName(QLatin1String(portNames[i]));
        action->setCheckable(true);
        // The core decides the checks (a port that fails falls back to Com1).
        connect(action, &QAction::triggered, this, [&core, number] { core.choosePort(number); });
        m_portActions[i] = action;
    }
    QAction* ports = addAction(system, "mnuPorts", QStringLiteral("Serial Ports..."), true,
                               [this] { mnuPorts_Click(); });
    QAction* verify =
        addAction(system, "mnuVerify", QStringLiteral("Verify after programming"), true, {});
    verify->setCheckable(true);
    verify->setChecked(QSettings().value(VerifyKey, false).toBool());
    core.setVerifyAfterProgramming(verify->isChecked());
    connect(verify, &QAction::toggled, this, [&core](bool on) {
        core.setVerifyAfterProgramming(on);
        QSettings().setValue(VerifyKey, on);
    });
    separator(system, "mnubar3");
    addAction(system, "mnuPar", QStringLiteral("Parameters(&p)"), false, [this] {
        m_core.setOpened(false);
        showServiceWindow(m_memory);
    });
    addAction(system, "mnuDisplay", QStringLiteral("Display"), false,
              [this] { showServiceWindow(m_display); });
    // An open calibration window only changes its record slot and comes to the front.
    for (int token : {1, 2})
        addAction(system, token == 1 ? "mnuTK1" : "mnuTK2", QStringLiteral("TK%1").arg(token),
                  false, [this, token] {
                      m_core.setToken(token);
                      showServiceWindow(m_calibration);
                  });

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help(&H)"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addAction(help, "mnuAbout", QStringLiteral("About(&A)"), true, [this] { showAbout(); });

    // The ports dialog's OK may open the port again.
    m_linkActions = {read, openProgram, program, editSelector, ports};
    for (QAction* action : m_portActions)
        m_linkActions.append(action);
}

void MainWindow::mnuPorts_Click()
{
    if (!m_ports) {
        m_ports = new PortsDialog(m_core, this);
        trackWindow(m_ports);
    }
    m_ports->showMapping();
    // Window-modal without an event loop of its own: the main window waits for its answer.
    m_ports->open();
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
    connect(buttons[0], &QPushButton::clicked, this, [this] {
        m_core.setCdt(0);
        openEditor(EditorMode::Setting);
    });
    connect(buttons[1], &QPushButton::clicked, this,
            [this] { readThenOpenEditor(EditorMode::Edit); });
    connect(buttons[2], &QPushButton::clicked, this,
            [this] { readThenOpenEditor(EditorMode::CalibrationSetting); });
    connect(buttons[3], &QPushButton::clicked, this, &MainWindow::mnuFileExit_Click);
    connect(buttons[4], &QPushButton::clicked, this, &MainWindow::ComSampling_Click);
    connect(buttons[5], &QPushButton::clicked, this, &MainWindow::ComProgame_Click);
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
    restorePlacement(QSettings());
    m_core.startUp();
}

void MainWindow::showCoreStatus()
{
    StatusColours::show(*m_labelStats, m_core.statusText(), m_core.statusColour());
}

void MainWindow::showFileNames()
{
    m_mnuName1->setText(m_core.currentFileName());
    m_mnuName2->setText(m_core.previousFileName());
}

void MainWindow::showPortChecks()
{
    for (std::size_t i = 0; i < m_portActions.size(); ++i)
        m_portActions[i]->setChecked(m_core.isPortChecked(ApplicationCore::PortNumbers[i]));
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
    m_restoredTwips = twips;
    m_restoredGeometry = placed == wanted ? QRect(pos(), size()) : QRect();
}

void MainWindow::storePlacement(QSettings& settings) const
{
    const QRect frame(pos(), size());
    if (frame == m_restoredGeometry) {
        WindowPlacement::store(settings, m_restoredTwips);
        return;
    }
    const double dpi = logicalDpiX();
    WindowPlacement::store(settings, {WindowPlacement::pixelsToTwips(frame.left(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.top(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.width(), dpi),
                                      WindowPlacement::pixelsToTwips(frame.height(), dpi)});
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

QString MainWindow::chooseFileToOpen()
{
    const QString chosen = m_chooseOpenFile(QStringLiteral("open"));
    // Even a cancelled open leaves no file opened.
    if (chosen.isEmpty())
        m_core.setOpened(false);
    return chosen;
}

void MainWindow::mnuFileOpen_Click()
{
    const QString chosen = chooseFileToOpen();
    if (!chosen.isEmpty())
        m_core.openFile(chosen);
}

void MainWindow::mnuSaveAs_Click()
{
    const QString chosen = m_chooseSaveFile(QStringLiteral("save file"));
    if (!chosen.isEmpty())
        m_core.mnuSaveAs(chosen);
}

void MainWindow::mnuOpen_Program_Click()
{
    if (m_core.link().isBusy())
        return;
    m_core.setCdt(1);
    const QString chosen = chooseFileToOpen();
    if (chosen.isEmpty())
        return;
    // Re-teaching follows the programming whatever its outcome: the window can program again.
    QPointer<MainWindow> self(this);
    m_core.openAndProgram(chosen, [self](bool) {
        if (self)
            self->openSamplingWindow(-1);
    });
}

void MainWindow::ComProgame_Click()
{
    if (m_core.link().isBusy())
        return;
    const QString chosen = chooseFileToOpen();
    if (chosen.isEmpty())
        return;
    auto* programming = new CoinDataProgramming(m_core, this);
    connect(programming, &CoinDataProgramming::finished, this,
            [this, programming](CoinDataProgramming::Outcome outcome) {
                programming->deleteLater();
                // Re-teaching follows the programming whatever its outcome.
                if (outcome == CoinDataProgramming::Outcome::Programmed ||
                    outcome == CoinDataProgramming::Outcome::ProgramFailed)
                    openSamplingWindow(-1);
            });
    programming->start(chosen);
}

void MainWindow::mnuEditFile_Click()
{
    const QString chosen = chooseFileToOpen();
    if (!chosen.isEmpty() && m_core.openFile(chosen))
        openEditor(EditorMode::Edit);
}

void MainWindow::readThenOpenEditor(EditorMode mode)
{
    QPointer<MainWindow> self(this);
    m_core.mnuReadSelector_Click([self, mode](bool succeeded) {
        if (self && succeeded)
            self->openEditor(mode);
    });
}

SettingWindow* MainWindow::openEditor(EditorMode mode)
{
    if (!m_editor) {
        m_editor = new SettingWindow(m_core.image(), this);
        m_editor->setLinkBusy(m_core.link().isBusy());
        connect(m_editor, &SettingWindow::programRequested, this,
                [this] { m_core.mnuProgram_Click(); });
        connect(m_editor, &SettingWindow::loadDefaultRequested, this,
                &MainWindow::onLoadDefaultRequested);
        connect(m_editor, &SettingWindow::okAccepted, this, [this] { openSamplingWindow(0); });
        trackWindow(m_editor);
    }
    m_editor->applyMode(mode);
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
    return m_editor;
}

void MainWindow::ComSampling_Click()
{
    QPointer<MainWindow> self(this);
    m_core.readBeforeSampling([self](bool succeeded) {
        if (self && succeeded)
            self->checkSelectorThenOpenEditor();
    });
}

void MainWindow::checkSelectorThenOpenEditor()
{
    // A selector whose coin measurement (127) lies outside this band cannot be taught well.
    const double measurement = m_core.image().value(127);
    if (measurement < 75 || measurement > 90)
        buildSamplingWindow(0)->showWarning(
            QStringLiteral(" Please select another Coin Selector, This Coin Selector is not good "
                           "for \"Sampling\"!!"));
    m_core.mnuDefault_Click();
    openEditor(EditorMode::Setting);
}

SamplingWindow* MainWindow::buildSamplingWindow(int operation)
{
    if (!m_sampling) {
        m_sampling = new SamplingWindow(m_core, operation, this);
        trackWindow(m_sampling);
    }
    return m_sampling;
}

SamplingWindow* MainWindow::openSamplingWindow(int operation)
{
    buildSamplingWindow(operation);
    if (operation != 0)
        m_sampling->setWindowTitle(QStringLiteral("Calibration"));
    m_sampling->show();
    m_sampling->raise();
    m_sampling->activateWindow();
    return m_sampling;
}

template <typename Window> void MainWindow::showServiceWindow(QPointer<Window>& window)
{
    if (!window) {
        window = new Window(m_core, this);
        trackWindow(window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::onLoadDefaultRequested()
{
    m_core.applyEditorDefaults();
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

void MainWindow::showAbout()
{
    // Not modal: the link and every other window carry on while it is open.
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("About Tarnvello"),
                        QStringLiteral("Tarnvello %1").arg(QLatin1String(TarnvelloVersion::Number)),
                        QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("about"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(
        QStringLiteral("Coin selector programmer for the service bench.\n\n"
                       "Free software under the %1.\n\n"
                       "Settings: %2\nFiles (recent files, default coin data, journal): %3")
            .arg(QLatin1String(TarnvelloVersion::Licence),
                 QDir::toNativeSeparators(QSettings().fileName()), AppPaths::dataFile(QString())));
    box->setModal(false);
    trackWindow(box);
    box->show();
}

void MainWindow::setFileChooser(FileChooser open, FileChooser save)
{
    m_chooseOpenFile = std::move(open);
    m_chooseSaveFile = std::move(save);
}

bool MainWindow::deferWhileProgramming(const std::function<void(MainWindow&)>& request)
{
    return m_core.deferCloseWhileProgramming([self = QPointer(this), request] {
        if (self)
            request(*self);
    });
}

void MainWindow::mnuFileExit_Click()
{
    if (deferWhileProgramming(&MainWindow::mnuFileExit_Click))
        return;
    if (!m_core.exit())
        qWarning("could not write the start-up file");
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The close box and the termination signals end up here as well.
    if (deferWhileProgramming([](MainWindow& window) { window.close(); })) {
        event->ignore();
        return;
    }
    // The program ends with this window. A teaching or calibration run still on the line sends
    // its stop frame as the port closes, before its window goes.
    m_core.link().closePort();
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

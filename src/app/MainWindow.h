// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CalibrationWindow.h"
#include "DisplayWindow.h"
#include "MemoryWindow.h"
#include "SamplingWindow.h"
#include "SettingWindow.h"
#include "WindowPlacement.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <array>
#include <functional>
#include <memory>

class ApplicationCore;
class PortsDialog;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class StatusWindowDisplay;

// The main window: a view of the application core with the menus and buttons that lead to
// every other window, the status line, the file dialogs and the status window of transfers.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    using FileChooser = std::function<QString(const QString& title)>;

    explicit MainWindow(ApplicationCore& core, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: placement, then the core's start-up.
    void startUp();

    ApplicationCore& core() const { return m_core; }

    // File commands that ask for a file first.
    void mnuFileOpen_Click();
    void mnuSaveAs_Click();
    void mnuOpen_Program_Click();
    void mnuEditFile_Click();
    // Programming from coin data taught on another selector (the hidden "Program" button).
    void ComProgame_Click();
    // Teaching after reading the coin tables (the hidden "Sampling" button).
    void ComSampling_Click();

    void mnuFileExit_Click();
    // "Serial Ports...": the dialog that maps the Com items to devices.
    void mnuPorts_Click();

    // The file dialogs; tests replace them.
    void setFileChooser(FileChooser open, FileChooser save);

    // The parameter editor, created on first use and raised afterwards.
    SettingWindow* openEditor(EditorMode mode);
    SettingWindow* editor() const { return m_editor; }
    // The sampling window, built with the operation on first use; a window still open keeps
    // its mode and only re-teaching renames it.
    SamplingWindow* openSamplingWindow(int operation);
    SamplingWindow* samplingWindow() const { return m_sampling; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    // The Help menu's About box: version, licence and where the files live.
    void showAbout();
    void buildButtons();
    QAction* addAction(QMenu* menu, const char* objectName, const QString& caption, bool shown,
                       const std::function<void()>& handler);
    void restorePlacement(const QSettings& settings);
    void storePlacement(QSettings& settings) const;
    QString chooseFileToOpen();
    void trackWindow(QWidget* window);
    // True when a programming runs: request runs again once it has ended.
    bool deferWhileProgramming(const std::function<void(MainWindow&)>& request);
    void showCoreStatus();
    void showFileNames();
    void showPortChecks();
    void onLinkBusyChanged(bool busy);
    void onLoadDefaultRequested();
    void readThenOpenEditor(EditorMode mode);
    void checkSelectorThenOpenEditor();
    // The service windows, built on first use and brought to the front afterwards.
    template <typename Window> void showServiceWindow(QPointer<Window>& window);
    // Builds the sampling window without showing it; a window that exists is kept as it is.
    SamplingWindow* buildSamplingWindow(int operation);

    ApplicationCore& m_core;
    std::unique_ptr<StatusWindowDisplay> m_statusDisplay;
    QPointer<SettingWindow> m_editor;
    QPointer<SamplingWindow> m_sampling;
    QPointer<DisplayWindow> m_display;
    QPointer<MemoryWindow> m_memory;
    QPointer<CalibrationWindow> m_calibration;
    QPointer<PortsDialog> m_ports;
    QList<QPointer<QWidget>> m_openWindows;
    // The placement as restored, so a window that was not moved or resized stores exactly
    // what it was given instead of a value rounded through pixels.
    QRect m_restoredGeometry;
    WindowPlacement::Twips m_restoredTwips;

    QLabel* m_labelStats = nullptr;
    QAction* m_mnuName1 = nullptr;
    QAction* m_mnuName2 = nullptr;
    std::array<QAction*, 5> m_portActions{}; // Com1..Com4, Com9
    QList<QAction*> m_linkActions;           // refused while a link operation runs
    QList<QPushButton*> m_linkButtons;
    FileChooser m_chooseOpenFile;
    FileChooser m_chooseSaveFile;
};

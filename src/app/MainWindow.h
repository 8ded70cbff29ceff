#pragma once

#include "BlockSequence.h"
#include "ImageTransfer.h"
#include "SelectorImage.h"
#include "SettingWindow.h"
#include "StartupFile.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class LinkClock;
class LinkPort;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class SelectorLink;
class StatusWindowDisplay;
enum class StatusColour;

// The main window: owns the link, the memory image and the state every other window shares,
// and carries the operations the other windows call.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    using FileChooser = std::function<QString(const QString& title)>;
    using Continuation = std::function<void()>;

    MainWindow(std::unique_ptr<LinkPort> port, LinkClock& clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: defaults, placement, start-up file, current coin data file, port.
    void startUp();

    // Shared state.
    SelectorImage& image() { return m_image; }
    SelectorLink& link() { return *m_link; }
    bool opened() const { return m_opened; }
    int cdt() const { return m_cdt; }
    int token() const { return m_token; }
    int currentPortNumber() const { return m_portNumber; }
    QString currentFileName() const;
    QString previousFileName() const;
    void setBegin(int address) { m_begin = address; }
    void setTotal(int address) { m_total = address; }

    // Link operations; each is refused (returns false, sends nothing) while another runs.
    // then runs after the operation's settling pause, whatever its outcome.
    bool mnuReadSelector_Click(Continuation then = {});
    bool ThisReadSelector_Click(Continuation then = {});
    bool program_to_selector(Continuation then = {});
    bool mnuProgram_Click(Continuation then = {});

    // Coin data files.
    void mnuName1_Click();
    void mnuName2_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuSaveAs_Click();
    void mnuOpen_Program_Click();
    void mnuEditFile_Click();
    void mnuDefault_Click();

    void choosePort(int portNumber);
    void mnuFileExit_Click();

    // The file dialogs; tests replace them.
    void setFileChooser(FileChooser open, FileChooser save);

    // The parameter editor, created on first use and raised afterwards.
    SettingWindow* openEditor(EditorMode mode);
    SettingWindow* editor() const { return m_editor; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildButtons();
    QAction* addAction(QMenu* menu, const char* objectName, const QString& caption, bool shown,
                       void (MainWindow::*handler)());
    void applyStartupSettings(const StartupSettings& settings);
    StartupSettings startupSettings() const;
    void restorePlacement(const QSettings& settings);
    void storePlacement(QSettings& settings) const;
    bool openPortNumber(int portNumber);
    bool runRead(ImageTransfer::Kind kind, Continuation then);
    bool runBlocks(const QList<BlockSequence::Block>& blocks, Continuation then);
    void showStatus(const QString& text, StatusColour colour);
    void shiftNames(const QString& chosen);
    bool loadCurrentFile(bool reportFailure);
    bool openWithDialog();
    void trackWindow(QWidget* window);
    void onLinkBusyChanged(bool busy);
    void onLoadDefaultRequested();
    void onEditCoinSelector();
    void onChannelCalibration();
    void onTeachCoinSelector();

    SelectorImage m_image;
    SelectorLink* m_link;
    std::unique_ptr<StatusWindowDisplay> m_statusDisplay;
    QPointer<SettingWindow> m_editor;
    QList<QPointer<QWidget>> m_openWindows;

    bool m_opened = false;
    int m_begin = 0;
    int m_total = 0;
    int m_cdt = 0;
    int m_token = 1;
    int m_portNumber = 1;

    QLabel* m_labelStats = nullptr;
    QAction* m_mnuName1 = nullptr;
    QAction* m_mnuName2 = nullptr;
    std::array<QAction*, 5> m_portActions{}; // Com1..Com4, Com9
    QList<QAction*> m_linkActions;           // refused while a link operation runs
    QList<QPushButton*> m_linkButtons;
    FileChooser m_chooseOpenFile;
    FileChooser m_chooseSaveFile;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BlockSequence.h"
#include "CoinDataFile.h"
#include "ForwardingTransferDisplay.h"
#include "ImageTransfer.h"
#include "Journal.h"
#include "ProductionRecorder.h"
#include "SelectorImage.h"
#include "StartupFile.h"
#include "TransferDisplay.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <utility>

class LinkClock;
class LinkPort;
class SelectorLink;

// What every window shares, without any widget: the memory image, the link, the flags the
// windows read and set, the two recent coin data file names, the port choice and the status
// line; and the link and file operations. The windows show it; a command-line program can run
// it on its own.
class ApplicationCore : public QObject
{
    Q_OBJECT
public:
    // Runs after an operation's settling pause, told whether the operation succeeded.
    using Continuation = std::function<void(bool succeeded)>;

    // The port menu's numbers, in menu order.
    static constexpr std::array<int, 5> PortNumbers{1, 2, 3, 4, 9};

    ApplicationCore(std::unique_ptr<LinkPort> port, LinkClock& clock, QObject* parent = nullptr);
    ~ApplicationCore() override;

    // Start-up: defaults, start-up file, current coin data file, port; then the status line is
    // cleared (and shows the port warning if the port would not open).
    void startUp();
    // Writes the start-up file and closes the port (a teaching or calibration run sends its
    // stop frame first); false when the file could not be written (the previous one is kept).
    bool exit();
    // A selector left with some blocks new and some old holds a configuration nobody chose, so
    // closing waits for a running programming (from whichever window) to end: the first request
    // is kept, the status line says why nothing closes yet, and close runs once the
    // programming has ended, instead of what the programming was to lead to. Later requests
    // meanwhile are dropped. False when no programming runs: the caller closes at once (a read
    // or a monitor just stops, the selector's memory is not changed by it).
    bool deferCloseWhileProgramming(std::function<void()> close);

    SelectorImage& image() { return m_image; }
    const SelectorImage& image() const { return m_image; }
    SelectorLink& link() { return *m_link; }
    // Every successful full read and programming leaves its image here.
    const Journal& journal() const { return m_journal; }
    // Every programming, whatever its outcome, leaves a line here.
    const ProductionLog& productionLog() const { return m_recorder.log(); }

    bool opened() const { return m_opened; }
    void setOpened(bool opened) { m_opened = opened; }
    int cdt() const { return m_cdt; }
    void setCdt(int cdt) { m_cdt = cdt; }
    int token() const { return m_token; }
    void setToken(int token) { m_token = token; }
    int begin() const { return m_begin; }
    void setBegin(int address) { m_begin = address; }
    int total() const { return m_total; }
    void setTotal(int address) { m_total = address; }
    // Channels to teach again after programming from coin data; " " means none.
    QString strch() const { return m_strch; }
    void setStrch(const QString& channels) { m_strch = channels; }

    // The status line of the main window, which any window may show.
    QString statusText() const { return m_statusText; }
    StatusColour statusColour() const { return m_statusColour; }
    void showStatus(const QString& text, StatusColour colour);
    void clearStatus();

    // Where transfers show their progress; null shows nothing. The core never holds on to a
    // display after it is replaced, so a window may go away before the core.
    void setTransferDisplay(TransferDisplay* display) { m_display.setTarget(display); }

    // Link operations; each is refused (returns false, sends nothing) while another runs.
    // then runs after the operation's settling pause, whatever its outcome.
    bool mnuReadSelector_Click(Continuation then = {});
    bool ThisReadSelector_Click(Continuation then = {});
    // The coin tables (0..127) before teaching, each byte shown as it comes.
    bool readBeforeSampling(Continuation then = {});
    bool program_to_selector(Continuation then = {});
    bool mnuProgram_Click(Continuation then = {});
    // Every programming reads back each address it wrote, even on a clean run; off by default.
    void setVerifyAfterProgramming(bool on) { m_verifyAfterProgramming = on; }
    bool verifyAfterProgramming() const { return m_verifyAfterProgramming; }
    // After the last programming: the addresses the selector still did not hold once they were
    // written again (the programming failed); empty otherwise.
    QList<int> unconfirmedAddresses() const { return m_unconfirmed; }
    // What the last programming came to, as the production log keeps it.
    ProductionRecorder::Outcome lastProgrammingOutcome() const
    {
        return ProductionRecorder::outcome(m_programmingAnswered, m_unconfirmed);
    }
    bool isProgramming() const { return m_programming; }

    // Coin data files. The current file is the first recent name.
    QString currentFileName() const { return m_currentFile; }
    QString previousFileName() const { return m_previousFile; }
    // Loads the current file silently; opened is not changed.
    void mnuName1_Click();
    // Swaps the two recent names and loads the new current file silently.
    void mnuName2_Click();
    // An explicit open of a chosen file: loads it, shifts the recent names and sets opened.
    // A file that cannot be read is said in red and is not opened: the recent names stay as
    // they were. Success clears the line.
    bool openFile(const QString& path);
    // The same for a file that is programmed as it stands: only a complete coin data file is
    // taken, anything else is "Not a coin data file".
    bool openFileToProgram(const QString& path);
    // Saves the image to the current file; the failure text, or empty on success. Other
    // windows show the failure in their own status line.
    QString saveCurrentFile();
    // Shifts the recent names to path, then saves as above.
    QString saveCurrentFileAs(const QString& path);
    // The menu's saves: a failure is said in red on the status line, success clears it.
    bool mnuFileSave_Click();
    bool mnuSaveAs(const QString& path);
    // Opens path and programs it with the standard blocks; refused while the link is busy.
    bool openAndProgram(const QString& path, Continuation then = {});

    void mnuDefault_Click();
    void applyEditorDefaults();

    // Opens the link on a device named directly rather than by a Com item; the production log
    // names it.
    bool openPort(const QString& device);

    // Where the production log looks up the port's stable name and serial number.
    void setPortListing(PortListing listing) { m_recorder.setPortListing(std::move(listing)); }

    // Port choice, with the fall-back to Com1.
    void choosePort(int portNumber);
    int currentPortNumber() const { return m_portNumber; }
    bool isPortChecked(int portNumber) const;
    // Maps the Com items, in menu order, to devices (empty: the default) in the settings
    // store; the port in use is opened again, as if chosen, when its device changed.
    void setPortDevices(const std::array<QString, PortNumbers.size()>& devices);

signals:
    void statusChanged();
    void fileNamesChanged();
    void portChecksChanged();
    // The production log could not be written; said once, the programming is not affected.
    void productionLogFailed(const QString& failure);

private:
    bool runRead(ImageTransfer::Kind kind, Continuation then);
    bool runBlocks(const QList<BlockSequence::Block>& blocks, const QString& operation,
                   Continuation then);
    void keepInJournal(const QString& operation);
    // Appends the programming to the production log; the failure to say, the first time only.
    QString recordProduction(bool verified);
    bool reportSave(const QString& failure);
    using FileLoader = CoinDataFile::LoadResult (*)(const QString&, SelectorImage&);
    bool openWith(const QString& path, FileLoader load);
    bool openPortNumber(int portNumber);
    void setPortChecks(const std::array<bool, PortNumbers.size()>& checks);
    void shiftNames(const QString& chosen);
    // By value: callers pass the members themselves, as when the two names swap.
    void setFileNames(QString current, QString previous);
    StartupSettings startupSettings() const;
    void showPortInUse(int portNumber);
    void onPortFailed();

    SelectorImage m_image;
    ForwardingTransferDisplay m_display;
    SelectorLink* m_link;
    Journal m_journal;
    ProductionRecorder m_recorder;
    ProductionRecorder::Adapter m_programmedAdapter;
    bool m_productionLogFailureSaid = false;
    QString m_portDevice;
    bool m_programming = false;
    std::function<void()> m_closeAfterProgramming;

    bool m_opened = false;
    bool m_verifyAfterProgramming = false;
    QList<int> m_unconfirmed;
    bool m_programmingAnswered = true;
    int m_begin = 0;
    int m_total = 0;
    int m_cdt = 0;
    int m_token = 1;
    int m_portNumber = 1;
    std::array<bool, PortNumbers.size()> m_portChecks{true, false, false, false, false};
    QString m_currentFile;
    QString m_previousFile;
    QString m_strch;
    QString m_statusText;
    StatusColour m_statusColour = StatusColour::Blue;
};

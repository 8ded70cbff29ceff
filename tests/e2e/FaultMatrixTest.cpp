// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "BlockSequence.h"
#include "CalibrationRun.h"
#include "CoinDataFile.h"
#include "CoinDataProgramming.h"
#include "CoinFeeder.h"
#include "MemoryWindow.h"
#include "ParameterMap.h"
#include "PtyCoreRig.h"
#include "RecordingDisplay.h"
#include "SamplingRun.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <optional>

using namespace std::chrono_literals;
using selectorsim::CoinDrop;
using selectorsim::Fault;

namespace {

// Every operation that talks to the selector, each meeting every fault of the line, over the
// program's own serial code and a real pseudo-terminal. The matrix below is the whole test;
// docs/fault-matrix.md shows the same table.

enum class Operation
{
    FullRead,
    PartialRead,
    ProgramBlock,
    StandardProgramming,
    Teaching,
    Calibration,
    CoinData,
    MemoryRead,
    MemoryProgram,
    CommandLineRead,
    CommandLineProgram,
};

// How an operation shows its outcome.
enum class Kind
{
    Window,      // the status window: closed on success, red text and "close" after a failure
    Session,     // teaching and calibration: their own status line
    CommandLine, // tarnvello-cli in a process of its own: exit code and standard error
};

// What the test does to the line halfway through an operation.
enum class Midway
{
    Nothing,
    NoiseBurst, // three garbage bytes, wherever the line happens to be
    Vanish,     // the device goes away (the selector is stopped)
};

struct Row
{
    const char* fault;
    Fault simulated; // what the selector does at the operation's fault point
    int times;       // in a row
    // One letter per operation, in the order of Columns:
    //   S  succeeds: the image holds the selector's bytes, or the selector the image's
    //   F  gives up with the operation's red text and shows nothing as success
    //   P  fails as the port breaks, and the port is closed with its warning
    //   R  as P; then the port is chosen again and the operation succeeds
    //   B  as P; then the device comes back behind the same link and the operation succeeds,
    //      nothing chosen
    //   .  not run: the same transfer meets this fault in another column
    const char* outcomes;
    Midway midway = Midway::Nothing;
};

// Five failed attempts in all end a transfer or handshake, so 1 is a transient fault and 5 one
// beyond the retry budget. A write reply naming another address is taken (its block is read
// back), and a start reply's bytes 1 to 3 are not examined. Noise comes before the reply at the
// fault point, and in a burst of its own halfway.
// clang-format off
constexpr Row Matrix[] = {
    // fault                                    FR PR PB SP T  C  CD MR MP CR CP
    {"no reply",        Fault::NoReply,       1, "S  S  S  S  S  S  S  S  .  S  S"},
    {"no reply",        Fault::NoReply,       5, "F  F  F  F  F  F  F  F  F  F  F"},
    {"wrong checksum",  Fault::WrongChecksum, 1, "S  S  S  S  S  .  .  .  .  .  ."},
    {"wrong checksum",  Fault::WrongChecksum, 5, "F  F  F  F  F  F  .  F  F  F  ."},
    {"wrong lead byte", Fault::WrongLeadByte, 1, "S  .  S  .  S  .  .  .  .  .  ."},
    {"wrong lead byte", Fault::WrongLeadByte, 5, "F  F  F  F  F  F  .  .  .  .  ."},
    {"wrong address",   Fault::WrongAddress,  1, "S  S  .  .  .  .  .  S  .  .  ."},
    {"wrong address",   Fault::WrongAddress,  5, "F  F  S  S  S  S  .  F  S  F  S"},
    {"late reply",      Fault::LateReply,     1, "S  S  S  S  S  S  .  .  .  .  ."},
    {"short frame",     Fault::ShortReply,    1, "S  S  S  S  S  .  .  .  .  .  ."},
    {"short frame",     Fault::ShortReply,    5, "F  F  F  .  F  F  .  .  .  .  ."},
    {"noise bytes",     Fault::NoiseBytes,    1, "S  S  S  S  S  S  .  .  .  .  .",
                                                 Midway::NoiseBurst},
    {"noise bytes",     Fault::NoiseBytes,    5, "F  F  F  .  F  F  .  .  .  .  ."},
    {"hang-up",         Fault::HangUp,        1, "P  P  P  P  P  P  P  P  P  P  P"},
    {"port vanished",   Fault::None,          0, "R  R  R  R  R  R  R  R  R  R  R",
                                                 Midway::Vanish},
    {"port vanished and came back",
                        Fault::None,          0, "B  .  .  B  B  B  .  .  .  .  .",
                                                 Midway::Vanish},
};
// clang-format on

struct Column
{
    Operation operation;
    const char* name;
    QString failureText;
    // Address whose replies the row's fault spoils; -1: the operation's first reply (the start
    // handshake).
    int faultAddress;
    QList<BlockSequence::Block> read;    // the image must mirror the selector here
    QList<BlockSequence::Block> written; // the selector must hold the image's bytes here

    Kind kind() const
    {
        switch (operation) {
        case Operation::Teaching:
        case Operation::Calibration:
            return Kind::Session;
        case Operation::CommandLineRead:
        case Operation::CommandLineProgram:
            return Kind::CommandLine;
        default:
            return Kind::Window;
        }
    }
};

const QString ReadError = QStringLiteral("Read selector error");
const QString ProgramError = QStringLiteral("Program to selector error");
const QString SelectorError = QStringLiteral("Coin Selector error");
const QList<BlockSequence::Block> Standard = BlockSequence::standardBlocks();

using enum Operation;
// clang-format off
const QList<Column> Columns{
    // operation          name                     failure text   fault read          written
    {FullRead,            "full read",             ReadError,     20,  {{0, 188}},   {}},
    {PartialRead,         "partial read",          ProgramError,  140, {{120, 188}}, {}},
    {ProgramBlock,        "program block",         ProgramError,  45,  {},           {{40, 55}}},
    {StandardProgramming, "standard programming",  ProgramError,  100, {},           Standard},
    {Teaching,            "teaching",              SelectorError, -1,  {},           {}},
    {Calibration,         "calibration",           SelectorError, -1,  {},           {{124, 127}}},
    {CoinData,            "coin data",             ProgramError,  100, {},           Standard},
    {MemoryRead,          "memory window read",    ReadError,     20,  {{0, 188}},   {}},
    {MemoryProgram,       "memory window program", ProgramError,  60,  {},           {{0, 188}}},
    {CommandLineRead,     "command-line read",     ReadError,     20,  {{0, 188}},   {}},
    {CommandLineProgram,  "command-line program",  ProgramError,  100, {},           Standard},
};
// clang-format on

QString outcomeLetters(const Row& row)
{
    return QString::fromLatin1(row.outcomes).remove(QLatin1Char(' '));
}

bool contains(const QList<BlockSequence::Block>& blocks, int address)
{
    return std::any_of(blocks.begin(), blocks.end(), [address](const auto& block) {
        return address >= block.begin && address <= block.total;
    });
}

// The faults the program meets as a time-out.
bool timesOut(Fault fault)
{
    return fault == Fault::NoReply || fault == Fault::LateReply || fault == Fault::ShortReply;
}

constexpr int Deadline = 30000;               // ms per operation: generous, it fails, never hangs
constexpr int MidwayFrames = 8;               // requests into a transfer
constexpr int MidwayCoins = 3;                // coin reports into a collection
constexpr int LongestStall = 500;             // ms the event loop may be kept from a 10 ms timer
constexpr double MostCpuPerWallTime = 0.5;    // a spinning program would use a whole core or more
const QString Sentinel = QStringLiteral("-"); // an image cell nothing has written yet

// Identical coins: a coin lost on the way changes nothing, and spares make up for it.
constexpr CoinDrop TaughtCoin{.a = 0x12, .b = 0x34, .x = 0x50, .y = 0x80, .dH = 0x7E};
constexpr int TaughtChannel = 4; // coin 5
// EA, EB, CGMA, MAD, M1, M2 taught from TaughtCoin.
const QList<std::pair<int, QString>> TaughtRecord{
    {ParameterMap::ea(5), "52"},  {ParameterMap::eb(5), "18"},  {ParameterMap::cgma(5), "10"},
    {ParameterMap::mad(5), "80"}, {ParameterMap::m1(5), "129"}, {ParameterMap::m2(5), "127"}};
constexpr CoinDrop ReferenceCoin{.a = 0x1C, .b = 0x20, .x = 0x6B, .y = 0x40, .dH = 69};
constexpr std::array<std::uint8_t, 4> CalibratedRecord{0x20, 0x1C, 0x6B, 70}; // BM: 69 + 1
constexpr std::array<std::uint8_t, 4> AcceptedRecord{0x10, 0x1C, 0x60, 80};
constexpr int SpareCoins = 10;

// This process's and its ended children's (the command line's).
double cpuSeconds()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += double(t.tv_sec) + double(t.tv_usec) / 1e6;
    }
    return total;
}

} // namespace

class FaultMatrixTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<PtyCoreRig> rig;
    std::unique_ptr<selectorsim::CoinFeeder> coins;
    RecordingDisplay display;
    // The running teaching, calibration, coin data programming or command line.
    std::unique_ptr<QObject> run;
    QString commandLineErrors;
    std::unique_ptr<MemoryWindow> memoryWindow;
    std::array<std::uint8_t, 189> before{};
    SelectorImage file;
    int coinsDropped = 0;
    qint64 longestStall = 0;

    ApplicationCore& core() { return rig->core; }
    SelectorImage& image() { return rig->core.image(); }
    selectorsim::SelectorSimulator& selector() { return rig->simulator; }
    QString path(const char* name) const { return environment.path(QString::fromLatin1(name)); }

    void dropCoins(const CoinDrop& coin, int count)
    {
        coins->drop(std::vector<CoinDrop>(std::size_t(count + SpareCoins), coin));
        coinsDropped = count + SpareCoins;
    }

    // Each run starts from a known image: nothing written yet where a read will store, bytes
    // unlike the selector's where a program will write.
    void prepare(const Column& column)
    {
        display = RecordingDisplay();
        commandLineErrors.clear();
        if (column.operation == Operation::CoinData)
            for (int i = 0; i < 4; ++i) // a second record that calibration accepts
                selector().setMemoryAt(124 + i, AcceptedRecord[std::size_t(i)]);
        before = selector().memory();
        coinsDropped = 0;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            image().setCell(a, Sentinel);
        for (int a = 0; a < SelectorImage::SelectorByteCount; ++a)
            if (contains(column.written, a))
                image().setNumber(a, before[std::size_t(a)] ^ 0xA5);
        if (column.operation == Operation::CoinData) {
            // Taught on a selector with the same calibration record: nothing is shifted.
            for (int a = 0; a < SelectorImage::CellCount; ++a)
                file.setNumber(
                    a, a < SelectorImage::SelectorByteCount ? before[std::size_t(a)] ^ 0x5A : 0);
            for (int a = 124; a <= 127; ++a)
                file.setNumber(a, before[std::size_t(a)]);
            QVERIFY(CoinDataFile::save(path("taught.cdt"), file));
        }
        // The command line opens the port itself: two readers would share its bytes.
        if (column.kind() == Kind::CommandLine)
            core().link().closePort();
        if (column.operation == Operation::CommandLineProgram) {
            // It programs complete coin data files only; what it does not write stays as is.
            for (int a = 0; a < SelectorImage::SelectorByteCount; ++a)
                if (!contains(column.written, a))
                    image().setNumber(a, before[std::size_t(a)]);
            // Its programming puts the fixed first calibration record into its own image.
            const int fixedRecord[] = {4, 52, 107, 61};
            for (int i = 0; i < 4; ++i)
                image().setNumber(ParameterMap::calibrationRecord(1) + i, fixedRecord[i]);
            QVERIFY(CoinDataFile::save(path("program.cdt"), image()));
        }
        if (column.operation == Operation::MemoryRead ||
            column.operation == Operation::MemoryProgram) {
            memoryWindow = std::make_unique<MemoryWindow>(core());
            memoryWindow->show();
        }
    }

    // Starts the operation; done is told whether it succeeded, once it has ended.
    bool start(Operation operation, const std::function<void(bool)>& done)
    {
        run.reset();
        switch (operation) {
        case Operation::FullRead:
            return core().mnuReadSelector_Click(done);
        case Operation::PartialRead:
            return core().ThisReadSelector_Click(done);
        case Operation::ProgramBlock:
            core().setBegin(40);
            core().setTotal(55);
            return core().program_to_selector(done);
        case Operation::StandardProgramming:
            return core().mnuProgram_Click(done);
        case Operation::Teaching:
            return startSession(new SamplingRun(TaughtChannel, {}, core().link(), image()),
                                TaughtCoin, SamplingRun::Outcome::Sampled, done);
        case Operation::Calibration:
            core().setToken(2);
            return startSession(new CalibrationRun(core()), ReferenceCoin,
                                CalibrationRun::Outcome::Programmed, done);
        case Operation::CoinData: {
            auto* programming = new CoinDataProgramming(core());
            run.reset(programming);
            connect(programming, &CoinDataProgramming::finished, this, [done](auto outcome) {
                done(outcome == CoinDataProgramming::Outcome::Programmed);
            });
            return programming->start(path("taught.cdt"));
        }
        case Operation::MemoryRead:
        case Operation::MemoryProgram:
            return clickMemoryWindow(operation == Operation::MemoryRead ? "Command3" : "Command1",
                                     done);
        case Operation::CommandLineRead:
            return startCommandLine({"read", "--port", "com1", "-o", path("read.cdt")}, done);
        case Operation::CommandLineProgram:
            return startCommandLine({"program", path("program.cdt"), "--port", "com1"}, done);
        }
        return false;
    }

    // Through the port map, as the windows go: Com1 names the selector's device.
    bool startCommandLine(const QStringList& arguments, const std::function<void(bool)>& done)
    {
        auto* process = new QProcess;
        run.reset(process);
        connect(process, &QProcess::finished, this,
                [this, process, done](int exitCode, QProcess::ExitStatus status) {
                    commandLineErrors = QString::fromUtf8(process->readAllStandardError());
                    const bool succeeded = status == QProcess::NormalExit && exitCode == 0;
                    // What it read, where the windows' read would have put it.
                    if (succeeded && process->arguments().constFirst() == "read")
                        CoinDataFile::load(path("read.cdt"), image());
                    done(succeeded);
                });
        process->start(QStringLiteral(TARNVELLO_CLI), arguments);
        return process->waitForStarted();
    }

    // The technician drops the coins once the selector has answered the start.
    template <typename Run>
    bool startSession(Run* session, const CoinDrop& coin, typename Run::Outcome success,
                      const std::function<void(bool)>& done)
    {
        run.reset(session);
        connect(
            session, &Run::statusChanged, this,
            [this](const QString& text, StatusColour colour) { display.setStatus(text, colour); });
        connect(session, &Run::progressChanged, this, [this, coin](int accepted, int awaited) {
            if (accepted == 0 && awaited == 1)
                dropCoins(coin, Run::SampleCount);
        });
        connect(session, &Run::finished, this,
                [done, success](auto outcome) { done(outcome == success); });
        return session->start();
    }

    // The window's buttons report nothing: the operation has ended when the link is free, and
    // it succeeded when the status window closed.
    bool clickMemoryWindow(const char* button, const std::function<void(bool)>& done)
    {
        memoryWindow->findChild<QPushButton*>(button)->click();
        if (!core().link().isBusy())
            return false;
        auto* ended = new QObject(memoryWindow.get());
        connect(&core().link(), &SelectorLink::busyChanged, ended, [this, ended, done](bool busy) {
            if (busy)
                return;
            ended->deleteLater();
            done(!display.open);
        });
        return true;
    }

    bool midwayReached(const Column& column)
    {
        if (column.kind() == Kind::Session)
            return coinsDropped > 0 && int(coins->waitingCoins()) + MidwayCoins <= coinsDropped;
        return selector().receivedFrames().size() >= std::size_t(MidwayFrames);
    }

    void actMidway(Midway midway)
    {
        switch (midway) {
        case Midway::Nothing:
            return;
        case Midway::NoiseBurst:
            selector().sendBytes({0x5A, 0xA5, 0x3C});
            return;
        case Midway::Vanish:
            selector().stop();
            return;
        }
    }

    // Runs the operation to its end on an event loop of its own (so that a program spinning
    // on the line would show in the CPU time), acting on the line halfway. Nothing when it did
    // not start or did not end within the deadline.
    std::optional<bool> runOperation(const Column& column, Midway midway)
    {
        selector().clearReceived();
        // Shared with the callback, which may come after a deadline has passed.
        auto outcome = std::make_shared<std::optional<bool>>();
        QEventLoop loop;
        bool midwayDone = midway == Midway::Nothing;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, &loop, [&] {
            longestStall = std::max(longestStall, sinceTick.restart());
            if (!midwayDone && midwayReached(column)) {
                midwayDone = true;
                actMidway(midway);
            }
        });
        QTimer::singleShot(Deadline, &loop, &QEventLoop::quit);
        const bool started =
            start(column.operation, [outcome, quit = QPointer(&loop)](bool succeeded) {
                *outcome = succeeded;
                if (quit)
                    quit->quit();
            });
        if (!started)
            return std::nullopt;
        sinceTick.start();
        ticker.start();
        if (!outcome->has_value())
            loop.exec();
        return *outcome;
    }

    // What every operation must leave, whatever its outcome: nothing written outside its
    // addresses, and the status window's state agreeing with the outcome.
    void verifyBounds(const Column& column, bool succeeded)
    {
        const auto memory = selector().memory();
        for (int a = 0; a < SelectorImage::SelectorByteCount; ++a)
            if (!contains(column.written, a))
                QCOMPARE(memory[std::size_t(a)], before[std::size_t(a)]);
        QCOMPARE(display.open, !succeeded && column.kind() == Kind::Window);
    }

    void verifySuccess(const Column& column)
    {
        const auto memory = selector().memory();
        for (int a = 0; a < SelectorImage::SelectorByteCount; ++a) {
            const auto byte = memory[std::size_t(a)];
            if (contains(column.read, a))
                QCOMPARE(image().cell(a), QString::number(byte));
            else if (!column.read.isEmpty())
                QCOMPARE(image().cell(a), Sentinel);
            if (contains(column.written, a))
                QCOMPARE(byte, image().selectorByte(a));
        }
        if (!column.read.isEmpty() && column.kind() == Kind::Window)
            QVERIFY(core().opened());
        switch (column.operation) {
        case Operation::Teaching:
            for (const auto& [address, text] : TaughtRecord)
                QCOMPARE(image().cell(address), text);
            QCOMPARE(display.colour, StatusColour::Green);
            break;
        case Operation::Calibration:
            for (int i = 0; i < 4; ++i)
                QCOMPARE(memory[std::size_t(124 + i)], CalibratedRecord[std::size_t(i)]);
            break;
        case Operation::CoinData:
            for (int a = 0; a < 120; ++a)
                if (a != ParameterMap::SerialNo)
                    QCOMPARE(memory[std::size_t(a)], file.selectorByte(a));
            break;
        case Operation::MemoryRead:
            for (int a = 0; a < SelectorImage::SelectorByteCount; ++a)
                QCOMPARE(memoryWindow->findChild<QLineEdit*>(QStringLiteral("m_%1").arg(a))->text(),
                         QString::number(memory[std::size_t(a)]));
            break;
        default:
            break;
        }
    }

    void verifyFailure(const Column& column)
    {
        if (column.kind() == Kind::CommandLine) {
            QVERIFY2(commandLineErrors.contains("tarnvello-cli: " + column.failureText),
                     qPrintable(commandLineErrors));
            return;
        }
        QCOMPARE(display.status, column.failureText);
        QCOMPARE(display.colour, StatusColour::Red);
        if (column.kind() == Kind::Window)
            QVERIFY(display.closeEnabled);
        if (!column.read.isEmpty())
            QVERIFY(!core().opened());
        if (column.operation == Operation::Teaching)
            for (const auto& [address, text] : TaughtRecord)
                QCOMPARE(image().cell(address), Sentinel);
    }

    void verifyPortLost(const Column& column, const QString& device)
    {
        if (column.kind() == Kind::CommandLine) {
            QVERIFY2(commandLineErrors.contains(
                         QStringLiteral("port %1 closed: the adapter or line is gone").arg(device)),
                     qPrintable(commandLineErrors));
            return;
        }
        // Later blocks of a programming do not open it again: the operation fails as it began.
        QVERIFY(!core().link().isPortOpen());
        QCOMPARE(core().statusText(), QString("warning:com1 closed: the adapter or line is gone"));
        QCOMPARE(core().statusColour(), StatusColour::Red);
    }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<PtyCoreRig>();
        QVERIFY2(rig->connect(), rig->simulator.errorString().c_str());
        // Coins a few tens of milliseconds apart: each report is read long before the next.
        coins = std::make_unique<selectorsim::CoinFeeder>(rig->simulator, 30ms);
        core().setTransferDisplay(&display);
        longestStall = 0;
    }
    void cleanup()
    {
        memoryWindow.reset();
        run.reset();
        coins.reset();
        rig.reset();
    }

    void everyOperationMeetsEveryFault_data()
    {
        QTest::addColumn<int>("rowIndex");
        QTest::addColumn<int>("columnIndex");
        for (int r = 0; r < int(std::size(Matrix)); ++r) {
            const Row& row = Matrix[r];
            const QString letters = outcomeLetters(row);
            QCOMPARE(letters.size(), Columns.size());
            QByteArray fault(row.fault);
            if (row.times > 0)
                fault += " x" + QByteArray::number(row.times);
            for (int c = 0; c < Columns.size(); ++c)
                if (letters.at(c) != QLatin1Char('.'))
                    QTest::addRow("%s, %s", fault.constData(), Columns.at(c).name) << r << c;
        }
    }
    void everyOperationMeetsEveryFault()
    {
        QFETCH(int, rowIndex);
        QFETCH(int, columnIndex);
        const Row& row = Matrix[rowIndex];
        const Column& column = Columns.at(columnIndex);
        const QChar expected = outcomeLetters(row).at(columnIndex);

        const QString link = path("selector-link");
        if (expected == QLatin1Char('B'))
            QVERIFY(rig->connect(link));
        prepare(column);
        const QString device = rig->device();
        if (column.faultAddress >= 0)
            selector().queueFaultAt(column.faultAddress, row.simulated, row.times);
        else
            selector().queueFault(row.simulated, row.times);

        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = cpuSeconds();
        const std::optional<bool> succeeded = runOperation(column, row.midway);
        const double cpu = cpuSeconds() - cpuBefore;
        const double seconds = double(wall.elapsed()) / 1000;
        QVERIFY2(succeeded.has_value(), "the operation did not start, or not end in time");

        QCOMPARE(*succeeded, expected == QLatin1Char('S'));
        verifyBounds(column, *succeeded);
        if (*succeeded)
            verifySuccess(column);
        else
            verifyFailure(column);
        const bool portLost = QStringLiteral("PRB").contains(expected);
        if (portLost) {
            verifyPortLost(column, device);
        } else if (column.kind() != Kind::CommandLine) {
            // Time-outs show their text, retried or not; failed checks show none.
            const QString timeout = column.kind() == Kind::Session
                                        ? QStringLiteral("communication time out !")
                                        : QStringLiteral("Communication time out !");
            QCOMPARE(display.statusHistory.count(timeout), timesOut(row.simulated) ? row.times : 0);
        }
        QVERIFY2(cpu <= MostCpuPerWallTime * seconds + 0.1,
                 qPrintable(QStringLiteral("%1 s of CPU in %2 s").arg(cpu).arg(seconds)));
        QVERIFY2(longestStall <= LongestStall, qPrintable(QString::number(longestStall)));

        if (expected == QLatin1Char('R')) {
            QVERIFY(rig->connect());
            QCOMPARE(core().statusText(), QString("commucation port use com1:"));
        } else if (expected == QLatin1Char('B')) {
            // The technician acts from the event loop, after the failed operation has ended.
            QCoreApplication::processEvents();
            QVERIFY(rig->comeBack(link));
        } else {
            return;
        }
        prepare(column);
        QCOMPARE(runOperation(column, Midway::Nothing), true);
        verifyBounds(column, true);
        verifySuccess(column);
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "FaultMatrixTest.moc"

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
    Midway midway;
    // One letter per operation, in the order of Columns:
    //   S  succeeds: the image holds the selector's bytes, or the selector the image's
    //   F  gives up with the operation's red text and shows nothing as success
    //   P  fails at once: the port is closed with its warning
    //   R  as P; then the port is chosen again and the operation succeeds
    //   .  not run: the same transfer meets this fault in another column
    const char* outcomes;
};

// Five failed attempts in all end a transfer or handshake, so 1 is a transient fault and 5 one
// beyond the retry budget.
constexpr Row Matrix[] = {
    // fault                                                      FR PR PB SP T  C  CD MR MP
    {"no reply", Fault::NoReply, 1, Midway::Nothing,             "S  S  S  S  S  S  S  S  ."},
    {"no reply", Fault::NoReply, 5, Midway::Nothing,             "F  F  F  F  F  F  F  F  F"},
    {"wrong checksum", Fault::WrongChecksum, 1, Midway::Nothing, "S  S  S  S  S  .  .  .  ."},
    {"wrong checksum", Fault::WrongChecksum, 5, Midway::Nothing, "F  F  F  F  F  F  .  F  F"},
    {"wrong lead byte", Fault::WrongLeadByte, 1, Midway::Nothing, "S  .  S  .  S  .  .  .  ."},
    {"wrong lead byte", Fault::WrongLeadByte, 5, Midway::Nothing, "F  F  F  F  F  F  .  .  ."},
    // A write reply's address and a start reply's bytes 1 to 3 are not examined.
    {"wrong address", Fault::WrongAddress, 1, Midway::Nothing,   "S  S  .  .  .  .  .  S  ."},
    {"wrong address", Fault::WrongAddress, 5, Midway::Nothing,   "F  F  S  S  S  S  .  F  S"},
    {"late reply", Fault::LateReply, 1, Midway::Nothing,         "S  S  S  S  S  S  .  .  ."},
    {"short frame", Fault::ShortReply, 1, Midway::Nothing,       "S  S  S  S  S  .  .  .  ."},
    {"short frame", Fault::ShortReply, 5, Midway::Nothing,       "F  F  F  .  F  F  .  .  ."},
    // Before the reply at the fault point, and a burst of its own halfway.
    {"noise bytes", Fault::NoiseBytes, 1, Midway::NoiseBurst,    "S  S  S  S  S  S  .  .  ."},
    {"noise bytes", Fault::NoiseBytes, 5, Midway::Nothing,       "F  F  F  .  F  F  .  .  ."},
    {"hang-up", Fault::HangUp, 1, Midway::Nothing,               "P  P  P  P  P  P  P  P  P"},
    {"port vanished", Fault::None, 0, Midway::Vanish,            "R  R  R  R  R  R  R  R  R"},
};

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
};

const QString ReadError = QStringLiteral("Read selector error");
const QString ProgramError = QStringLiteral("Program to selector error");
const QString SelectorError = QStringLiteral("Coin Selector error");

const QList<Column>& columns()
{
    static const QList<Column> table{
        {Operation::FullRead, "full read", ReadError, 20, {{0, 188}}, {}},
        {Operation::PartialRead, "partial read", ProgramError, 140, {{120, 188}}, {}},
        {Operation::ProgramBlock, "program block", ProgramError, 45, {}, {{40, 55}}},
        {Operation::StandardProgramming, "standard programming", ProgramError, 100, {},
         BlockSequence::standardBlocks()},
        {Operation::Teaching, "teaching", SelectorError, -1, {}, {}},
        {Operation::Calibration, "calibration", SelectorError, -1, {}, {{124, 127}}},
        {Operation::CoinData, "coin data", ProgramError, 100, {}, BlockSequence::standardBlocks()},
        {Operation::MemoryRead, "memory window read", ReadError, 20, {{0, 188}}, {}},
        {Operation::MemoryProgram, "memory window program", ProgramError, 60, {}, {{0, 188}}},
    };
    return table;
}

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

bool isSession(Operation operation)
{
    return operation == Operation::Teaching || operation == Operation::Calibration;
}

bool timesOut(Fault fault)
{
    return fault == Fault::NoReply || fault == Fault::LateReply || fault == Fault::ShortReply;
}

constexpr int Deadline = 30000;          // ms per operation: generous, it fails, never hangs
constexpr int MidwayFrames = 8;          // requests into a transfer
constexpr int MidwayCoins = 3;           // coin reports into a collection
constexpr int LongestStall = 500;        // ms the event loop may be kept from a 10 ms timer
constexpr double MostCpuPerWallTime = 0.5; // a spinning program would use a whole core or more
const QString Sentinel = QStringLiteral("-"); // an image cell nothing has written yet

// Identical coins: a coin lost on the way changes nothing, and spares make up for it.
constexpr CoinDrop TaughtCoin{.a = 0x12, .b = 0x34, .x = 0x50, .y = 0x80, .dH = 0x7E};
constexpr int TaughtChannel = 4;
// EA, EB, CGMA, MAD, M1, M2 taught from TaughtCoin.
const QList<std::pair<int, QString>> TaughtRecord{
    {ParameterMap::ea(5), "52"},   {ParameterMap::eb(5), "18"},  {ParameterMap::cgma(5), "10"},
    {ParameterMap::mad(5), "80"},  {ParameterMap::m1(5), "129"}, {ParameterMap::m2(5), "127"}};
constexpr CoinDrop ReferenceCoin{.a = 0x1C, .b = 0x20, .x = 0x6B, .y = 0x40, .dH = 69};
constexpr std::array<std::uint8_t, 4> CalibratedRecord{0x20, 0x1C, 0x6B, 70}; // BM: 69 + 1
constexpr int SpareCoins = 10;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

class FaultMatrixTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<PtyCoreRig> rig;
    std::unique_ptr<selectorsim::CoinFeeder> coins;
    RecordingDisplay display;
    std::unique_ptr<QObject> run; // the running teaching, calibration or coin data programming
    std::unique_ptr<MemoryWindow> memoryWindow;
    std::array<std::uint8_t, 189> before{};
    SelectorImage file;
    int coinsDropped = 0;
    qint64 longestStall = 0;

    ApplicationCore& core() { return rig->core; }
    SelectorImage& image() { return rig->core.image(); }
    selectorsim::SelectorSimulator& selector() { return rig->simulator; }

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
                file.setNumber(a, a < SelectorImage::SelectorByteCount
                                      ? before[std::size_t(a)] ^ 0x5A
                                      : 0);
            for (int a = 124; a <= 127; ++a)
                file.setNumber(a, before[std::size_t(a)]);
            QVERIFY(CoinDataFile::save(environment.path("taught.cdt"), file));
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
        case Operation::Teaching: {
            auto* teaching = new SamplingRun(TaughtChannel, false, core().link(), image());
            run.reset(teaching);
            connectSession(teaching, TaughtCoin, SamplingRun::SampleCount);
            connect(teaching, &SamplingRun::finished, this,
                    [done](auto outcome) { done(outcome == SamplingRun::Outcome::Sampled); });
            return teaching->start();
        }
        case Operation::Calibration: {
            core().setToken(2);
            auto* calibration = new CalibrationRun(core());
            run.reset(calibration);
            connectSession(calibration, ReferenceCoin, CalibrationRun::SampleCount);
            connect(calibration, &CalibrationRun::finished, this, [done](auto outcome) {
                done(outcome == CalibrationRun::Outcome::Programmed);
            });
            return calibration->start();
        }
        case Operation::CoinData: {
            auto* programming = new CoinDataProgramming(core());
            run.reset(programming);
            connect(programming, &CoinDataProgramming::finished, this, [done](auto outcome) {
                done(outcome == CoinDataProgramming::Outcome::Programmed);
            });
            return programming->start(environment.path("taught.cdt"));
        }
        case Operation::MemoryRead:
        case Operation::MemoryProgram:
            return clickMemoryWindow(operation == Operation::MemoryRead ? "Command3" : "Command1",
                                     done);
        }
        return false;
    }

    // The technician drops the coins once the selector has answered the start.
    template <typename Run>
    void connectSession(Run* session, const CoinDrop& coin, int count)
    {
        connect(session, &Run::statusChanged, this,
                [this](const QString& text, StatusColour colour) { display.setStatus(text, colour); });
        connect(session, &Run::progressChanged, this, [this, coin, count](int accepted, int awaited) {
            if (accepted == 0 && awaited == 1)
                dropCoins(coin, count);
        });
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
        if (isSession(column.operation))
            return coinsDropped > 0 &&
                   int(coins->waitingCoins()) + MidwayCoins <= coinsDropped;
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
        QCOMPARE(display.open, !succeeded && !isSession(column.operation));
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
        if (!column.read.isEmpty())
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
        QCOMPARE(display.status, column.failureText);
        QCOMPARE(display.colour, StatusColour::Red);
        if (!isSession(column.operation))
            QVERIFY(display.closeEnabled);
        if (!column.read.isEmpty())
            QVERIFY(!core().opened());
        if (column.operation == Operation::Teaching)
            for (const auto& [address, text] : TaughtRecord)
                QCOMPARE(image().cell(address), Sentinel);
    }

    void verifyPortLost()
    {
        QVERIFY(!core().link().isPortOpen());
        const QString warning = QStringLiteral("warning:com1 closed: ");
        QVERIFY2(core().statusText().startsWith(warning) &&
                     core().statusText().size() > warning.size(),
                 qPrintable(core().statusText()));
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
            const QString letters = outcomeLetters(Matrix[r]);
            QCOMPARE(letters.size(), columns().size());
            for (int c = 0; c < columns().size(); ++c)
                if (letters.at(c) != QLatin1Char('.'))
                    QTest::addRow("%s x%d, %s", Matrix[r].fault, Matrix[r].times,
                                  columns().at(c).name)
                        << r << c;
        }
    }
    void everyOperationMeetsEveryFault()
    {
        QFETCH(int, rowIndex);
        QFETCH(int, columnIndex);
        const Row& row = Matrix[rowIndex];
        const Column& column = columns().at(columnIndex);
        const QChar expected = outcomeLetters(row).at(columnIndex);

        prepare(column);
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
        const bool portLost = expected == QLatin1Char('P') || expected == QLatin1Char('R');
        if (portLost) {
            verifyPortLost();
        } else {
            // Time-outs show their text, retried or not; failed checks show none.
            const QString timeout = isSession(column.operation)
                                        ? QStringLiteral("communication time out !")
                                        : QStringLiteral("Communication time out !");
            QCOMPARE(display.statusHistory.count(timeout),
                     timesOut(row.simulated) ? row.times : 0);
        }
        QVERIFY2(cpu <= MostCpuPerWallTime * seconds,
                 qPrintable(QStringLiteral("%1 s of CPU in %2 s").arg(cpu).arg(seconds)));
        QVERIFY2(longestStall <= LongestStall, qPrintable(QString::number(longestStall)));

        if (expected != QLatin1Char('R'))
            return;
        QVERIFY(rig->connect());
        QCOMPARE(core().statusText(), QString("commucation port use com1:"));
        prepare(column);
        QCOMPARE(runOperation(column, Midway::Nothing), true);
        verifyBounds(column, true);
        verifySuccess(column);
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "FaultMatrixTest.moc"

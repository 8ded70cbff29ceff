// SPDX-License-Identifier: GPL-3.0-or-later
// Times the full read and the standard programming against the virtual selector at 19200-baud
// pacing and compares them with the time the wire itself needs: first as the windows run them
// (in this process), then as the command-line program does (one process per run, start-up
// included). The full read also runs behind a modelled USB-serial adapter with a 16 ms and a
// 1 ms latency timer (the FTDI default and its lowest setting), compared with the wire and with
// what the adapter itself allows: the program cannot set the model's timer through a
// pseudo-terminal, so these rows show what the lower timer is worth on a real cable, and that
// the program adds nothing of its own on a slow one. Last, a production bench: one command
// programs and verifies up to 32 selectors at once.
//
// usage: transfer_bench [runs]   (default 5)

#include "AdapterChip.h"
#include "BlockSequence.h"
#include "CoinDataFile.h"
#include "ImageTransfer.h"
#include "PseudoTerminal.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"
#include "TransferDisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double ByteMs = 10.0 * 1000.0 / 19200.0; // ten bits a byte
constexpr double ExchangeMs = 10 * ByteMs;         // five bytes out, five back
constexpr double PauseMs = SelectorLink::SettlingPauseHundredths * 10.0;

// An exchange of a run behind an adapter: the request goes as the answer before it reaches
// the program, so on a packet of the chip, which restarts its timer; five bytes out, then the
// five of the reply cross the line one by one and the chip passes them on as its timer runs out.
double lockedAdapterExchangeMs(std::chrono::microseconds latency)
{
    const selectorsim::AdapterChip::TimePoint sent{};
    selectorsim::AdapterChip chip(latency, sent);
    for (int i = 6; i <= 10; ++i)
        chip.push({0}, sent + i * selectorsim::SelectorSimulator::BytePeriod);
    while (const auto due = chip.nextDeadline())
        chip.takeDue(*due);
    return std::chrono::duration<double, std::milli>(chip.lastTakenDue() - sent).count();
}

// A read pauses from its last request, so only that exchange overlaps the pause.
double readWireMs(double exchange)
{
    return (SelectorImage::SelectorByteCount - 1) * exchange + std::max(exchange, PauseMs);
}

// The least a read takes behind an adapter: its first answer may reach the chip just before
// its timer runs out and wait for nothing; every other one waits for the timer.
double adapterReadMs(std::chrono::microseconds latency)
{
    const double locked = lockedAdapterExchangeMs(latency);
    return readWireMs(locked) - (locked - ExchangeMs);
}

class SilentDisplay final : public TransferDisplay
{
public:
    void showWindow() override {}
    void setStatus(const QString&, StatusColour) override {}
    void setStatusColour(StatusColour) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void enableClose() override {}
    void closeWindow() override {}
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// CPU time of the children this process has waited for.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// What the machine alone costs an exchange: five bytes through a pseudo-terminal to a thread
// that sends five back at once, no program and no pacing. Shared machines vary by the hour;
// this says how busy this one was while the transfers ran. Median, in microseconds.
double pseudoTerminalRoundTripUs()
{
    selectorsim::PseudoTerminal line;
    if (!line.open())
        return 0;
    const int near = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (near < 0)
        return 0;
    termios settings{};
    tcgetattr(near, &settings);
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 5; // woken once the five bytes are in, as the program is
    settings.c_cc[VTIME] = 0;
    tcsetattr(near, TCSANOW, &settings);
    const auto readFive = [](int fd, std::atomic<bool>* stop) {
        char bytes[64];
        for (int got = 0; got < 5 && !(stop && *stop);) {
            pollfd readable{fd, POLLIN, 0};
            if (poll(&readable, 1, 100) > 0)
                got += static_cast<int>(std::max<ssize_t>(0, ::read(fd, bytes, sizeof bytes)));
        }
    };
    std::atomic<bool> stop = false;
    std::thread farEnd([&] {
        while (!stop) {
            readFive(line.masterFd(), &stop);
            [[maybe_unused]] const ssize_t n = ::write(line.masterFd(), "12345", 5);
        }
    });
    std::vector<double> roundTrips;
    for (int i = 0; i < 400; ++i) {
        QElapsedTimer roundTrip;
        roundTrip.start();
        [[maybe_unused]] const ssize_t n = ::write(near, "abcde", 5);
        readFive(near, nullptr);
        roundTrips.push_back(static_cast<double>(roundTrip.nsecsElapsed()) / 1e3);
        usleep(2000); // both ends asleep between exchanges, as on the line
    }
    stop = true;
    farEnd.join();
    ::close(near);
    std::sort(roundTrips.begin(), roundTrips.end());
    return roundTrips[roundTrips.size() / 2];
}

struct Run
{
    double wallMs;
    double cpuMs;
    bool succeeded;
};

// Runs one operation to its end on the event loop: start(done) must call done(ok) once.
Run measure(const std::function<bool(std::function<void(bool)>)>& start,
            double (*cpuMs)() = threadCpuMs)
{
    QEventLoop loop; // the benchmark's own top-level loop, not nested in any handler
    bool succeeded = false;
    QElapsedTimer wall;
    const double cpuBefore = cpuMs();
    wall.start();
    if (!start([&](bool ok) {
            succeeded = ok;
            loop.quit();
        }))
        return {0, 0, false};
    loop.exec();
    return {static_cast<double>(wall.nsecsElapsed()) / 1e6, cpuMs() - cpuBefore, succeeded};
}

// Commands of the command-line program run at once, measured by their own CPU time; succeeded
// when every one did.
Run measureCli(const QList<QStringList>& commands, const QProcessEnvironment& environment)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    return measure(
        [&](std::function<void(bool)> done) {
            auto running = std::make_shared<int>(int(commands.size()));
            auto allSucceeded = std::make_shared<bool>(true);
            for (const QStringList& arguments : commands) {
                auto& process = processes.emplace_back(std::make_unique<QProcess>());
                process->setProcessEnvironment(environment);
                process->setStandardOutputFile(QProcess::nullDevice());
                QObject::connect(process.get(), &QProcess::finished, process.get(),
                                 [=](int exitCode, QProcess::ExitStatus status) {
                                     *allSucceeded = *allSucceeded &&
                                                     status == QProcess::NormalExit &&
                                                     exitCode == 0;
                                     if (--*running == 0)
                                         done(*allSucceeded);
                                 });
                process->start(QStringLiteral(TARNVELLO_CLI), arguments);
            }
            return true;
        },
        childrenCpuMs);
}

// The run of median wall time, counted as succeeded only if every run did.
Run medianRun(std::vector<Run> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    Run median = runs[runs.size() / 2];
    median.succeeded =
        std::all_of(runs.begin(), runs.end(), [](const Run& r) { return r.succeeded; });
    return median;
}

// `modelMs`, if given: the least the modelled adapter allows.
void report(const char* name, std::vector<Run> runs, double wireMs, double modelMs = 0)
{
    const Run median = medianRun(runs);
    double wallSum = 0;
    double cpuSum = 0;
    for (const Run& run : runs) {
        wallSum += run.wallMs;
        cpuSum += run.cpuMs;
    }
    std::printf("%-22s runs %zu%s  median wall %8.1f ms  wire minimum %8.1f ms  wall/wire %.3f  "
                "cpu/wall %.3f\n",
                name, runs.size(), median.succeeded ? "" : " (SOME FAILED)", median.wallMs, wireMs,
                median.wallMs / wireMs, cpuSum / wallSum);
    if (modelMs > 0)
        std::printf("%-22s the adapter allows no less than %8.1f ms  wall/adapter minimum %.3f\n",
                    "", modelMs, median.wallMs / modelMs);
}

// One full read of the selector on `link`.
Run measureRead(SelectorLink& link, SelectorImage& image, TransferDisplay& display, QObject* parent)
{
    return measure([&](std::function<void(bool)> done) {
        auto* transfer = ImageTransfer::fullRead(link, image, display, parent);
        QObject::connect(transfer, &ImageTransfer::finished, transfer, [transfer, done](bool ok) {
            transfer->deleteLater();
            done(ok);
        });
        return transfer->start();
    });
}

// Full reads of a virtual selector of their own, behind an adapter whose timer is `latency`.
std::vector<Run> measureReadsBehindAdapter(std::chrono::milliseconds latency, int runs,
                                           QObject* parent)
{
    selectorsim::SelectorSimulator simulator({.adapterLatency = latency});
    SystemLinkClock clock;
    SelectorLink link(std::make_unique<SerialLinkPort>(), clock);
    if (!simulator.start() || !link.openPort(QString::fromStdString(simulator.devicePath())))
        return {{0, 0, false}};
    SelectorImage image;
    SilentDisplay display;
    std::vector<Run> reads;
    for (int i = 0; i < runs; ++i)
        reads.push_back(measureRead(link, image, display, parent));
    return reads;
}

// The virtual selector as processes of its own, `perProcess` links each (one selector per
// link), as on a production bench; the links' paths, or none when one did not start.
QStringList startBench(std::vector<std::unique_ptr<QProcess>>& processes, const QString& folder,
                       int count, int perProcess)
{
    QStringList links;
    for (int first = 1; first <= count; first += perProcess) {
        QStringList arguments;
        const int last = std::min(count, first + perProcess - 1);
        for (int i = first; i <= last; ++i) {
            links.append(QStringLiteral("%1/selector%2").arg(folder).arg(i));
            arguments << QStringLiteral("--link") << links.constLast();
        }
        auto& selectors = processes.emplace_back(std::make_unique<QProcess>());
        selectors->start(QStringLiteral(SELECTOR_SIM), arguments);
        // It prints one device path per selector once every link is made.
        for (QByteArray printed; printed.count('\n') < last - first + 1;) {
            if (!selectors->waitForReadyRead(5000))
                return {};
            printed += selectors->readAllStandardOutput();
        }
    }
    return links;
}

void stopBench(std::vector<std::unique_ptr<QProcess>>& processes)
{
    for (const auto& selectors : processes)
        selectors->terminate();
    for (const auto& selectors : processes)
        selectors->waitForFinished();
    processes.clear();
}

// The production bench's virtual selectors in this process: one per link, each paced by a
// thread of its own, as selector-sim runs them; here they also tell how quickly the command
// sent each request after the reply before it.
class SelectorBench
{
public:
    SelectorBench(int count, bool wholeReplies) : m_cpuAtStart(processCpuMs())
    {
        for (int i = 0; i < count; ++i) {
            auto& simulator =
                m_simulators.emplace_back(std::make_unique<selectorsim::SelectorSimulator>(
                    selectorsim::SimulatorOptions{.wholeTransmissions = wholeReplies}));
            if (!simulator->start())
                return;
            m_devices.append(QString::fromStdString(simulator->devicePath()));
        }
    }
    const QStringList& devices() const { return m_devices; }

    // Per selector, over `runs` runs: the turnarounds (their spread, and what they add up to
    // in one run), how late the selectors wrote their bytes against when they were due, and
    // the CPU time the selectors took (this process's, which does little else meanwhile).
    void reportTurnarounds(int runs) const
    {
        std::vector<double> us;
        selectorsim::SelectorSimulator::DeliveryTiming delivery;
        for (const auto& simulator : m_simulators) {
            for (const std::chrono::nanoseconds t : simulator->turnarounds())
                us.push_back(static_cast<double>(t.count()) / 1e3);
            const auto timing = simulator->deliveryTiming();
            delivery.writes += timing.writes;
            delivery.total += timing.total;
            delivery.latest = std::max(delivery.latest, timing.latest);
        }
        if (us.empty() || delivery.writes == 0)
            return;
        std::sort(us.begin(), us.end());
        const auto at = [&](double share) {
            return us[std::min(us.size() - 1,
                               static_cast<std::size_t>(share * static_cast<double>(us.size())))];
        };
        const double perSelectorRun = static_cast<double>(m_simulators.size() * std::size_t(runs));
        double sum = 0;
        for (const double t : us)
            sum += t;
        std::printf("%-50s  reply to next request: median %5.0f us  90%% %5.0f us  99%% %5.0f us  "
                    "max %6.0f us  in all %6.1f ms a selector\n",
                    "", at(0.5), at(0.9), at(0.99), us.back(), sum / 1e3 / perSelectorRun);
        std::printf("%-50s  bytes written %5.1f us late on average (latest %6.0f us); selectors' "
                    "cpu %5.1f ms a selector\n",
                    "",
                    static_cast<double>(delivery.total.count()) / 1e3 /
                        static_cast<double>(delivery.writes),
                    static_cast<double>(delivery.latest.count()) / 1e3,
                    (processCpuMs() - m_cpuAtStart) / perSelectorRun);
    }

private:
    std::vector<std::unique_ptr<selectorsim::SelectorSimulator>> m_simulators;
    QStringList m_devices;
    double m_cpuAtStart;
};

// One command-line programming with --verify of 1, 8, 16 and 32 selectors at once, as a
// production bench runs it, against the same programming of one: wall time of N against one,
// and the command's CPU time per selector against one's. The virtual selectors serve from
// this process, a thread a link, and tell how soon each request followed its reply (the
// time the command takes to turn round, the pseudo-terminal's included). Then the 32 against
// one selector-sim process serving 32 links and against 32 selector-sim processes; last, eight
// separate commands at once, for comparison.
void reportBench(const QString& file, const QProcessEnvironment& environment, const QString& folder,
                 int runs)
{
    constexpr int MostSelectors = 32;
    Run one{};
    const auto row = [&](const QString& name, int count, const QList<QStringList>& commands) {
        std::vector<Run> measured;
        for (int i = 0; i < runs; ++i)
            measured.push_back(measureCli(commands, environment));
        const Run median = medianRun(measured);
        if (count == 1)
            one = median;
        std::printf("%-50s%s  median wall %8.1f ms  wall/one %.3f  cpu per selector %6.1f ms  "
                    "cpu per selector/one %.3f\n",
                    name.toUtf8().constData(), median.succeeded ? "" : " (SOME FAILED)",
                    median.wallMs, median.wallMs / one.wallMs, median.cpuMs / count,
                    median.cpuMs / count / one.cpuMs);
    };
    const auto programming = [&](const QStringList& links, int count) {
        QStringList arguments{QStringLiteral("program"), file, QStringLiteral("--verify")};
        for (int i = 0; i < count; ++i)
            arguments << QStringLiteral("--port") << links.at(i);
        return arguments;
    };
    // Last, 1 and 32 against selectors that write each reply in one go.
    const std::vector<std::pair<int, bool>> rows{{1, false},  {8, false},
                                                 {16, false}, {MostSelectors, false},
                                                 {1, true},   {MostSelectors, true}};
    for (const auto& [count, wholeReplies] : rows) {
        const SelectorBench bench(count, wholeReplies); // the turnarounds of this row alone
        if (bench.devices().size() < count) {
            std::fprintf(stderr, "the virtual selectors did not start\n");
            return;
        }
        row(QStringLiteral("cli program --verify, %1 selector%2%3")
                .arg(count)
                .arg(count == 1 ? "" : "s")
                .arg(wholeReplies ? ", whole replies" : ""),
            count, {programming(bench.devices(), count)});
        bench.reportTurnarounds(runs);
    }
    for (const int perProcess : {MostSelectors, 1}) {
        std::vector<std::unique_ptr<QProcess>> processes;
        const QStringList links = startBench(processes, folder, MostSelectors, perProcess);
        if (links.size() < MostSelectors) {
            std::fprintf(stderr, "the virtual selector processes did not start\n");
            return;
        }
        row(perProcess == 1 ? QStringLiteral("32 against 32 selector-sim processes")
                            : QStringLiteral("32 against one selector-sim process"),
            MostSelectors, {programming(links, MostSelectors)});
        if (perProcess == 1) {
            QList<QStringList> separate;
            for (int i = 0; i < 8; ++i)
                separate.append(programming({links.at(i)}, 1));
            row(QStringLiteral("8 separate commands at once"), 8, separate);
        }
        stopBench(processes);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    selectorsim::SelectorSimulator simulator;
    if (!simulator.start()) {
        std::fprintf(stderr, "virtual selector: %s\n", simulator.errorString().c_str());
        return 1;
    }
    SystemLinkClock clock;
    SelectorLink link(std::make_unique<SerialLinkPort>(), clock);
    if (!link.openPort(QString::fromStdString(simulator.devicePath()))) {
        std::fprintf(stderr, "cannot open %s\n", simulator.devicePath().c_str());
        return 1;
    }
    SelectorImage image;
    SilentDisplay display;

    std::vector<Run> reads;
    std::vector<Run> programmings;
    for (int i = 0; i < runs; ++i) {
        reads.push_back(measureRead(link, image, display, &application));
        programmings.push_back(measure([&](std::function<void(bool)> done) {
            auto* sequence = new BlockSequence(BlockSequence::standardBlocks(), link, image,
                                               display, &application);
            QObject::connect(sequence, &BlockSequence::finished, sequence,
                             [sequence, done](bool ok) {
                                 sequence->deleteLater();
                                 done(ok);
                             });
            return sequence->start();
        }));
    }

    // Each block sends its end-of-block frame and then pauses in full.
    const double readWire = readWireMs(ExchangeMs);
    double programWire = 0;
    for (const auto& block : BlockSequence::standardBlocks())
        programWire += (block.total - block.begin + 1) * ExchangeMs + 5 * ByteMs + PauseMs;

    // The command-line program opens the same device: this process lets go of it meanwhile.
    link.closePort();
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scratch.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       scratch.filePath(QStringLiteral("config")));
    const QString device = QString::fromStdString(simulator.devicePath());
    const QString file = scratch.filePath(QStringLiteral("bench.cdt"));
    CoinDataFile::save(file, image);
    std::vector<Run> cliReads;
    std::vector<Run> cliProgrammings;
    for (int i = 0; i < runs; ++i) {
        cliReads.push_back(measureCli({{"read", "--port", device, "-o", "-"}}, environment));
        cliProgrammings.push_back(measureCli({{"program", file, "--port", device}}, environment));
    }

    using namespace std::chrono_literals;
    const std::vector<Run> slowAdapterReads = measureReadsBehindAdapter(16ms, runs, &application);
    const std::vector<Run> fastAdapterReads = measureReadsBehindAdapter(1ms, runs, &application);

    std::printf("machine: a pseudo-terminal round trip takes %.1f us (median)\n",
                pseudoTerminalRoundTripUs());
    const selectorsim::SelectorSimulator::DeliveryTiming line = simulator.deliveryTiming();
    const auto us = [](std::chrono::nanoseconds t) { return static_cast<double>(t.count()) / 1e3; };
    std::printf("virtual selector: %lld writes, each %.1f us after its bytes were due on average "
                "(earliest %.1f us, latest %.1f us)\n",
                static_cast<long long>(line.writes),
                line.writes > 0 ? us(line.total) / static_cast<double>(line.writes) : 0.0,
                us(line.earliest), us(line.latest));
    report("full read", reads, readWire);
    report("read, 16 ms adapter", slowAdapterReads, readWire, adapterReadMs(16ms));
    report("read, 1 ms adapter", fastAdapterReads, readWire, adapterReadMs(1ms));
    report("standard programming", programmings, programWire);
    report("cli read", cliReads, readWire);
    report("cli program", cliProgrammings, programWire);
    reportBench(file, environment, scratch.path(), runs);
    return 0;
}

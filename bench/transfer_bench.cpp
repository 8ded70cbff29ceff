// Times the full read and the standard programming against the virtual selector at 19200-baud
// pacing and compares them with the time the wire itself needs.
//
// usage: transfer_bench [runs]   (default 5)

#include "BlockSequence.h"
#include "ImageTransfer.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"
#include "TransferDisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr double ByteMs = 10.0 * 1000.0 / 19200.0; // ten bits a byte
constexpr double ExchangeMs = 10 * ByteMs;         // five bytes out, five back
constexpr double PauseMs = SelectorLink::SettlingPauseHundredths * 10.0;

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

struct Run
{
    double wallMs;
    double cpuMs;
    bool succeeded;
};

// Runs one operation to its end on the event loop: start(done) must call done(ok) once.
Run measure(const std::function<bool(std::function<void(bool)>)>& start)
{
    QEventLoop loop; // the benchmark's own top-level loop, not nested in any handler
    bool succeeded = false;
    QElapsedTimer wall;
    const double cpuBefore = threadCpuMs();
    wall.start();
    if (!start([&](bool ok) {
            succeeded = ok;
            loop.quit();
        }))
        return {0, 0, false};
    loop.exec();
    return {static_cast<double>(wall.nsecsElapsed()) / 1e6, threadCpuMs() - cpuBefore, succeeded};
}

void report(const char* name, std::vector<Run> runs, double wireMs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    const Run& median = runs[runs.size() / 2];
    double wallSum = 0;
    double cpuSum = 0;
    bool allSucceeded = true;
    for (const Run& run : runs) {
        wallSum += run.wallMs;
        cpuSum += run.cpuMs;
        allSucceeded = allSucceeded && run.succeeded;
    }
    std::printf("%-22s runs %zu%s  median wall %8.1f ms  wire minimum %8.1f ms  wall/wire %.3f  "
                "cpu/wall %.3f\n",
                name, runs.size(), allSucceeded ? "" : " (SOME FAILED)", median.wallMs, wireMs,
                median.wallMs / wireMs, cpuSum / wallSum);
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
        reads.push_back(measure([&](std::function<void(bool)> done) {
            auto* transfer = ImageTransfer::fullRead(link, image, display, &application);
            QObject::connect(transfer, &ImageTransfer::finished, transfer,
                             [transfer, done](bool ok) {
                                 transfer->deleteLater();
                                 done(ok);
                             });
            return transfer->start();
        }));
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

    // A read pauses from its last request, so only that exchange overlaps the pause; each block
    // sends its end-of-block frame and then pauses in full.
    const double readWire =
        (SelectorImage::SelectorByteCount - 1) * ExchangeMs + std::max(ExchangeMs, PauseMs);
    double programWire = 0;
    for (const auto& block : BlockSequence::standardBlocks())
        programWire += (block.total - block.begin + 1) * ExchangeMs + 5 * ByteMs + PauseMs;

    report("full read", reads, readWire);
    report("standard programming", programmings, programWire);
    return 0;
}

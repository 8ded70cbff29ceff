// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockSequence.h"
#include "FakeLinkRig.h"
#include "ImageTransfer.h"
#include "LinkCommands.h"
#include "RecordingDisplay.h"
#include "RetryBudget.h"
#include "SelectorImage.h"
#include "SelectorLink.h"

#include <QCoreApplication>
#include <QEvent>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

// Reads and programming driven over a faulty line: the input decides, frame by frame, whether
// a request is lost and what becomes of its answer (lost, late, cut in two, one byte garbled,
// held by the driver), and between the frames how far time moves, whether the wait is
// cancelled, the port hangs up or the status window is closed. What a line may truthfully do
// never includes inventing a frame, so every outcome the transfers report must be true.
namespace {

constexpr int MemorySize = SelectorImage::SelectorByteCount;
using Memory = std::array<quint8, MemorySize>;

// A broken invariant names itself, so that a finding says what went wrong.
[[noreturn]] void fail(const char* condition, int line)
{
    std::fprintf(stderr, "fuzz_link_transfer.cpp:%d: %s does not hold\n", line, condition);
    std::abort();
}
#define CHECK(condition) ((condition) ? void() : fail(#condition, __LINE__))

// Posted calls and deferred deletes run as the event loop would run them between two events.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The selector at the far end of the line, and the line itself. A selector carries out every
// request that reaches it; the line decides what reaches it and what comes back. Bytes keep
// their order on the line. Once the input is used up the line is clean.
class FuzzedLine
{
public:
    FuzzedLine(FuzzedDataProvider& script, FakeLinkPort& port, FakeLinkClock& clock)
        : m_script(script), m_port(port), m_clock(clock)
    {
        // Other than the image even when the input says nothing, so that a lost write shows.
        const auto mask = script.ConsumeIntegral<quint8>();
        for (std::size_t a = 0; a < memory.size(); ++a)
            memory[a] = static_cast<quint8>((a * 7 + 3) ^ mask);
        port.responder = [this](FakeLinkPort&, const QByteArray& bytes) { onFrame(bytes); };
    }

    Memory memory{};
    int requests = 0;   // reads and writes sent by the program
    int framesSent = 0; // every frame, end frames included

private:
    enum Fate
    {
        Prompt,
        Late,
        Lost,
        Garbled,
        Cut,
        HeldByDriver,
        FateCount
    };

    void onFrame(const QByteArray& bytes)
    {
        ++framesSent;
        const auto frame = LinkFrame::fromBytes(bytes);
        CHECK(frame && frame->hasValidChecksum() && bytes.size() == LinkFrame::Size);
        const quint8 lead = frame->lead();
        if (lead != LinkCommands::ReadLead && lead != LinkCommands::WriteLead)
            return;
        ++requests;
        const int address = frame->at(1);
        CHECK(address < MemorySize);
        const bool clean = m_script.remaining_bytes() == 0;
        if (!clean && m_script.ConsumeIntegralInRange(0, 7) == 0)
            return; // the request never reached the selector
        auto& cell = memory[static_cast<std::size_t>(address)];
        if (lead == LinkCommands::WriteLead)
            cell = frame->at(3);
        QByteArray reply = LinkFrame::build(lead, frame->at(1), frame->at(2), cell).toByteArray();
        switch (clean ? Prompt : m_script.ConsumeIntegralInRange(0, FateCount - 1)) {
        case Prompt:
            deliver(reply, 0);
            break;
        case Late:
            deliver(reply, m_script.ConsumeIntegralInRange(1, 60));
            break;
        case Lost:
            break;
        case Garbled: {
            // One wrong byte always breaks the checksum: a fault the checks must catch.
            const auto at = m_script.ConsumeIntegralInRange(0, LinkFrame::Size - 1);
            reply[at] = static_cast<char>(reply.at(at) ^ m_script.ConsumeIntegralInRange(1, 255));
            deliver(reply, m_script.ConsumeIntegralInRange(0, 30));
            break;
        }
        case Cut: {
            const auto at = m_script.ConsumeIntegralInRange(1, LinkFrame::Size - 1);
            deliver(reply.first(at), m_script.ConsumeIntegralInRange(0, 30));
            deliver(reply.sliced(at), m_script.ConsumeIntegralInRange(0, 30));
            break;
        }
        case HeldByDriver:
            deliver(reply, m_script.ConsumeIntegralInRange(0, 30),
                    m_script.ConsumeIntegralInRange(0, 10));
            break;
        default:
            break;
        }
    }

    // Bytes arrive after `delay` hundredths, never before bytes the selector sent earlier.
    // Bytes the driver holds are handed over `driverDelay` later, unless the input is cleared.
    void deliver(const QByteArray& bytes, int delay, int driverDelay = -1)
    {
        const double previous = m_arrivals.empty() ? 0 : m_arrivals.back().at;
        m_arrivals.push_back({std::max(previous, m_clock.elapsed() + delay), bytes, driverDelay});
        if (!m_arrivalTimer->isActive())
            awaitArrival();
    }

    void awaitArrival()
    {
        if (!m_arrivals.empty())
            m_arrivalTimer->start(static_cast<int>(m_arrivals.front().at - m_clock.elapsed()),
                                  [this] { arrive(); });
    }

    void arrive()
    {
        const Arrival arrival = m_arrivals.front();
        m_arrivals.pop_front();
        awaitArrival();
        if (!m_port.isOpen())
            return;
        if (arrival.driverDelay < 0) {
            m_port.receive(arrival.bytes);
            return;
        }
        m_port.receiveInDriver(arrival.bytes);
        if (!m_handOverTimer->isActive())
            m_handOverTimer->start(arrival.driverDelay, [this] {
                if (m_port.isOpen())
                    m_port.deliverDriverQueue();
            });
    }

    struct Arrival
    {
        double at;
        QByteArray bytes;
        int driverDelay;
    };

    FuzzedDataProvider& m_script;
    FakeLinkPort& m_port;
    FakeLinkClock& m_clock;
    std::deque<Arrival> m_arrivals; // in the order of their times
    std::unique_ptr<LinkTimer> m_arrivalTimer = m_clock.createTimer();
    std::unique_ptr<LinkTimer> m_handOverTimer = m_clock.createTimer();
};

struct Rig : FakeLinkRig
{
    SelectorImage image;
    RecordingDisplay display;
};

// The short ones first: an input that says little runs a short operation.
enum class Operation
{
    Block,
    Blocks,
    PartialRead,
    SamplingRead,
    FullRead,
    StandardProgramming,
    Count
};

struct Outcome
{
    int completed = 0;
    int finished = 0;
    bool succeeded = false;
    int framesAtCompletion = -1;
    int framesAtFinish = -1;
    bool interrupted = false; // cancelled, hung up or closed by the script
    bool closed = false;      // torn down before it finished
};

// Moves time on and interferes as the input says until the operation has finished; once the
// input is used up, time runs on in long strides. An operation that outlives every deadline it
// could set is stuck.
template <typename Close>
void drive(FuzzedDataProvider& script, Rig& rig, Outcome& outcome, Close close)
{
    for (int idle = 0; outcome.finished == 0 && !outcome.closed;) {
        settle();
        if (outcome.finished != 0)
            break;
        if (script.remaining_bytes() == 0) {
            CHECK(++idle < 4000);
            rig.clock.advance(1000);
            continue;
        }
        switch (script.ConsumeIntegralInRange(0, 15)) {
        case 0:
            outcome.interrupted = outcome.interrupted || rig.link.isWaiting();
            rig.link.cancelWait();
            break;
        case 1:
            if (script.ConsumeBool() && rig.port->isOpen()) {
                outcome.interrupted = true;
                rig.port->hangUp();
            }
            break;
        case 2:
            if (script.ConsumeIntegralInRange(0, 7) == 0) {
                outcome.closed = true;
                close();
            }
            break;
        default:
            rig.clock.advance(script.ConsumeIntegralInRange(0, 25));
            break;
        }
    }
}

// The addresses an operation touches, and the frames it may send.
struct Plan
{
    Operation operation = Operation::Block;
    QList<BlockSequence::Block> blocks; // programming
    int first = 0;                      // reads
    int last = -1;
};

Plan plan(FuzzedDataProvider& script)
{
    Plan p;
    p.operation = static_cast<Operation>(
        script.ConsumeIntegralInRange(0, static_cast<int>(Operation::Count) - 1));
    switch (p.operation) {
    case Operation::FullRead:
        p.last = MemorySize - 1;
        break;
    case Operation::PartialRead:
        p.first = ImageTransfer::FirstPartialReadAddress;
        p.last = MemorySize - 1;
        break;
    case Operation::SamplingRead:
        p.last = ImageTransfer::LastSamplingReadAddress;
        break;
    case Operation::Block:
    case Operation::Blocks: {
        const int count = p.operation == Operation::Block ? 1 : script.ConsumeIntegralInRange(1, 3);
        for (int i = 0; i < count; ++i) {
            const int begin = script.ConsumeIntegralInRange(0, MemorySize - 1);
            p.blocks.append({begin, script.ConsumeIntegralInRange(begin - 1, MemorySize - 1)});
        }
        break;
    }
    case Operation::StandardProgramming:
        p.blocks = BlockSequence::standardBlocks();
        break;
    case Operation::Count:
        break;
    }
    return p;
}

bool isProgrammed(const Plan& p, int address)
{
    return std::any_of(p.blocks.begin(), p.blocks.end(), [address](const auto& block) {
        return address >= block.begin && address <= block.total;
    });
}

int length(int first, int last)
{
    return std::max(0, last - first + 1);
}

// Each step of a block (writing, reading back, writing again, reading again) spends at most
// the retry budget on failures, each beyond one attempt per byte.
int mostRequests(const Plan& p)
{
    constexpr int spare = RetryBudget::Limit - 1;
    if (p.blocks.isEmpty())
        return length(p.first, p.last) + spare;
    int most = 0;
    for (const auto& block : p.blocks)
        most += 4 * (length(block.begin, block.total) + spare);
    return most;
}

void run(FuzzedDataProvider& script, Rig& rig, FuzzedLine& line)
{
    const Plan p = plan(script);
    const Memory before = line.memory;
    const SelectorImage imageBefore = rig.image;
    const int requestsBefore = line.requests;
    if (!rig.link.isPortOpen())
        rig.link.openPort(QStringLiteral("fake")); // the port chosen again after a hang-up

    Outcome outcome;
    auto onCompleted = [&outcome, &line](bool succeeded) {
        ++outcome.completed;
        outcome.succeeded = succeeded;
        outcome.framesAtCompletion = line.framesSent;
    };
    auto onFinished = [&outcome, &line](bool succeeded) {
        ++outcome.finished;
        CHECK(outcome.finished == 1 && (outcome.completed == 0 || succeeded == outcome.succeeded));
        outcome.succeeded = succeeded;
        outcome.framesAtFinish = line.framesSent;
    };

    std::unique_ptr<ImageTransfer> transfer;
    std::unique_ptr<BlockSequence> sequence;
    if (p.operation == Operation::Block) {
        const auto block = p.blocks.constFirst();
        transfer.reset(ImageTransfer::programBlock(block.begin, block.total, rig.link, rig.image,
                                                   rig.display));
    } else if (p.blocks.isEmpty()) {
        const auto kind = p.operation == Operation::FullRead ? ImageTransfer::Kind::FullRead
                          : p.operation == Operation::PartialRead
                              ? ImageTransfer::Kind::PartialRead
                              : ImageTransfer::Kind::SamplingRead;
        transfer.reset(ImageTransfer::read(kind, rig.link, rig.image, rig.display));
    }
    if (transfer) {
        QObject::connect(transfer.get(), &ImageTransfer::completed, onCompleted);
        QObject::connect(transfer.get(), &ImageTransfer::finished, onFinished);
        CHECK(transfer->start());
    } else {
        sequence = std::make_unique<BlockSequence>(p.blocks, rig.link, rig.image, rig.display);
        QObject::connect(sequence.get(), &BlockSequence::finished, onFinished);
        CHECK(sequence->start());
    }

    drive(script, rig, outcome, [&] {
        transfer.reset();
        sequence.reset();
        settle();
        CHECK(!rig.link.isWaiting());
        // Only a settling pause already under way may keep the link a little longer.
        rig.clock.advance(SelectorLink::SettlingPauseHundredths);
        settle();
        CHECK(!rig.link.isBusy());
    });

    CHECK(line.requests - requestsBefore <= mostRequests(p));
    for (int a = 0; a < MemorySize; ++a) {
        const auto at = static_cast<std::size_t>(a);
        CHECK(isProgrammed(p, a) || line.memory[at] == before[at]);
    }
    if (outcome.closed)
        return;

    // The settling pause is quiet: nothing is sent between the last exchange and finished().
    CHECK(!transfer ||
          (outcome.completed == 1 && outcome.framesAtCompletion == outcome.framesAtFinish));
    CHECK(outcome.succeeded ? !rig.display.open
                            : rig.display.open && rig.display.closeEnabled &&
                                  rig.display.colour == StatusColour::Red);
    if (p.blocks.isEmpty()) {
        // A read stores what the selector holds, address by address, up to where it stopped.
        const int stop = outcome.succeeded ? p.last + 1 : transfer->address();
        CHECK(stop >= p.first && stop <= p.last + 1);
        CHECK(outcome.succeeded || outcome.interrupted ||
              transfer->failures() == RetryBudget::Limit);
        for (int a = p.first; a <= p.last; ++a)
            CHECK(a < stop ? rig.image.selectorByte(a) == line.memory[static_cast<std::size_t>(a)]
                           : rig.image.cell(a) == imageBefore.cell(a));
    } else if (outcome.succeeded) {
        // Programming that reports success leaves every byte sent in the selector.
        for (int a = 0; a < MemorySize; ++a)
            CHECK(!isProgrammed(p, a) ||
                  line.memory[static_cast<std::size_t>(a)] == rig.image.selectorByte(a));
    }
    CHECK(!transfer || transfer->failures() <= RetryBudget::Limit);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

// One or two operations, one after the other on the same line, so that answers still under
// way from the first meet the second.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider script(data, size);
    Rig rig;
    FuzzedLine line(script, *rig.port, rig.clock);
    // Shortly before midnight, so that some waits span it.
    rig.clock.setNow(LinkClock::HundredthsPerDay - 1 - script.ConsumeIntegralInRange(0, 20000));
    const auto step = script.ConsumeIntegral<quint8>();
    const auto offset = script.ConsumeIntegral<quint8>();
    for (int a = 0; a < SelectorImage::CellCount; ++a)
        rig.image.setNumber(a, a * step + offset);

    const int operations = script.ConsumeIntegralInRange(1, 2);
    for (int i = 0; i < operations; ++i)
        run(script, rig, line);

    // After the last operation the line falls silent and the link is free again.
    const int frames = line.framesSent;
    for (int i = 0; i < 3; ++i) {
        rig.clock.advance(1000);
        settle();
    }
    CHECK(line.framesSent == frames && !rig.link.isBusy() && !rig.link.isWaiting());
    return 0;
}

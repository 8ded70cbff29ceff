// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AdapterChip.h"
#include "Frame.h"
#include "OutputSchedule.h"
#include "PseudoTerminal.h"
#include "SelectorDevice.h"
#include "WakeLead.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace selectorsim {

class FrameAssembler;

// How a queued fault spoils a reply: NoReply sends nothing (a write still stores);
// WrongChecksum adds 1 to the checksum byte; WrongLeadByte inverts the lead byte and
// recomputes the checksum; LateReply sends the reply lateReplyDelay after the request;
// NoiseBytes sends NoiseBytes before the reply; HangUp closes the line instead of replying;
// IgnoreRequest neither carries the request out nor answers it, as if it had been lost on the
// line (it is still listed among the received frames); ShortReply sends only the first
// ShortReplyBytes of the reply; WrongAddress echoes the address plus one, with a checksum that
// fits (a corrupt answer that passes the checksum); CorruptWrite stores a write's value with
// its lowest bit flipped yet answers as if it had stored it (a fault only a read-back finds).
// None leaves the reply as it is: queued between faults, it spaces them apart.
// A fault queued with a delay sends its reply (spoiled as it says) that long after the request.
enum class Fault
{
    None,
    NoReply,
    WrongChecksum,
    WrongLeadByte,
    LateReply,
    NoiseBytes,
    HangUp,
    IgnoreRequest,
    ShortReply,
    WrongAddress,
    CorruptWrite
};

struct SimulatorOptions
{
    bool paced = true; // 19200-baud pacing: 520.83 us per byte, against absolute deadlines
    std::chrono::microseconds replyLatency{0};        // extra delay between a request and its reply
    std::chrono::microseconds lateReplyDelay{260000}; // LateReply: beyond the PC's 0.2 s time-out
    // The latency timer of a USB-serial adapter between the line and the PC, whose chip holds
    // back what the selector sends (AdapterChip); none: the line reaches the PC directly.
    std::optional<std::chrono::microseconds> adapterLatency{};
    // Each reply (or other transmission) is written in one go once its last byte has crossed
    // the line, instead of each byte as it crosses: a program that waits for the whole reply
    // gets it at the same time, and the selector wakes once a reply instead of once a byte
    // (many selectors on a machine of few cores).
    bool wholeTransmissions = false;
    // The line sends back every byte the PC sends, as it arrives (a half-duplex adapter with
    // local echo); the echo passes the adapter's chip like any other byte.
    bool echo = false;
    // Only that echo, with no selector behind the line (a loopback plug): requests are
    // neither answered, carried out nor recorded.
    bool loopback = false;
};

// A virtual coin selector on a pseudo-terminal. A worker thread answers the request frames
// that arrive on the terminal, paced like a 19200-baud line when asked to.
//
// start(), stop() and the destructor belong to the owning thread; every other member may be
// called from any thread at any time, running or not.
class SelectorSimulator
{
public:
    static constexpr std::chrono::nanoseconds BytePeriod{520833}; // ten bits at 19200 baud
    // Bytes sent before the reply by Fault::NoiseBytes.
    static constexpr std::array<std::uint8_t, 3> NoiseBytes{0x5A, 0xA5, 0x3C};
    // What Fault::ShortReply leaves of a reply.
    static constexpr std::size_t ShortReplyBytes = 3;
    // The oldest received frames are forgotten beyond this many.
    static constexpr std::size_t MaxRecordedFrames = std::size_t{1} << 20;

    explicit SelectorSimulator(SimulatorOptions options = {});
    ~SelectorSimulator();
    SelectorSimulator(const SelectorSimulator&) = delete;
    SelectorSimulator& operator=(const SelectorSimulator&) = delete;

    // Opens a new pseudo-terminal and starts the worker; true if already running. False on
    // failure, see errorString(). After stop() a new start() gives a new device path.
    bool start();
    void stop();
    // Empty while not started.
    std::string devicePath() const;
    std::string errorString() const;

    std::array<std::uint8_t, 189> memory() const;
    std::uint8_t memoryAt(int address) const; // 0 outside 0..188
    void setMemory(const std::array<std::uint8_t, 189>& bytes);
    void setMemoryAt(int address, std::uint8_t value); // ignored outside 0..188

    // FIFO: each queued fault spoils the next reply the simulator would send.
    void queueFault(Fault fault, int times = 1);
    // The same with a delay: each reply it spoils goes out `delay` after its request (for
    // LateReply instead of lateReplyDelay).
    void queueFault(Fault fault, int times, std::chrono::microseconds delay);
    // Spoils the next `times` replies to reads and writes of `address` (0..188), optionally
    // delayed as above. Such faults come first: a request they spoil takes nothing from the
    // queue above.
    void queueFaultAt(int address, Fault fault, int times = 1,
                      std::optional<std::chrono::microseconds> delay = std::nullopt);
    // Forgets every queued fault.
    void clearFaults();
    // Answer nothing while set; requests are still recorded and carried out, and queued
    // faults wait for the next reply actually sent.
    void setSilent(bool silent);
    // Closes the far end now; returns once it is closed. The simulator stays dead until
    // stop() and start().
    void hangUp();

    // Every complete, checksum-valid request frame received, in order.
    std::vector<Frame> receivedFrames() const;
    int countReceived(std::uint8_t leadByte) const;
    void clearReceived();

    // Unsolicited bytes (coin reports, events), paced like replies; dropped while not running.
    void sendBytes(const std::vector<std::uint8_t>& bytes);
    // The same, starting no earlier than `start` (events spaced apart on the line).
    void sendBytesAt(const std::vector<std::uint8_t>& bytes,
                     std::chrono::steady_clock::time_point start);

    // How late paced bytes went out against when they were due (negative: early), over every
    // write since start: how closely the line's timing is kept.
    struct DeliveryTiming
    {
        std::int64_t writes = 0;
        std::chrono::nanoseconds total{0};
        std::chrono::nanoseconds earliest{0};
        std::chrono::nanoseconds latest{0};
    };
    DeliveryTiming deliveryTiming() const;
    // For each request that came within TurnaroundWindow of a reply: how long after the
    // reply's last byte was written its first byte came, in order; the time the PC (and the
    // pseudo-terminal) took to answer the answer. Kept since start, MaxRecordedFrames at most.
    static constexpr std::chrono::milliseconds TurnaroundWindow{50};
    std::vector<std::chrono::nanoseconds> turnarounds() const;

    // Told of every request frame received, on the worker thread with the simulator locked:
    // it must not call back into the simulator. An empty function removes it.
    using RequestListener = std::function<void(const Frame&)>;
    void setRequestListener(RequestListener listener);

private:
    using Clock = std::chrono::steady_clock;

    void run();
    // Worker helpers; those named *Locked expect m_mutex held.
    struct QueuedFault
    {
        Fault fault = Fault::None;
        int times = 1; // replies it still spoils
        std::optional<std::chrono::microseconds> delay;
        std::optional<int> address; // only replies to reads and writes of this address
    };

    // `received`: when the request's last byte had crossed the line.
    void handleRequestLocked(const Frame& request, Clock::time_point received);
    std::optional<QueuedFault> takeFaultLocked(const Frame& request);
    void scheduleReplyLocked(Frame reply, const std::optional<QueuedFault>& fault,
                             Clock::time_point received);
    void hangUpLocked();
    void clearOutputLocked();
    // Bytes for the PC due by `until`: off the line, or out of the adapter's chip.
    std::vector<std::uint8_t> takeDueLocked(Clock::time_point until);
    std::optional<Clock::time_point> nextOutputDeadlineLocked() const;
    // Whether bytes are to be taken by `until` (with wholeTransmissions, only whole ones).
    bool outputDueLocked(Clock::time_point until) const;
    // Bytes the PC sent go to the assembler, and to `echoed` if the line echoes them.
    void readInput(FrameAssembler& assembler, std::vector<std::uint8_t>& echoed);
    void writeOutput(std::vector<std::uint8_t>& unwritten);
    void recordDeliveryLocked(Clock::time_point due, Clock::time_point written);
    void recordTurnaroundLocked(Clock::time_point received);
    void waitForWork(std::optional<Clock::time_point> deadline, bool waitingToWrite,
                     FrameAssembler& assembler, std::vector<std::uint8_t>& echoed);
    void wake();
    void closeEventFds();

    const SimulatorOptions m_options;
    PseudoTerminal m_terminal; // the master is touched only by the worker while it runs
    int m_wakeFd = -1;
    int m_deadlineFd = -1; // a timerfd: the worker's next deadline
    WakeLead m_wakeLead;   // the worker's own
    std::thread m_worker;

    mutable std::mutex m_mutex;
    std::condition_variable m_hungUpChanged;
    SelectorDevice m_device;
    OutputSchedule m_output;
    std::optional<AdapterChip> m_adapter;
    std::deque<Frame> m_received;
    std::deque<QueuedFault> m_faults;          // FIFO, for any reply
    std::deque<QueuedFault> m_faultsAtAddress; // for replies to one address
    RequestListener m_requestListener;
    DeliveryTiming m_delivery;
    std::optional<Clock::time_point> m_replyWrittenAt; // until a request follows it
    std::deque<std::chrono::nanoseconds> m_turnarounds;
    std::string m_devicePath;
    std::string m_error;
    bool m_silent = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_hangUpRequested = false;
    bool m_hungUp = false;
};

} // namespace selectorsim

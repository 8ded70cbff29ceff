// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorSimulator.h"

#include "FrameAssembler.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <system_error>
#include <unistd.h>

namespace selectorsim {

namespace {

using namespace std::chrono_literals;

// A request counts as received once its five bytes could have crossed the wire.
constexpr int FrameBytes = 5;
// A partial request left this long is a fragment, not a frame still arriving.
constexpr std::chrono::nanoseconds StaleFragment = 50ms;
constexpr std::size_t ReadChunk = 256;
constexpr std::size_t MaxReadPerWake = 4096;
constexpr std::uint8_t ReadLead = 0xE1;
constexpr std::uint8_t WriteLead = 0xE2;

timespec toTimespec(std::chrono::nanoseconds duration)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((duration - seconds).count())};
}

std::optional<std::chrono::steady_clock::time_point>
earliest(std::optional<std::chrono::steady_clock::time_point> a,
         std::optional<std::chrono::steady_clock::time_point> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

} // namespace

SelectorSimulator::SelectorSimulator(SimulatorOptions options)
    : m_options(options), m_output(options.paced ? BytePeriod : std::chrono::nanoseconds{0})
{
    if (options.adapterLatency)
        m_adapter.emplace(*options.adapterLatency, Clock::now()); // plugged in now
}

SelectorSimulator::~SelectorSimulator()
{
    stop();
}

bool SelectorSimulator::start()
{
    if (m_worker.joinable())
        return true;
    auto fail = [this](std::string reason) {
        m_terminal.close();
        closeEventFds();
        const std::lock_guard lock(m_mutex);
        m_error = std::move(reason);
        return false;
    };
    if (!m_terminal.open())
        return fail(m_terminal.errorString());
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return fail("eventfd: " + std::generic_category().message(errno));
    m_deadlineFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_deadlineFd < 0)
        return fail("timerfd: " + std::generic_category().message(errno));
    {
        const std::lock_guard lock(m_mutex);
        m_devicePath = m_terminal.slavePath();
        m_error.clear();
        clearOutputLocked();
        m_delivery = {};
        m_turnarounds.clear();
        m_replyWrittenAt.reset();
        m_running = true;
        m_stopRequested = false;
        m_hangUpRequested = false;
        m_hungUp = false;
    }
    try {
        m_worker = std::thread(&SelectorSimulator::run, this);
    } catch (const std::system_error& error) {
        {
            const std::lock_guard lock(m_mutex);
            m_running = false;
            m_devicePath.clear();
        }
        return fail(std::string("thread: ") + error.what());
    }
    return true;
}

void SelectorSimulator::stop()
{
    if (!m_worker.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    wake();
    m_worker.join();
    m_terminal.close();
    closeEventFds();
    const std::lock_guard lock(m_mutex);
    m_running = false;
    m_devicePath.clear();
    clearOutputLocked();
}

std::string SelectorSimulator::devicePath() const
{
    const std::lock_guard lock(m_mutex);
    return m_devicePath;
}

std::string SelectorSimulator::errorString() const
{
    const std::lock_guard lock(m_mutex);
    return m_error;
}

std::array<std::uint8_t, 189> SelectorSimulator::memory() const
{
    const std::lock_guard lock(m_mutex);
    return m_device.memory();
}

std::uint8_t SelectorSimulator::memoryAt(int address) const
{
    const std::lock_guard lock(m_mutex);
    return m_device.memoryAt(address);
}

void SelectorSimulator::setMemory(const std::array<std::uint8_t, 189>& bytes)
{
    const std::lock_guard lock(m_mutex);
    m_device.setMemory(bytes);
}

void SelectorSimulator::setMemoryAt(int address, std::uint8_t value)
{
    const std::lock_guard lock(m_mutex);
    m_device.setMemoryAt(address, value);
}

void SelectorSimulator::queueFault(Fault fault, int times)
{
    if (times <= 0)
        return;
    const std::lock_guard lock(m_mutex);
    m_faults.push_back({fault, times, std::nullopt, std::nullopt});
}

void SelectorSimulator::queueFault(Fault fault, int times, std::chrono::microseconds delay)
{
    if (times <= 0)
        return;
    const std::lock_guard lock(m_mutex);
    m_faults.push_back({fault, times, delay, std::nullopt});
}

void SelectorSimulator::queueFaultAt(int address, Fault fault, int times,
                                     std::optional<std::chrono::microseconds> delay)
{
    if (times <= 0 || address < 0 || address >= MemorySize)
        return;
    const std::lock_guard lock(m_mutex);
    m_faultsAtAddress.push_back({fault, times, delay, address});
}

void SelectorSimulator::clearFaults()
{
    const std::lock_guard lock(m_mutex);
    m_faults.clear();
    m_faultsAtAddress.clear();
}

void SelectorSimulator::setSilent(bool silent)
{
    const std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void SelectorSimulator::hangUp()
{
    std::unique_lock lock(m_mutex);
    if (!m_running || m_hungUp)
        return;
    m_hangUpRequested = true;
    wake();
    m_hungUpChanged.wait(lock, [this] { return m_hungUp || m_stopRequested; });
}

std::vector<Frame> SelectorSimulator::receivedFrames() const
{
    const std::lock_guard lock(m_mutex);
    return {m_received.begin(), m_received.end()};
}

int SelectorSimulator::countReceived(std::uint8_t leadByte) const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_received.begin(), m_received.end(),
                                          [leadByte](const Frame& f) { return f[0] == leadByte; }));
}

void SelectorSimulator::clearReceived()
{
    const std::lock_guard lock(m_mutex);
    m_received.clear();
}

void SelectorSimulator::sendBytes(const std::vector<std::uint8_t>& bytes)
{
    sendBytesAt(bytes, Clock::now());
}

void SelectorSimulator::sendBytesAt(const std::vector<std::uint8_t>& bytes, Clock::time_point start)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_running || m_hungUp)
            return;
        m_output.add(bytes, start);
    }
    wake();
}

void SelectorSimulator::setRequestListener(RequestListener listener)
{
    const std::lock_guard lock(m_mutex);
    m_requestListener = std::move(listener);
}

void SelectorSimulator::closeEventFds()
{
    for (int* fd : {&m_wakeFd, &m_deadlineFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void SelectorSimulator::wake()
{
    const std::uint64_t one = 1;
    // A full counter already means "wake up", so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void SelectorSimulator::run()
{
    FrameAssembler assembler(
        m_options.paced ? FrameBytes * BytePeriod : std::chrono::nanoseconds{0}, StaleFragment);
    std::vector<std::uint8_t> unwritten;
    std::vector<std::uint8_t> echoed;
    for (;;) {
        std::optional<Clock::time_point> deadline;
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopRequested)
                break;
            if (m_hangUpRequested)
                hangUpLocked();
            const Clock::time_point now = Clock::now();
            // A request is answered from the moment its last bit crossed the line, not from
            // when this thread got round to it, so a late wake-up does not delay the reply.
            for (std::optional<Clock::time_point> due = assembler.nextDeadline();
                 due && *due <= now && !m_hungUp; due = assembler.nextDeadline()) {
                if (const std::optional<Frame> request = assembler.takeFrame(*due))
                    handleRequestLocked(*request, *due);
            }
            if (m_hungUp) {
                unwritten.clear();
            } else {
                // The echo comes back as the PC's bytes arrive, ahead of anything due later.
                if (m_adapter)
                    m_adapter->push(echoed, now);
                else
                    unwritten.insert(unwritten.end(), echoed.begin(), echoed.end());
                // The wake-up was asked for a lead early: what falls due within it goes now.
                if (unwritten.empty() && outputDueLocked(now + m_wakeLead.lead()))
                    unwritten = takeDueLocked(now + m_wakeLead.lead());
            }
            echoed.clear();
            // A non-blocking write is quick enough to make under the lock.
            writeOutput(unwritten);
            deadline = assembler.nextDeadline();
            if (unwritten.empty()) {
                if (const std::optional<Clock::time_point> due = nextOutputDeadlineLocked())
                    deadline = earliest(deadline, *due - m_wakeLead.lead());
            }
        }
        waitForWork(deadline, !unwritten.empty(), assembler, echoed);
    }
    const std::lock_guard lock(m_mutex);
    m_hungUpChanged.notify_all();
}

void SelectorSimulator::handleRequestLocked(const Frame& request, Clock::time_point received)
{
    if (m_options.loopback)
        return;
    m_received.push_back(request);
    if (m_received.size() > MaxRecordedFrames)
        m_received.pop_front();
    recordTurnaroundLocked(received);
    // Faults spoil replies: a request that gets none (or none while silent) leaves them queued.
    std::optional<QueuedFault> fault;
    if (!m_silent && m_device.replyTo(request))
        fault = takeFaultLocked(request);
    if (fault && fault->fault == Fault::IgnoreRequest)
        return;
    if (m_requestListener)
        m_requestListener(request);
    const std::optional<Frame> reply = m_device.answer(request);
    if (reply && fault && fault->fault == Fault::CorruptWrite && request[0] == WriteLead)
        m_device.setMemoryAt(request[1], static_cast<std::uint8_t>(request[3] ^ 0x01));
    if (reply && !m_silent)
        scheduleReplyLocked(*reply, fault, received);
}

std::optional<SelectorSimulator::QueuedFault>
SelectorSimulator::takeFaultLocked(const Frame& request)
{
    std::deque<QueuedFault>* queue = &m_faults;
    auto entry = m_faults.begin();
    if (request[0] == ReadLead || request[0] == WriteLead) {
        const auto atAddress =
            std::find_if(m_faultsAtAddress.begin(), m_faultsAtAddress.end(),
                         [&](const QueuedFault& f) { return f.address == int{request[1]}; });
        if (atAddress != m_faultsAtAddress.end()) {
            queue = &m_faultsAtAddress;
            entry = atAddress;
        }
    }
    if (entry == queue->end())
        return std::nullopt;
    const QueuedFault fault = *entry;
    if (--entry->times == 0)
        queue->erase(entry);
    return fault;
}

void SelectorSimulator::scheduleReplyLocked(Frame reply, const std::optional<QueuedFault>& fault,
                                            Clock::time_point received)
{
    Clock::time_point start = received + m_options.replyLatency;
    std::vector<std::uint8_t> bytes;
    if (fault) {
        if (fault->delay)
            start = received + *fault->delay;
        switch (fault->fault) {
        case Fault::None:
        case Fault::CorruptWrite: // the reply is sound; the stored byte is not
            break;
        case Fault::NoReply:
        case Fault::IgnoreRequest: // not carried out either: handled before
            return;
        case Fault::WrongChecksum:
            ++reply[4];
            break;
        case Fault::WrongLeadByte:
            reply = makeFrame(static_cast<std::uint8_t>(~reply[0]), reply[1], reply[2], reply[3]);
            break;
        case Fault::LateReply:
            if (!fault->delay)
                start = received + m_options.lateReplyDelay;
            break;
        case Fault::NoiseBytes:
            bytes.assign(NoiseBytes.begin(), NoiseBytes.end());
            break;
        case Fault::HangUp:
            hangUpLocked();
            return;
        case Fault::ShortReply:
            m_output.add({reply.begin(), reply.begin() + ShortReplyBytes}, start);
            return;
        case Fault::WrongAddress:
            reply =
                makeFrame(reply[0], static_cast<std::uint8_t>(reply[1] + 1), reply[2], reply[3]);
            break;
        }
    }
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    m_output.add(std::move(bytes), start);
}

void SelectorSimulator::recordTurnaroundLocked(Clock::time_point received)
{
    if (!m_replyWrittenAt)
        return;
    // On a paced line the request's first byte came its frame's time before it was received.
    const Clock::time_point firstByte =
        received - (m_options.paced ? FrameBytes * BytePeriod : std::chrono::nanoseconds{0});
    if (firstByte - *m_replyWrittenAt < TurnaroundWindow) {
        m_turnarounds.push_back(firstByte - *m_replyWrittenAt);
        if (m_turnarounds.size() > MaxRecordedFrames)
            m_turnarounds.pop_front();
    }
    m_replyWrittenAt.reset();
}

std::vector<std::chrono::nanoseconds> SelectorSimulator::turnarounds() const
{
    const std::lock_guard lock(m_mutex);
    return {m_turnarounds.begin(), m_turnarounds.end()};
}

SelectorSimulator::DeliveryTiming SelectorSimulator::deliveryTiming() const
{
    const std::lock_guard lock(m_mutex);
    return m_delivery;
}

void SelectorSimulator::recordDeliveryLocked(Clock::time_point due, Clock::time_point written)
{
    const std::chrono::nanoseconds lateness = written - due;
    m_delivery.earliest =
        m_delivery.writes == 0 ? lateness : std::min(m_delivery.earliest, lateness);
    m_delivery.latest = m_delivery.writes == 0 ? lateness : std::max(m_delivery.latest, lateness);
    m_delivery.total += lateness;
    ++m_delivery.writes;
}

std::vector<std::uint8_t> SelectorSimulator::takeDueLocked(Clock::time_point until)
{
    std::vector<std::uint8_t> due = m_output.takeDue(until);
    Clock::time_point dueAt = m_output.lastTakenDue();
    if (m_adapter) {
        // Bytes taken together enter the chip together, when the last of them has crossed.
        if (!due.empty())
            m_adapter->push(due, dueAt);
        due = m_adapter->takeDue(until);
        dueAt = m_adapter->lastTakenDue();
    }
    if (!due.empty() && m_options.paced)
        recordDeliveryLocked(dueAt, Clock::now());
    return due;
}

bool SelectorSimulator::outputDueLocked(Clock::time_point until) const
{
    if (!m_options.wholeTransmissions)
        return true;
    const std::optional<Clock::time_point> end = nextOutputDeadlineLocked();
    return end && *end <= until;
}

std::optional<SelectorSimulator::Clock::time_point>
SelectorSimulator::nextOutputDeadlineLocked() const
{
    // The line's bytes are due in the chip as they cross, for its timer and packet size.
    return earliest(m_options.wholeTransmissions ? m_output.transmissionEnd()
                                                 : m_output.nextDeadline(),
                    m_adapter ? m_adapter->nextDeadline() : std::nullopt);
}

void SelectorSimulator::clearOutputLocked()
{
    m_output.clear();
    if (m_adapter)
        m_adapter->clear();
}

void SelectorSimulator::hangUpLocked()
{
    m_terminal.closeMaster();
    clearOutputLocked();
    m_hangUpRequested = false;
    m_hungUp = true;
    m_hungUpChanged.notify_all();
}

void SelectorSimulator::readInput(FrameAssembler& assembler, std::vector<std::uint8_t>& echoed)
{
    const int master = m_terminal.masterFd();
    if (master < 0)
        return;
    std::array<std::uint8_t, ReadChunk> buffer{};
    for (std::size_t total = 0; total < MaxReadPerWake;) {
        const ssize_t n = ::read(master, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        assembler.push(buffer.data(), static_cast<std::size_t>(n), Clock::now());
        if (m_options.echo || m_options.loopback)
            echoed.insert(echoed.end(), buffer.begin(), buffer.begin() + n);
        total += static_cast<std::size_t>(n);
    }
}

void SelectorSimulator::writeOutput(std::vector<std::uint8_t>& unwritten)
{
    const int master = m_terminal.masterFd();
    if (unwritten.empty() || master < 0)
        return;
    const ssize_t n = ::write(master, unwritten.data(), unwritten.size());
    if (n > 0) {
        unwritten.erase(unwritten.begin(), unwritten.begin() + n);
        if (unwritten.empty())
            m_replyWrittenAt = Clock::now();
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        unwritten.clear(); // the line is gone; nobody will read these bytes
    }
}

void SelectorSimulator::waitForWork(std::optional<Clock::time_point> deadline, bool waitingToWrite,
                                    FrameAssembler& assembler, std::vector<std::uint8_t>& echoed)
{
    // The deadline is an absolute time on a timer of its own: no timer slack rounds it up and
    // no delay before the wait starts stretches it, and input still ends the wait at once and
    // is stamped as it arrives. steady_clock is CLOCK_MONOTONIC on Linux. Arming it anew (or
    // disarming it) also clears an expiry from the wait before.
    itimerspec arm{};
    if (deadline)
        arm.it_value = toTimespec(deadline->time_since_epoch());
    timerfd_settime(m_deadlineFd, TFD_TIMER_ABSTIME, &arm, nullptr);
    const int master = m_terminal.masterFd();
    std::array<pollfd, 3> fds{};
    fds[0] = {m_wakeFd, POLLIN, 0};
    fds[1] = {master, static_cast<short>(waitingToWrite ? POLLIN | POLLOUT : POLLIN), 0};
    fds[2] = {m_deadlineFd, POLLIN, 0};
    if (poll(fds.data(), fds.size(), -1) <= 0)
        return;
    if ((fds[2].revents & POLLIN) && deadline)
        m_wakeLead.learn(Clock::now() - *deadline);
    if (fds[0].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &count, sizeof count);
    }
    if (fds[1].revents & POLLIN)
        readInput(assembler, echoed);
    if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[1].revents & POLLIN)) {
        // Should not happen while the slave stays open here; polling on would spin.
        const std::lock_guard lock(m_mutex);
        hangUpLocked();
    }
}

} // namespace selectorsim

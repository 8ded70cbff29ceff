// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinFeeder.h"

#include "SelectorSimulator.h"

namespace selectorsim {

namespace {

constexpr std::uint8_t TeachStartLead = 0xE3;
constexpr std::uint8_t CalibrationStartLead = 0x83;
constexpr std::uint8_t StopLead = 0x84;

} // namespace

CoinFeeder::CoinFeeder(SelectorSimulator& simulator, std::chrono::milliseconds interval)
    : m_simulator(simulator), m_interval(interval), m_worker(&CoinFeeder::run, this)
{
    m_simulator.setRequestListener([this](const Frame& request) { onRequest(request); });
}

CoinFeeder::~CoinFeeder()
{
    // Once this returns the simulator's worker no longer calls us.
    m_simulator.setRequestListener({});
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void CoinFeeder::drop(const std::vector<CoinDrop>& coins)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.insert(m_waiting.end(), coins.begin(), coins.end());
    }
    m_changed.notify_all();
}

void CoinFeeder::dropKind(int count, int kind)
{
    dropMeasured(count, [kind](std::mt19937& random) { return CoinDrop::ofKind(kind, random); });
}

void CoinFeeder::dropReference(int count)
{
    dropMeasured(count, &CoinDrop::reference);
}

void CoinFeeder::dropMeasured(int count, const Measure& measure)
{
    {
        const std::lock_guard lock(m_mutex);
        appendMeasuredLocked(count, measure);
    }
    m_changed.notify_all();
}

void CoinFeeder::appendMeasuredLocked(int count, const Measure& measure)
{
    for (int i = 0; i < count; ++i)
        m_waiting.push_back(measure(m_random));
}

void CoinFeeder::setAutomatic(bool automatic)
{
    const std::lock_guard lock(m_mutex);
    m_automatic = automatic;
}

bool CoinFeeder::isMeasuring() const
{
    const std::lock_guard lock(m_mutex);
    return m_measuring;
}

std::size_t CoinFeeder::waitingCoins() const
{
    const std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

void CoinFeeder::onRequest(const Frame& request)
{
    const std::uint8_t lead = request[0];
    {
        const std::lock_guard lock(m_mutex);
        if (lead == TeachStartLead || lead == CalibrationStartLead) {
            // A repeated start (its reply was lost) keeps the coins of the session it repeats.
            if (!m_measuring && m_automatic && lead == TeachStartLead) {
                appendMeasuredLocked(AutomaticCoins, [kind = m_nextAutomaticKind](auto& random) {
                    return CoinDrop::ofKind(kind, random);
                });
                m_nextAutomaticKind = m_nextAutomaticKind % CoinDrop::KindCount + 1;
            }
            if (!m_measuring && m_automatic && lead == CalibrationStartLead)
                appendMeasuredLocked(AutomaticCalibrationCoins, &CoinDrop::reference);
            m_measuring = true;
            m_nextReport = Clock::now() + m_interval;
        } else if (lead == StopLead) {
            m_measuring = false;
            m_waiting.clear();
        } else {
            return;
        }
    }
    m_changed.notify_all();
}

void CoinFeeder::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_measuring || m_waiting.empty()) {
            m_changed.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now < m_nextReport) {
            m_changed.wait_until(lock, m_nextReport);
            continue;
        }
        const CoinDrop::Report report = m_waiting.front().report();
        m_waiting.pop_front();
        m_nextReport = now + m_interval;
        // The simulator is called unlocked (it calls onRequest with its own lock held). A stop
        // frame arriving just now may thus still see this one report go out, as on a real line.
        lock.unlock();
        m_simulator.sendBytes({report.begin(), report.end()});
        lock.lock();
    }
}

} // namespace selectorsim

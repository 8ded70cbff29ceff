// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinDrop.h"
#include "Frame.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace selectorsim {

class SelectorSimulator;

// The coins that pass through a virtual selector while it measures. A teach start (E3) or
// calibration start (83) opens a measuring session and the stop frame (84) closes it; within a
// session one report goes out per dropped coin, `interval` apart (the first one `interval`
// after the start, well after its reply). Coins dropped outside a session wait for the next
// one; the stop frame discards those not yet sent. In automatic mode a teach start that opens a
// session drops twelve coins, of kinds 1, 2, 3 ... in turn from session to session, and a
// calibration start that opens one drops forty reference coins.
//
// Construct after the simulator and destroy before it; every member may be called from any
// thread.
class CoinFeeder
{
public:
    static constexpr std::chrono::milliseconds DefaultInterval{300};
    static constexpr int AutomaticCoins = 12;
    static constexpr int AutomaticCalibrationCoins = 40;

    explicit CoinFeeder(SelectorSimulator& simulator,
                        std::chrono::milliseconds interval = DefaultInterval);
    ~CoinFeeder();
    CoinFeeder(const CoinFeeder&) = delete;
    CoinFeeder& operator=(const CoinFeeder&) = delete;

    // Exact coins, spoilt ones included.
    void drop(const std::vector<CoinDrop>& coins);
    // `count` coins of kind 1..12 with a realistic spread (CoinDrop::ofKind).
    void dropKind(int count, int kind);
    // `count` reference coins for a calibration (CoinDrop::reference).
    void dropReference(int count);
    void setAutomatic(bool automatic);

    bool isMeasuring() const;
    // Coins dropped whose reports have not gone out yet.
    std::size_t waitingCoins() const;

private:
    using Clock = std::chrono::steady_clock;
    using Measure = std::function<CoinDrop(std::mt19937&)>;

    void dropMeasured(int count, const Measure& measure);
    void appendMeasuredLocked(int count, const Measure& measure);
    void onRequest(const Frame& request);
    void run();

    SelectorSimulator& m_simulator;
    const std::chrono::milliseconds m_interval;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CoinDrop> m_waiting;
    std::mt19937 m_random; // default seed: the same spread in every run
    Clock::time_point m_nextReport{};
    int m_nextAutomaticKind = 1;
    bool m_automatic = false;
    bool m_measuring = false;
    bool m_stopping = false;
    std::thread m_worker; // last: starts once everything above is set up
};

} // namespace selectorsim

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkClock.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

// Time that moves only when a test says so; timers fire in order of their deadlines.
class FakeLinkClock final : public LinkClock
{
public:
    double now() const override { return m_now; }
    void setNow(double hundredths) { m_now = hundredths; }

    // Moves time forward, firing every timer that falls due on the way.
    void advance(double hundredths)
    {
        const double target = m_elapsed + hundredths;
        for (;;) {
            Entry* due = nullptr;
            for (const auto& entry : *m_entries)
                if (entry->active && entry->deadline <= target &&
                    (!due || entry->deadline < due->deadline))
                    due = entry.get();
            if (!due)
                break;
            moveTo(due->deadline);
            due->active = false;
            auto callback = due->callback;
            callback();
        }
        moveTo(target);
    }

    std::unique_ptr<LinkTimer> createTimer() override;

    struct Entry
    {
        bool active = false;
        double deadline = 0;
        std::function<void()> callback;
    };

    double elapsed() const { return m_elapsed; }

private:
    void moveTo(double elapsed)
    {
        m_now = std::fmod(m_now + (elapsed - m_elapsed), HundredthsPerDay);
        m_elapsed = elapsed;
    }

    double m_now = 100'000;
    double m_elapsed = 0; // monotonic, for deadlines
    std::shared_ptr<std::vector<std::shared_ptr<Entry>>> m_entries =
        std::make_shared<std::vector<std::shared_ptr<Entry>>>();

    friend class FakeLinkTimer;
};

class FakeLinkTimer final : public LinkTimer
{
public:
    explicit FakeLinkTimer(FakeLinkClock& clock)
        : m_clock(clock), m_entry(std::make_shared<FakeLinkClock::Entry>())
    {
        clock.m_entries->push_back(m_entry);
    }
    ~FakeLinkTimer() override
    {
        auto& entries = *m_clock.m_entries;
        entries.erase(std::remove(entries.begin(), entries.end(), m_entry), entries.end());
    }
    void start(int hundredths, std::function<void()> onTimeout) override
    {
        m_entry->active = true;
        m_entry->deadline = m_clock.elapsed() + hundredths;
        m_entry->callback = std::move(onTimeout);
    }
    void stop() override { m_entry->active = false; }
    bool isActive() const override { return m_entry->active; }

private:
    FakeLinkClock& m_clock;
    std::shared_ptr<FakeLinkClock::Entry> m_entry;
};

inline std::unique_ptr<LinkTimer> FakeLinkClock::createTimer()
{
    return std::make_unique<FakeLinkTimer>(*this);
}

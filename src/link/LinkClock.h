// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

// A single-shot timer driven by a LinkClock, so tests can run time-outs on fake time.
class LinkTimer
{
public:
    virtual ~LinkTimer() = default;
    virtual void start(int hundredths, std::function<void()> onTimeout) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Time of day in hundredths of a second since midnight, as the link measures its waits.
class LinkClock
{
public:
    static constexpr int HundredthsPerDay = 8'640'000;

    virtual ~LinkClock() = default;
    virtual double now() const = 0;
    virtual std::unique_ptr<LinkTimer> createTimer() = 0;

    // Hundredths elapsed since t0, correct across midnight. t0 is single precision, as the
    // start time of an exchange is kept.
    static int elapsedHundredths(float t0, double now);
    // Milliseconds elapsed since from, to the fraction (answer times), correct across midnight.
    static double elapsedMs(double from, double now);
};

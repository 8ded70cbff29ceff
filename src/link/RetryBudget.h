// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Failed attempts, counted up to a limit of five. A transfer or handshake keeps one across all
// its bytes, so that a bad line ends it at the fifth failure in total.
class RetryBudget
{
public:
    static constexpr int Limit = 5;

    // Counts a failed attempt; true when the budget is now exhausted.
    bool recordFailure() { return ++m_failures >= Limit; }
    int failures() const { return m_failures; }

private:
    int m_failures = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Failed attempts of one transfer or handshake: counted across all its bytes, never reset,
// so that a bad line ends the transfer at the fifth failure in total.
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

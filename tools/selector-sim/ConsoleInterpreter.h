// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace selectorsim {

class CoinFeeder;
class SelectorEvents;
class SelectorSimulator;

// The command language of the selector-sim program: one command per line, words separated
// by blanks. A new command is one row in the table and one member function.
class ConsoleInterpreter
{
public:
    enum class Status
    {
        Ok,
        Error,
        Quit
    };
    struct Result
    {
        Status status = Status::Ok;
        std::string text; // lines to show, each ended by '\n'; for errors the message alone
    };
    // Where help's summaries start.
    static constexpr int HelpColumn = 22;

    // Without a coin feeder the coin commands report that no coins can be dropped. With
    // events (the demo), coins dropped while no teaching runs pass through as in normal
    // operation and are reported by event messages.
    explicit ConsoleInterpreter(SelectorSimulator& simulator, CoinFeeder* coins = nullptr,
                                SelectorEvents* events = nullptr);

    // Runs one line; a blank line does nothing. Errors leave the simulator unchanged.
    Result execute(std::string_view line);

private:
    using Arguments = std::vector<std::string_view>;
    struct Command
    {
        std::string_view name;
        std::string_view arguments; // as shown in help, e.g. "ADDR VALUE"
        std::string_view summary;
        std::size_t minArguments;
        std::size_t maxArguments;
        Result (ConsoleInterpreter::*run)(const Arguments&);
    };
    static const std::vector<Command>& commands();

    Result help(const Arguments& arguments);
    Result dump(const Arguments& arguments);
    Result set(const Arguments& arguments);
    Result fault(const Arguments& arguments);
    Result noFaults(const Arguments& arguments);
    Result silent(const Arguments& arguments);
    Result send(const Arguments& arguments);
    Result frames(const Arguments& arguments);
    Result quit(const Arguments& arguments);
    Result drop(const Arguments& arguments);
    Result automatic(const Arguments& arguments);
    Result event(const Arguments& arguments);

    SelectorSimulator& m_simulator;
    CoinFeeder* m_coins;
    SelectorEvents* m_events;
};

} // namespace selectorsim

#include "ConsoleInterpreter.h"

#include "CoinFeeder.h"
#include "SelectorSimulator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <iomanip>
#include <optional>
#include <sstream>
#include <utility>

namespace selectorsim {

namespace {

using Result = ConsoleInterpreter::Result;
using Status = ConsoleInterpreter::Status;

constexpr int MaxFaultRepeat = 100000;
constexpr int MaxCoinsPerDrop = 1000;

constexpr std::array<std::pair<std::string_view, Fault>, 7> FaultNames{{
    {"good", Fault::None},
    {"noreply", Fault::NoReply},
    {"checksum", Fault::WrongChecksum},
    {"lead", Fault::WrongLeadByte},
    {"late", Fault::LateReply},
    {"noise", Fault::NoiseBytes},
    {"hangup", Fault::HangUp},
}};

Result ok(std::string text = {})
{
    return {Status::Ok, std::move(text)};
}

Result error(std::string text)
{
    return {Status::Error, std::move(text)};
}

std::vector<std::string_view> splitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    constexpr std::string_view blanks = " \t\r\n";
    for (std::size_t pos = line.find_first_not_of(blanks); pos != std::string_view::npos;
         pos = line.find_first_not_of(blanks, pos)) {
        const std::size_t end = std::min(line.find_first_of(blanks, pos), line.size());
        words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

// The whole word as a number in [min, max], or nothing.
std::optional<int> parseNumber(std::string_view word, int min, int max, int base = 10)
{
    int value = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value, base);
    if (ec != std::errc{} || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string quoted(std::string_view word)
{
    return "'" + std::string(word) + "'";
}

} // namespace

ConsoleInterpreter::ConsoleInterpreter(SelectorSimulator& simulator, CoinFeeder* coins)
    : m_simulator(simulator), m_coins(coins)
{
}

const std::vector<ConsoleInterpreter::Command>& ConsoleInterpreter::commands()
{
    static const std::vector<Command> table{
        {"help", "", "list the commands", 0, 0, &ConsoleInterpreter::help},
        {"dump", "", "show the memory, 16 bytes a row, decimal", 0, 0, &ConsoleInterpreter::dump},
        {"set", "ADDR VALUE", "store VALUE (0..255) at ADDR (0..188)", 2, 2,
         &ConsoleInterpreter::set},
        {"fault", "NAME [TIMES]",
         "spoil the next reply(s): good, noreply, checksum, lead, late, noise, hangup", 1, 2,
         &ConsoleInterpreter::fault},
        {"silent", "on|off", "stop or resume answering", 1, 1, &ConsoleInterpreter::silent},
        {"send", "HEX HEX ...", "send unsolicited bytes", 1, 256, &ConsoleInterpreter::send},
        {"frames", "", "list the request frames received", 0, 0, &ConsoleInterpreter::frames},
        {"drop", "COUNT [KIND]", "drop coins of kind 1..12 (default 1) while teaching", 1, 2,
         &ConsoleInterpreter::drop},
        {"auto", "on|off", "drop twelve coins after every teach start", 1, 1,
         &ConsoleInterpreter::automatic},
        {"quit", "", "stop the simulator and exit", 0, 0, &ConsoleInterpreter::quit},
    };
    return table;
}

ConsoleInterpreter::Result ConsoleInterpreter::execute(std::string_view line)
{
    const std::vector<std::string_view> words = splitWords(line);
    if (words.empty())
        return ok();
    for (const Command& command : commands()) {
        if (command.name != words.front())
            continue;
        const Arguments arguments(words.begin() + 1, words.end());
        if (arguments.size() < command.minArguments || arguments.size() > command.maxArguments)
            return error("usage: " + std::string(command.name) + " " +
                         std::string(command.arguments));
        return (this->*command.run)(arguments);
    }
    return error("unknown command " + quoted(words.front()) + " (try help)");
}

ConsoleInterpreter::Result ConsoleInterpreter::help(const Arguments&)
{
    std::ostringstream out;
    for (const Command& command : commands()) {
        const std::string synopsis =
            std::string(command.name) + " " + std::string(command.arguments);
        out << std::left << std::setw(22) << synopsis << command.summary << '\n';
    }
    return ok(out.str());
}

ConsoleInterpreter::Result ConsoleInterpreter::dump(const Arguments&)
{
    const auto memory = m_simulator.memory();
    std::ostringstream out;
    for (std::size_t row = 0; row < memory.size(); row += 16) {
        out << std::setw(3) << row << ':';
        for (std::size_t a = row; a < std::min(row + 16, memory.size()); ++a)
            out << std::setw(4) << int{memory[a]};
        out << '\n';
    }
    return ok(out.str());
}

ConsoleInterpreter::Result ConsoleInterpreter::set(const Arguments& arguments)
{
    const auto address = parseNumber(arguments[0], 0, 188);
    if (!address)
        return error("address must be 0..188, not " + quoted(arguments[0]));
    const auto value = parseNumber(arguments[1], 0, 255);
    if (!value)
        return error("value must be 0..255, not " + quoted(arguments[1]));
    m_simulator.setMemoryAt(*address, static_cast<std::uint8_t>(*value));
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::fault(const Arguments& arguments)
{
    const auto named = std::find_if(FaultNames.begin(), FaultNames.end(),
                                    [&](const auto& entry) { return entry.first == arguments[0]; });
    if (named == FaultNames.end())
        return error("unknown fault " + quoted(arguments[0]) +
                     " (good, noreply, checksum, lead, late, noise, hangup)");
    int times = 1;
    if (arguments.size() == 2) {
        const auto parsed = parseNumber(arguments[1], 1, MaxFaultRepeat);
        if (!parsed)
            return error("times must be 1.." + std::to_string(MaxFaultRepeat) + ", not " +
                         quoted(arguments[1]));
        times = *parsed;
    }
    m_simulator.queueFault(named->second, times);
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::silent(const Arguments& arguments)
{
    if (arguments[0] != "on" && arguments[0] != "off")
        return error("silent takes on or off, not " + quoted(arguments[0]));
    m_simulator.setSilent(arguments[0] == "on");
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::send(const Arguments& arguments)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string_view word : arguments) {
        const auto value = parseNumber(word, 0, 255, 16);
        if (!value)
            return error("not a hexadecimal byte: " + quoted(word));
        bytes.push_back(static_cast<std::uint8_t>(*value));
    }
    m_simulator.sendBytes(bytes);
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::frames(const Arguments&)
{
    std::ostringstream out;
    out << std::hex << std::uppercase << std::setfill('0');
    for (const Frame& frame : m_simulator.receivedFrames()) {
        for (std::size_t i = 0; i < frame.size(); ++i)
            out << (i ? " " : "") << std::setw(2) << int{frame[i]};
        out << '\n';
    }
    return ok(out.str());
}

ConsoleInterpreter::Result ConsoleInterpreter::quit(const Arguments&)
{
    return {Status::Quit, {}};
}

ConsoleInterpreter::Result ConsoleInterpreter::drop(const Arguments& arguments)
{
    if (!m_coins)
        return error("this selector drops no coins");
    const auto count = parseNumber(arguments[0], 1, MaxCoinsPerDrop);
    if (!count)
        return error("count must be 1.." + std::to_string(MaxCoinsPerDrop) + ", not " +
                     quoted(arguments[0]));
    int kind = 1;
    if (arguments.size() == 2) {
        const auto parsed = parseNumber(arguments[1], 1, CoinDrop::KindCount);
        if (!parsed)
            return error("kind must be 1.." + std::to_string(CoinDrop::KindCount) + ", not " +
                         quoted(arguments[1]));
        kind = *parsed;
    }
    m_coins->dropKind(*count, kind);
    if (!m_coins->isMeasuring())
        return ok("the coins wait for a teach start\n");
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::automatic(const Arguments& arguments)
{
    if (!m_coins)
        return error("this selector drops no coins");
    if (arguments[0] != "on" && arguments[0] != "off")
        return error("auto takes on or off, not " + quoted(arguments[0]));
    m_coins->setAutomatic(arguments[0] == "on");
    return ok();
}

} // namespace selectorsim

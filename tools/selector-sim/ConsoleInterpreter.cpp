// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleInterpreter.h"

#include "CoinFeeder.h"
#include "SelectorEvents.h"
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
constexpr int MaxFaultDelayMs = 10000;

constexpr std::array<std::pair<std::string_view, Fault>, 11> FaultNames{{
    {"good", Fault::None},
    {"noreply", Fault::NoReply},
    {"checksum", Fault::WrongChecksum},
    {"lead", Fault::WrongLeadByte},
    {"late", Fault::LateReply},
    {"noise", Fault::NoiseBytes},
    {"hangup", Fault::HangUp},
    {"ignore", Fault::IgnoreRequest},
    {"short", Fault::ShortReply},
    {"address", Fault::WrongAddress},
    {"corrupt", Fault::CorruptWrite},
}};

std::string faultNameList()
{
    std::string names;
    for (const auto& [name, fault] : FaultNames)
        names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

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
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on a literal + std::string&&.
    std::string text;
    text.reserve(word.size() + 2);
    text.append(1, '\'').append(word).append(1, '\'');
    return text;
}

// The words as hexadecimal bytes; on failure, the first word that is not one.
std::pair<std::vector<std::uint8_t>, std::optional<std::string_view>>
hexBytes(const std::vector<std::string_view>& words)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string_view word : words) {
        const auto value = parseNumber(word, 0, 255, 16);
        if (!value)
            return {{}, word};
        bytes.push_back(static_cast<std::uint8_t>(*value));
    }
    return {bytes, std::nullopt};
}

} // namespace

ConsoleInterpreter::ConsoleInterpreter(SelectorSimulator& simulator, CoinFeeder* coins,
                                       SelectorEvents* events)
    : m_simulator(simulator), m_coins(coins), m_events(events)
{
}

const std::vector<ConsoleInterpreter::Command>& ConsoleInterpreter::commands()
{
    static const std::vector<Command> table{
        {"help", "", "list the commands", 0, 0, &ConsoleInterpreter::help},
        {"dump", "", "show the memory, 16 bytes a row, decimal", 0, 0, &ConsoleInterpreter::dump},
        {"set", "ADDR VALUE", "store VALUE (0..255) at ADDR (0..188)", 2, 2,
         &ConsoleInterpreter::set},
        {"fault", "NAME [TIMES] [at ADDR] [after MS]",
         "spoil the next TIMES replies, or those to reads and writes of ADDR;\n"
         "with after, each goes out MS ms after its request; NAME is one of\n"
         "good      reply as usual (spaces faults apart)\n"
         "noreply   carry the request out, no reply\n"
         "checksum  checksum one too high\n"
         "lead      lead byte inverted\n"
         "late      reply 260 ms (or MS) after the request\n"
         "noise     three noise bytes before the reply\n"
         "hangup    close the line\n"
         "ignore    request lost on the line: not carried out, no reply\n"
         "short     only the first three bytes of the reply\n"
         "address   the address plus one, with a checksum that fits\n"
         "corrupt   a write stores its value with bit 0 flipped, answered as sent",
         1, 6, &ConsoleInterpreter::fault},
        {"nofaults", "", "forget every queued fault", 0, 0, &ConsoleInterpreter::noFaults},
        {"silent", "on|off", "stop or resume answering", 1, 1, &ConsoleInterpreter::silent},
        {"send", "HEX HEX ...", "send unsolicited bytes", 1, 256, &ConsoleInterpreter::send},
        {"frames", "", "list the request frames received", 0, 0, &ConsoleInterpreter::frames},
        {"drop", "COUNT [KIND|ref]",
         "drop coins of kind 1..12 (default 1) while teaching, in the demo events; or reference "
         "coins (ref) while calibrating",
         1, 2, &ConsoleInterpreter::drop},
        {"auto", "on|off",
         "drop twelve coins after every teach start, forty reference coins after every "
         "calibration start",
         1, 1, &ConsoleInterpreter::automatic},
        {"event", "CODE B1 B2 B3", "send an event message (code 91..96 or AA; hexadecimal)", 4, 4,
         &ConsoleInterpreter::event},
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
    constexpr int Column = HelpColumn;
    std::ostringstream out;
    for (const Command& command : commands()) {
        const std::string synopsis =
            std::string(command.name) + " " + std::string(command.arguments);
        out << std::left << std::setw(Column) << synopsis;
        if (synopsis.size() >= Column)
            out << '\n' << std::string(Column, ' ');
        // Further lines of a summary line up under its first.
        std::string_view summary = command.summary;
        for (std::size_t end; (end = summary.find('\n')) != std::string_view::npos;) {
            out << summary.substr(0, end) << '\n' << std::string(Column, ' ');
            summary.remove_prefix(end + 1);
        }
        out << summary << '\n';
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
        return error("unknown fault " + quoted(arguments[0]) + " (" + faultNameList() + ")");
    std::size_t next = 1;
    int times = 1;
    if (next < arguments.size() && arguments[next] != "at" && arguments[next] != "after") {
        const auto parsed = parseNumber(arguments[next], 1, MaxFaultRepeat);
        if (!parsed)
            return error("times must be 1.." + std::to_string(MaxFaultRepeat) + ", not " +
                         quoted(arguments[next]));
        times = *parsed;
        ++next;
    }
    std::optional<int> address;
    std::optional<int> delayMs;
    for (; next < arguments.size(); next += 2) {
        const std::string_view option = arguments[next];
        const bool isAt = option == "at";
        if ((!isAt && option != "after") || (isAt ? address : delayMs).has_value())
            return error("expected at ADDR or after MS, not " + quoted(option));
        if (next + 1 >= arguments.size())
            return error(std::string(option) + " needs a number");
        const auto value = isAt ? parseNumber(arguments[next + 1], 0, 188)
                                : parseNumber(arguments[next + 1], 0, MaxFaultDelayMs);
        if (!value)
            return error(isAt ? "address must be 0..188, not " + quoted(arguments[next + 1])
                              : "delay must be 0.." + std::to_string(MaxFaultDelayMs) +
                                    " ms, not " + quoted(arguments[next + 1]));
        (isAt ? address : delayMs) = value;
    }
    std::optional<std::chrono::microseconds> delay;
    if (delayMs)
        delay = std::chrono::milliseconds{*delayMs};
    if (address)
        m_simulator.queueFaultAt(*address, named->second, times, delay);
    else if (delay)
        m_simulator.queueFault(named->second, times, *delay);
    else
        m_simulator.queueFault(named->second, times);
    return ok();
}

ConsoleInterpreter::Result ConsoleInterpreter::noFaults(const Arguments&)
{
    m_simulator.clearFaults();
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
    const auto [bytes, bad] = hexBytes(arguments);
    if (bad)
        return error("not a hexadecimal byte: " + quoted(*bad));
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
    if (arguments.size() == 2 && arguments[1] == "ref") {
        m_coins->dropReference(*count);
        if (!m_coins->isMeasuring())
            return ok("the coins wait for a calibration start\n");
        return ok();
    }
    int kind = 1;
    if (arguments.size() == 2) {
        const auto parsed = parseNumber(arguments[1], 1, CoinDrop::KindCount);
        if (!parsed)
            return error("kind must be 1.." + std::to_string(CoinDrop::KindCount) +
                         " or ref, not " + quoted(arguments[1]));
        kind = *parsed;
    }
    if (m_events && !m_coins->isMeasuring()) {
        m_events->coinsPassed(*count, kind);
        return ok();
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

ConsoleInterpreter::Result ConsoleInterpreter::event(const Arguments& arguments)
{
    const auto [bytes, bad] = hexBytes(arguments);
    if (bad)
        return error("not a hexadecimal byte: " + quoted(*bad));
    const std::optional<Frame> message =
        SelectorEvents::message(bytes[0], bytes[1], bytes[2], bytes[3]);
    if (!message)
        return error("not an event code: " + quoted(arguments[0]) + " (91..96 or AA)");
    m_simulator.sendBytes({message->begin(), message->end()});
    return ok();
}

} // namespace selectorsim

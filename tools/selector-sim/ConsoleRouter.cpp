// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleRouter.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <sstream>
#include <string>
#include <utility>

namespace selectorsim {

namespace {

using Result = ConsoleInterpreter::Result;
using Status = ConsoleInterpreter::Status;

// The first word of `line` and what follows it.
std::pair<std::string_view, std::string_view> firstWord(std::string_view line)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t begin = std::min(line.find_first_not_of(blanks), line.size());
    const std::size_t end = std::min(line.find_first_of(blanks, begin), line.size());
    return {line.substr(begin, end - begin), line.substr(end)};
}

bool isNumber(std::string_view word)
{
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

ConsoleRouter::ConsoleRouter(std::vector<ConsoleInterpreter*> interpreters)
    : m_interpreters(std::move(interpreters))
{
}

ConsoleInterpreter::Result ConsoleRouter::execute(std::string_view line)
{
    const std::string count = std::to_string(m_interpreters.size());
    const auto [word, rest] = firstWord(line);
    std::size_t index = 0;
    if (isNumber(word)) {
        std::size_t number = 0;
        const std::errc ec = std::from_chars(word.data(), word.data() + word.size(), number).ec;
        if (ec != std::errc{} || number < 1 || number > m_interpreters.size())
            return {Status::Error,
                    "no selector " + std::string(word) + ": the selectors are 1.." + count};
        if (firstWord(rest).first.empty())
            return {Status::Error, "usage: N COMMAND, N a selector 1.." + count};
        index = number - 1;
        line = rest;
    }
    Result result = m_interpreters[index]->execute(line);
    if (result.status == Status::Ok && firstWord(line).first == "help" &&
        m_interpreters.size() > 1) {
        std::ostringstream routing;
        routing << std::left << std::setw(ConsoleInterpreter::HelpColumn) << "N COMMAND"
                << "give COMMAND to selector N (1.." << count << "); without N, to selector 1\n";
        result.text = routing.str() + result.text;
    }
    return result;
}

} // namespace selectorsim

// SPDX-License-Identifier: GPL-3.0-or-later
// selector-sim: a virtual coin selector on a pseudo-terminal, driven from standard input.

#include "CoinFeeder.h"
#include "ConsoleInterpreter.h"
#include "ConsoleRouter.h"
#include "SelectorEvents.h"
#include "SelectorSimulator.h"
#include "TarnvelloVersion.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using selectorsim::ConsoleInterpreter;
using selectorsim::ConsoleRouter;

constexpr std::size_t MaxLineLength = 4096;
constexpr long long MaxLatencyUs = 10'000'000;
constexpr long long MaxAdapterLatencyMs = 255; // the most a USB-serial chip's timer is set to

struct Arguments
{
    enum class Answer
    {
        Run,
        Help,
        Version
    };

    Answer answer = Answer::Run;
    selectorsim::SimulatorOptions options;
    std::vector<std::string> links; // one selector each; none: one selector
    bool autoCoins = false;
    bool demoEvents = false;
};

void printUsage(std::ostream& out)
{
    out << "Usage: selector-sim [options]\n"
           "A virtual coin selector on a pseudo-terminal, for trying tarnvello and\n"
           "tarnvello-cli without hardware. Prints the device path, then reads commands on\n"
           "standard input (type help: dump and set memory, inject faults on the line such as\n"
           "'fault corrupt at 34', drop coins, send event messages). Runs until quit, SIGINT\n"
           "or SIGTERM.\n"
           "\n"
           "With --link given more than once it runs one selector per link, each with its own\n"
           "memory and faults, and prints their device paths one per line, in that order. A\n"
           "command may then start with the number of its selector (from 1, in the order of\n"
           "the links), as in '2 fault corrupt at 34'; without one it is for selector 1.\n"
           "\n"
           "Options:\n"
           "  --no-pacing       answer at once instead of at 19200 baud\n"
           "  --latency-us N    wait N microseconds before every reply\n"
           "  --adapter-latency-ms N\n"
           "                    pass replies on as a USB-serial adapter with an N ms latency\n"
           "                    timer (1..255) does: held until the timer runs out or 62\n"
           "                    bytes wait\n"
           "  --echo            send back every byte received, before the reply, as a\n"
           "                    half-duplex adapter with local echo does\n"
           "  --loopback        send back every byte received and nothing else: a loopback\n"
           "                    plug, with no selector behind the line\n"
           "  --link PATH       make PATH a symbolic link to the device while it runs; once\n"
           "                    per selector\n"
           "  --auto-coins      drop twelve coins after every teach start and forty\n"
           "                    reference coins after every calibration start (each selector)\n"
           "  --demo-events     coins dropped while no teaching runs send event messages\n"
           "                    (each selector)\n"
           "  -h, --help        print this help and exit\n"
           "  --version         print the version and licence and exit\n";
}

// The whole word as a number in [min, max], or nothing.
std::optional<long long> parseNumber(std::string_view word, long long min, long long max)
{
    long long value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc{} || end != word.data() + word.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<Arguments> parseArguments(int argc, char** argv)
{
    Arguments parsed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            parsed.answer = Arguments::Answer::Help;
        } else if (argument == "--version") {
            parsed.answer = Arguments::Answer::Version;
        } else if (argument == "--no-pacing") {
            parsed.options.paced = false;
        } else if (argument == "--latency-us" && hasValue) {
            const std::optional<long long> us = parseNumber(argv[++i], 0, MaxLatencyUs);
            if (!us)
                return std::nullopt;
            parsed.options.replyLatency = std::chrono::microseconds{*us};
        } else if (argument == "--adapter-latency-ms" && hasValue) {
            const std::optional<long long> ms = parseNumber(argv[++i], 1, MaxAdapterLatencyMs);
            if (!ms)
                return std::nullopt;
            parsed.options.adapterLatency = std::chrono::milliseconds{*ms};
        } else if (argument == "--echo") {
            parsed.options.echo = true;
        } else if (argument == "--loopback") {
            parsed.options.loopback = true;
        } else if (argument == "--link" && hasValue) {
            const std::string link = argv[++i];
            if (std::find(parsed.links.begin(), parsed.links.end(), link) != parsed.links.end()) {
                // The second selector would take the first one's link.
                std::cerr << "selector-sim: --link " << link << " given twice\n";
                return std::nullopt;
            }
            parsed.links.push_back(link);
        } else if (argument == "--auto-coins") {
            parsed.autoCoins = true;
        } else if (argument == "--demo-events") {
            parsed.demoEvents = true;
        } else {
            return std::nullopt;
        }
    }
    return parsed;
}

// Points `link` at the device, replacing an older symlink but never another kind of file.
bool createLink(const std::string& link, const std::string& target)
{
    struct stat status
    {
    };
    if (lstat(link.c_str(), &status) == 0) {
        if (!S_ISLNK(status.st_mode)) {
            std::cerr << "selector-sim: " << link << " exists and is not a symlink\n";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::perror(("selector-sim: " + link).c_str());
        return false;
    }
    return true;
}

// Removes the link only while it still points at our device (someone may have replaced it).
void removeLink(const std::string& link, const std::string& target)
{
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n > 0 && std::string_view(buffer.data(), static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

// One selector of the bench and what drives it from the console.
struct Station
{
    explicit Station(const Arguments& arguments)
        : simulator(arguments.options), coins(simulator), events(simulator),
          interpreter(simulator, &coins, arguments.demoEvents ? &events : nullptr)
    {
        coins.setAutomatic(arguments.autoCoins);
    }

    selectorsim::SelectorSimulator simulator;
    selectorsim::CoinFeeder coins;
    selectorsim::SelectorEvents events;
    ConsoleInterpreter interpreter;
    std::string device;
};

// Runs every complete line in `pending`; false once a command asked to quit. An overlong
// line is reported and skipped up to its end.
bool runLines(std::string& pending, bool& skipping, ConsoleRouter& console)
{
    for (std::size_t newline; (newline = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        if (std::exchange(skipping, false))
            continue;
        const ConsoleInterpreter::Result result = console.execute(line);
        if (result.status == ConsoleInterpreter::Status::Quit)
            return false;
        if (result.status == ConsoleInterpreter::Status::Error)
            std::cout << "error: " << result.text << '\n';
        else
            std::cout << result.text;
        std::cout.flush();
    }
    if (pending.size() > MaxLineLength) {
        if (!std::exchange(skipping, true))
            std::cout << "error: line longer than " << MaxLineLength << " characters" << std::endl;
        pending.clear();
    }
    return true;
}

// Reads commands until quit or a signal; after end of input only a signal ends the run.
void serve(ConsoleRouter& console, int signalFd)
{
    std::array<pollfd, 2> fds{{{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}}};
    std::string pending;
    bool skipping = false;
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents & POLLIN)
            return;
        if (fds[1].revents == 0)
            continue;
        std::array<char, 1024> buffer{};
        const ssize_t n = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n > 0) {
            pending.append(buffer.data(), static_cast<std::size_t>(n));
            if (!runLines(pending, skipping, console))
                return;
        } else if (n == 0 || errno != EINTR) {
            pending += '\n'; // a last line without its newline still counts
            if (!runLines(pending, skipping, console))
                return;
            fds[1].fd = -1;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Arguments> arguments = parseArguments(argc, argv);
    if (!arguments) {
        printUsage(std::cerr);
        return 2;
    }
    if (arguments->answer == Arguments::Answer::Help) {
        printUsage(std::cout);
        return 0;
    }
    if (arguments->answer == Arguments::Answer::Version) {
        std::cout << "selector-sim " << TarnvelloVersion::Number << '\n'
                  << TarnvelloVersion::Notice;
        return 0;
    }

    // Signals arrive through a descriptor; blocked before the worker starts so that it
    // inherits the mask and the main thread alone takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("selector-sim: signalfd");
        return 1;
    }

    std::deque<Station> stations; // not moved: the parts refer to each other
    std::vector<ConsoleInterpreter*> interpreters;
    for (std::size_t i = 0; i < std::max<std::size_t>(1, arguments->links.size()); ++i) {
        Station& station = stations.emplace_back(*arguments);
        if (!station.simulator.start()) {
            std::cerr << "selector-sim: " << station.simulator.errorString() << '\n';
            return 1;
        }
        station.device = station.simulator.devicePath();
        interpreters.push_back(&station.interpreter);
    }
    for (const Station& station : stations)
        std::cout << station.device << '\n';
    std::cout.flush();
    std::size_t linked = 0;
    while (linked < arguments->links.size() &&
           createLink(arguments->links[linked], stations[linked].device))
        ++linked;

    ConsoleRouter router(std::move(interpreters));
    if (linked == arguments->links.size())
        serve(router, signalFd);

    for (std::size_t i = 0; i < linked; ++i)
        removeLink(arguments->links[i], stations[i].device);
    for (Station& station : stations)
        station.simulator.stop();
    close(signalFd);
    return linked == arguments->links.size() ? 0 : 1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConsoleInterpreter.h"

#include <string_view>
#include <vector>

namespace selectorsim {

// The console of a bench of selectors: a line may start with the number of the selector it is
// for (from 1, in the order given); a line without one is for selector 1.
class ConsoleRouter
{
public:
    // One interpreter per selector, in order; at least one.
    explicit ConsoleRouter(std::vector<ConsoleInterpreter*> interpreters);

    // Runs one line on its selector's interpreter; a bad number changes nothing.
    ConsoleInterpreter::Result execute(std::string_view line);

private:
    std::vector<ConsoleInterpreter*> m_interpreters;
};

} // namespace selectorsim

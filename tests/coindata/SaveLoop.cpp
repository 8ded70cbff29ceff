// SPDX-License-Identifier: GPL-3.0-or-later
#include "SaveLoop.h"

#include <cstdio>
#include <cstring>

// save-loop coin|startup PATH: saves the file again and again, turns 0 and 1 in alternation,
// until it is killed. It says "saved" after the first save, so the killer knows it is saving.
// The number of saves is bounded: a loop its test failed to kill still ends.
int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const auto target = std::strcmp(argv[1], "startup") == 0 ? SaveLoop::Target::Startup
                                                             : SaveLoop::Target::CoinData;
    const QString path = QString::fromLocal8Bit(argv[2]);
    for (int save = 0; save < 2000; ++save) {
        if (!SaveLoop::save(target, path, save % 2))
            return 1;
        if (save == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
    return 0;
}

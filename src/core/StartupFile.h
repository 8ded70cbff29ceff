// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

// The start-up file: the current and previous coin data file names and the checks of the
// ports Com1 to Com4.
struct StartupSettings
{
    QString currentFile;
    QString previousFile;
    std::array<bool, 4> comChecked{true, false, false, false};
};

namespace StartupFile {

// Applies the file's lines to settings in order, each as soon as it is read; the first line
// that is missing or unreadable ends the reading, keeping what was applied. Silent by design.
void read(const QString& path, StartupSettings& settings);
// The same for the file's contents.
void parse(const QByteArray& bytes, StartupSettings& settings);

// Writes the six lines atomically: a failed write leaves the previous file as it was.
bool write(const QString& path, const StartupSettings& settings);

QByteArray serialize(const StartupSettings& settings);

} // namespace StartupFile

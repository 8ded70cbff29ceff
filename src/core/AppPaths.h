// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the program keeps its own files: the per-user data folder stands in for the root
// folder the original file names were written for.
namespace AppPaths {

constexpr const char* StartupFileName = "cmose.sys";
constexpr const char* CurrentFileName = "coin.syn";
constexpr const char* PreviousFileName = "aaa.syn";
constexpr const char* EventLogFileName = "cntah.bbb";
constexpr const char* JournalFolderName = "journal";
constexpr const char* ProductionLogFileName = "production.csv";

// Full native path of a file in the data folder.
QString dataFile(const QString& name);
// Creates the data folder when it is missing; false when it cannot be created.
bool ensureDataFolder();

} // namespace AppPaths

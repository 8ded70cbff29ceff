// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace AppPaths {

namespace {
QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
} // namespace

QString dataFile(const QString& name)
{
    return QDir::toNativeSeparators(QDir(dataFolder()).filePath(name));
}

bool ensureDataFolder()
{
    return QDir().mkpath(dataFolder());
}

} // namespace AppPaths

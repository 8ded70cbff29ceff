// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

// Points the settings store and the data folder into a temporary folder, so tests never touch
// the user's own files. Create it before anything reads a setting.
class AppTestEnvironment
{
public:
    AppTestEnvironment()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
        QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));
        qputenv("XDG_CONFIG_HOME", m_root.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", m_root.filePath(QStringLiteral("data")).toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_root.filePath(QStringLiteral("config")));
    }

    QString dataFolder() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    QString path(const QString& name) const { return m_root.filePath(name); }

    // Empties the data folder and the settings between tests.
    void reset()
    {
        QDir(dataFolder()).removeRecursively();
        QDir().mkpath(dataFolder());
        QSettings settings;
        settings.clear();
        settings.sync();
    }

private:
    QTemporaryDir m_root;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace AtomicFile {

namespace {

// The new bytes go to NAME.saving-XXXXXX beside the file, which is then renamed over it. No
// user names a file so: whatever bears this mark is a save that was cut off before its rename.
const QString TempMark = QStringLiteral(".saving-");
constexpr int TempTagLength = 6;
constexpr int TempAttempts = 16;
constexpr int MaxLinkDepth = 32;

QString tempTag()
{
    static constexpr char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < TempTagLength; ++i)
        tag += QLatin1Char(Alphabet[QRandomGenerator::global()->bounded(int(sizeof Alphabet) - 1)]);
    return tag;
}

bool isTempTag(QStringView tag)
{
    return tag.size() == TempTagLength && std::all_of(tag.begin(), tag.end(), [](QChar c) {
               return c.unicode() < 128 && c.isLetterOrNumber();
           });
}

// A save through a link replaces the file the link names and keeps the link.
QFileInfo resolved(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < MaxLinkDepth && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info;
}

// A save killed before its rename leaves its temporary file behind; the next save of the same
// file removes it. Only regular files bearing this file's name and the mark are touched.
void removeLeftovers(const QFileInfo& target)
{
    const QString prefix = target.fileName() + TempMark;
    QDirIterator entries(target.absolutePath(), QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    while (entries.hasNext()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString name = entry.fileName();
        if (name.startsWith(prefix) && isTempTag(QStringView(name).sliced(prefix.size())))
            QFile::remove(entry.filePath());
    }
}

// Until it is complete the new file is readable by its owner alone, whatever mode it is to
// have in the end.
bool createTemp(QFile& temp, const QFileInfo& target)
{
    for (int attempt = 0; attempt < TempAttempts; ++attempt) {
        temp.setFileName(target.absoluteFilePath() + TempMark + tempTag());
        if (temp.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFile::ReadOwner | QFile::WriteOwner))
            return true;
    }
    return false;
}

QString describe(const std::error_code& error)
{
    return QString::fromLocal8Bit(error.message());
}

// What any program's new file gets: read and write for all, less what the umask withholds.
std::filesystem::perms newFilePermissions()
{
    auto permissions = std::filesystem::perms(0666);
#ifndef Q_OS_WIN
    // The umask is read by setting it; meanwhile files other threads create come out
    // owner-only, never open to more people than they should.
    const mode_t mask = ::umask(0077);
    ::umask(mask);
    permissions &= ~std::filesystem::perms(mask);
#endif
    return permissions;
}

// The complete new file takes the read, write and execute bits of the file it replaces, or a
// new file's mode.
bool giveFinalMode(const QFile& temp, const QFileInfo& target, QString& reason)
{
    std::error_code error;
    const std::filesystem::perms permissions =
        target.exists() ? std::filesystem::status(target.filesystemFilePath(), error).permissions()
                        : newFilePermissions();
    if (!error)
        std::filesystem::permissions(temp.filesystemFileName(),
                                     permissions & std::filesystem::perms::all, error);
    if (error)
        reason = describe(error);
    return !error;
}

bool syncToDisk(QFile& file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Writes all bytes and closes the file with them on the disk, or says why not.
bool writeThrough(QFile& file, const QByteArray& bytes, QString& reason)
{
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        reason = file.errorString();
        return false;
    }
    if (!syncToDisk(file)) {
        reason = describe(std::error_code(errno, std::generic_category()));
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    return true;
}

bool renameOver(const QFile& temp, const QFileInfo& target, QString& reason)
{
    std::error_code error;
    std::filesystem::rename(temp.filesystemFileName(), target.filesystemFilePath(), error);
    if (error)
        reason = describe(error);
    return !error;
}

// Devices, pipes and folders are never replaced by a file.
bool replace(const QFileInfo& target, const QByteArray& bytes, QString& reason)
{
    if (target.exists() && !target.isFile()) {
        reason = QStringLiteral("Not a regular file");
        return false;
    }
    if (target.exists() && !target.isWritable()) {
        reason = QStringLiteral("The file is read-only");
        return false;
    }
    removeLeftovers(target);
    QFile temp;
    if (!createTemp(temp, target)) {
        reason = temp.errorString();
        return false;
    }
    if (writeThrough(temp, bytes, reason) && giveFinalMode(temp, target, reason) &&
        renameOver(temp, target, reason))
        return true;
    // By name: QFile::remove() would keep a file whose closing flush fails, as a full disk's does.
    temp.close();
    QFile::remove(temp.fileName());
    return false;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, QString* errorText)
{
    QString reason;
    const bool written = replace(resolved(path), bytes, reason);
    if (!written && errorText)
        *errorText = reason;
    return written;
}

} // namespace AtomicFile

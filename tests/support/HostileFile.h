// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// What may stand where a reader expects a small text file, made at a path.
namespace HostileFile {

enum class Kind
{
    Missing,
    Bytes, // a regular file of the given bytes
    Directory,
    Pipe,       // nobody writes to it: opening it to read waits for a writer
    DeviceLink, // a link to /dev/zero, which never ends
    Sparse,     // 5 GiB of zeros taking no room on the disk
};

inline bool make(Kind kind, const QString& path, const QByteArray& bytes = {})
{
    switch (kind) {
    case Kind::Missing:
        return !QFileInfo::exists(path);
    case Kind::Bytes:
        return FileBytes::write(path, bytes);
    case Kind::Directory:
        return QDir().mkpath(path);
    case Kind::Pipe:
#ifdef Q_OS_UNIX
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
        return false;
#endif
    case Kind::DeviceLink:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case Kind::Sparse: {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(qint64(5) << 30);
    }
    }
    return false;
}

} // namespace HostileFile

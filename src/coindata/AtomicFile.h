// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Replacing a file as a whole: readers see the old file or the new one, never a part, even when
// the writing process is killed. A link is followed to the file it names. While the new bytes
// are written only their owner can read them; once complete they take the replaced file's mode,
// or for a new file what the umask leaves of read and write for all.
namespace AtomicFile {

// False, with the reason in errorText, when the file could not be written; the previous file
// is then left as it was. Temporary files left beside it by saves that were cut off are
// removed on the way; devices, pipes and folders are refused, never replaced.
bool write(const QString& path, const QByteArray& bytes, QString* errorText = nullptr);

} // namespace AtomicFile

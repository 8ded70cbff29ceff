#pragma once

#include <QByteArray>
#include <QString>

// Replacing a file as a whole: readers see the old file or the new one, never a part.
namespace AtomicFile {

// False, with the reason in errorText, when the file could not be written; the previous file
// is then left as it was.
bool write(const QString& path, const QByteArray& bytes, QString* errorText = nullptr);

} // namespace AtomicFile

#include "AtomicFile.h"

#include <QSaveFile>

namespace AtomicFile {

bool write(const QString& path, const QByteArray& bytes, QString* errorText)
{
    QSaveFile file(path);
    // commit() alone misses a failure of the last buffered write (Qt 6.4) and would put a
    // truncated file in place, so the flush is checked first; an uncommitted file is discarded.
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                         file.flush() && file.commit();
    if (!written && errorText)
        *errorText = file.errorString();
    return written;
}

} // namespace AtomicFile

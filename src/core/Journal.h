// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class SelectorImage;

// Every image read from a selector or programmed into one, kept as a coin data file named by
// date, time and operation, so a technician can always tell what a selector held before and
// what was put in. Only the newest files are kept; files of other names are never touched.
class Journal
{
public:
    static constexpr int DefaultKeptFiles = 1000;

    explicit Journal(QString folder, int keptFiles = DefaultKeptFiles);

    QString folder() const { return m_folder; }

    // Writes "<yyyyMMdd-HHmmss.zzz>-<operation>.cdt" (a counter after the stamp when another
    // record has that stamp) and removes the oldest journal files beyond the kept count. The
    // failure text, or empty.
    QString record(const SelectorImage& image, const QString& operation);

private:
    QString freshPath(const QString& operation) const;
    void removeOldest() const;

    QString m_folder;
    int m_keptFiles;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"
#include "CoinDataFile.h"
#include "FileBytes.h"
#include "SelectorImage.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class JournalTest : public QObject
{
    Q_OBJECT

private slots:
    // Records come faster than the clock's milliseconds here, so names must still be unique.
    void keepsOnlyTheNewestRecordsAndNothingElseIsTouched()
    {
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("journal"));
        QVERIFY(QDir().mkpath(folder));
        const QStringList foreign{QStringLiteral("mine.cdt"), QStringLiteral("notes.txt")};
        for (const QString& name : foreign)
            QVERIFY(FileBytes::write(QDir(folder).filePath(name), "kept"));

        Journal journal(folder, 3);
        SelectorImage image;
        for (int run = 1; run <= 5; ++run) {
            image.setNumber(0, run);
            QCOMPARE(
                journal.record(image, run % 2 ? QStringLiteral("read") : QStringLiteral("program")),
                QString());
        }

        QStringList journalFiles = QDir(folder).entryList(QDir::Files, QDir::Name);
        for (const QString& name : foreign)
            QVERIFY2(journalFiles.removeOne(name), qPrintable(name));
        QCOMPARE(journalFiles.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const int run = i + 3;
            QVERIFY(journalFiles[i].contains(run % 2 ? QStringLiteral("-read")
                                                     : QStringLiteral("-program")));
            SelectorImage kept;
            QCOMPARE(CoinDataFile::load(QDir(folder).filePath(journalFiles[i]), kept),
                     CoinDataFile::LoadResult::Loaded);
            QCOMPARE(kept.cell(0), QString::number(run));
        }
    }

    void aFolderThatCannotBeMadeIsSaid()
    {
        QTemporaryDir root;
        const QString blocker = root.filePath(QStringLiteral("file"));
        QVERIFY(FileBytes::write(blocker, "x"));
        Journal journal(QDir(blocker).filePath(QStringLiteral("journal")));
        QVERIFY(journal.record(SelectorImage(), QStringLiteral("read")).startsWith("Can not"));
    }
};

QTEST_GUILESS_MAIN(JournalTest)
#include "JournalTest.moc"
